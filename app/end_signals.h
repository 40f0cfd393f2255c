#pragma once
// The "end" command of the resident mode from outside the process: SIGTERM
// and SIGINT on POSIX (a service manager stops the service, Ctrl+C at a
// terminal); Ctrl+C, Ctrl+Break and the console's close on Windows. A
// request is only noted: the resident mode ends at its next wait, after the
// command under way has written its outcome. One
// implementation per platform: end_signals_posix.cpp, end_signals_win32.cpp.
//
// An end request is also a stop request (base/stop_request.h): the command
// under way stops at its next wait on a line, a file or the folder's turn,
// is reported in "error.dat" as any failure, and then the mode ends.

/// From now on the signals above ask the process to end; SIGPIPE is ignored.
void InstallEndSignals();

/// Asks for the end as the signals do: from a service manager's stop, or a test.
void RequestEnd();

/// True once an end has been asked for.
bool EndRequested();

/// Waits `ms` milliseconds, or less when an end is asked for meanwhile.
void WaitUnlessEndRequested(int ms);
