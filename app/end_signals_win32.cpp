#include "app/end_signals.h"

#include <windows.h>

#include <atomic>

#include "base/stop_request.h"

namespace {

// The end signal: whether it came, and the event that wakes a wait when it
// does. Process-wide, as a console event or the service manager's stop
// reaches the process, not one command.
struct TEndSignal {
  std::atomic<bool> Requested{false};
  std::atomic<HANDLE> WakeEvent{nullptr};
};
TEndSignal EndSignal;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      RequestStop();
      RequestEnd();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallEndSignals() {
  if (EndSignal.WakeEvent == nullptr) EndSignal.WakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// The service manager's stop may come before the mode made its event: the
// flag alone then ends the mode at its first look.
void RequestEnd() {
  EndSignal.Requested = true;
  if (EndSignal.WakeEvent != nullptr) SetEvent(EndSignal.WakeEvent);
}

bool EndRequested() { return EndSignal.Requested; }

void WaitUnlessEndRequested(int ms) {
  if (EndRequested()) return;
  if (EndSignal.WakeEvent == nullptr) {
    Sleep(static_cast<DWORD>(ms));
    return;
  }
  WaitForSingleObject(EndSignal.WakeEvent, static_cast<DWORD>(ms));
}
