#pragma once
// The "end" command of the resident mode from outside the process: SIGTERM
// and SIGINT on POSIX (a service manager stops the service, Ctrl+C at a
// terminal); Ctrl+C, Ctrl+Break and the console's close on Windows. A
// request is only noted: the resident mode ends at its next wait, so that a
// command under way finishes and writes its outcome first. One
// implementation per platform: end_signals_posix.cpp, end_signals_win32.cpp.

/// From now on the signals above ask the process to end.
void InstallEndSignals();

/// Asks for the end as the signals do: from a service manager's stop, or a test.
void RequestEnd();

/// True once an end has been asked for.
bool EndRequested();

/// Waits `ms` milliseconds, or less when an end is asked for meanwhile.
void WaitUnlessEndRequested(int ms);
