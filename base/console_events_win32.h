#pragma once
// How the console handlers of the Windows programs answer a console event
// (stop_request_win32.cpp). Ctrl+C and Ctrl+Break only note the stop. After
// a console's close or a shut-down the system ends the process as soon as
// the handler returns (a close at the latest 5 s after it came): the handler
// notes the stop and then waits until the work under way, marked with
// TBusyWithCommand (stop_request.h), has ended, so that its outcome is
// written and a modem line hung up.
#include <windows.h>

#include <chrono>

/// How long a close or a shut-down waits in the handler for the work to end:
/// within the 5 s Windows gives a closing console.
inline constexpr std::chrono::milliseconds ConsoleEndWait{4500};

/// Answers `event`: for Ctrl+C, Ctrl+Break, a close and a shut-down calls
/// `noteStop` and returns TRUE, for a close and a shut-down only once no
/// busy mark is left or `cap` has passed; FALSE (not handled) for any other.
BOOL AnswerConsoleEvent(DWORD event, void (*noteStop)(), std::chrono::milliseconds cap = ConsoleEndWait);
