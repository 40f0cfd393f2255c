#include "app/end_signals.h"

#include <windows.h>

#include <atomic>

#include "base/console_events_win32.h"
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

void RequestStopAndEnd() {
  RequestStop();
  RequestEnd();
}

// A close or a shut-down waits here until the mode has ended (its modem line
// hung up), as the system ends the process when the handler returns.
BOOL WINAPI OnConsoleEvent(DWORD event) { return AnswerConsoleEvent(event, RequestStopAndEnd); }

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
