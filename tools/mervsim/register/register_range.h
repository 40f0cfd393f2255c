// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// mervsim --tcp-range FIRST:COUNT: many registers at once, for the tests and
// the load benchmark of mervfleet. Each register of the range listens on its
// own loopback port (FIRST, FIRST+1, ...), has tables and a journal of its
// own, made alike from the options, and is served by a thread of its own,
// one connection after another as a single register is. The fault options
// apply to the last --faulty N registers of the range (to all without it).
// A stop signal ends every register's serving; then the threads are joined.
#include "tools/mervsim/sim_options.h"

/// Plays the range until a stop signal; the exit status of mervsim.
int RunRegisterRange(const TSimOptions& options);
