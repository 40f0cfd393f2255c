#include "app/end_signals.h"

#include <windows.h>

#include <atomic>

#include "base/stop_request.h"

namespace {

std::atomic<bool> endRequested{false};
std::atomic<HANDLE> wakeEvent{nullptr};

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
  if (wakeEvent == nullptr) wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// The service manager's stop may come before the mode made its event: the
// flag alone then ends the mode at its first look.
void RequestEnd() {
  endRequested = true;
  if (wakeEvent != nullptr) SetEvent(wakeEvent);
}

bool EndRequested() { return endRequested; }

void WaitUnlessEndRequested(int ms) {
  if (EndRequested()) return;
  if (wakeEvent == nullptr) {
    Sleep(static_cast<DWORD>(ms));
    return;
  }
  WaitForSingleObject(wakeEvent, static_cast<DWORD>(ms));
}
