#pragma once
// A request to stop the running command, made by the user or the system
// (SIGTERM or SIGINT on POSIX, Ctrl+C, Ctrl+Break or closing the console on
// Windows). The handlers only note the request; the code that waits on a line
// asks for it and ends the command the ordinary way, so the line is closed,
// no partial file appears and the outcome is still written.
//
// One implementation per platform: stop_request_posix.cpp and
// stop_request_win32.cpp.
#include <chrono>

/// Installs the handlers. On POSIX a signal then interrupts a blocking wait
/// (no automatic restart), so a wait returns at once instead of at its
/// time-out.
void InstallStopRequestHandlers();

/// True once a stop has been requested.
bool StopRequested();

/// Notes a request to stop, as the handlers do (also for tests).
void RequestStop();

/// Clears the request (tests; a resident mode between commands).
void ClearStopRequest();

/// Throws std::runtime_error "Prikaz prerusen" when a stop was requested;
/// its message carries no number, so it is reported as error 10.
void ThrowIfStopRequested();

/// Marks the process busy with a command or a resident mode while it lives.
/// On Windows the system ends the process as soon as the handler of a
/// console's close or a shut-down returns: the handler asks for the stop and
/// then waits (AwaitNoBusyMark) until no mark is left, so that the command
/// writes its outcome and a modem line is hung up first. On POSIX a signal
/// ends nothing by itself, and nothing waits for the marks.
class TBusyWithCommand {
public:
  TBusyWithCommand();
  ~TBusyWithCommand();
  TBusyWithCommand(const TBusyWithCommand&) = delete;
  TBusyWithCommand& operator=(const TBusyWithCommand&) = delete;
};

/// Waits until no TBusyWithCommand is left, at most `cap`; true when none is.
bool AwaitNoBusyMark(std::chrono::milliseconds cap);
