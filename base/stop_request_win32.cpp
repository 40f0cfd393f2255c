#include <windows.h>

#include "base/console_events_win32.h"
#include "base/stop_request.h"

namespace {

// Runs on a thread of its own, made by the system for the event.
BOOL WINAPI NoteStopEvent(DWORD event) { return AnswerConsoleEvent(event, RequestStop); }

}  // namespace

void InstallStopRequestHandlers() { SetConsoleCtrlHandler(NoteStopEvent, TRUE); }

BOOL AnswerConsoleEvent(DWORD event, void (*noteStop)(), std::chrono::milliseconds cap) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      noteStop();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      noteStop();
      AwaitNoBusyMark(cap);
      return TRUE;
    default:
      // A log-off reaches only services, at any user's log-off: no reason
      // to stop a register line.
      return FALSE;
  }
}
