#include <windows.h>

#include "base/stop_request.h"

namespace {

// Runs on a thread of its own. For a closing console the system ends the
// process a few seconds after the handler returns; the waits of the module
// are bounded by their time-outs, which is as quick as Windows allows here.
BOOL WINAPI NoteStopEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      RequestStop();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopRequestHandlers() { SetConsoleCtrlHandler(NoteStopEvent, TRUE); }
