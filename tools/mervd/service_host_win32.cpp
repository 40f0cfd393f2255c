// The service manager starts `mervd.exe --service [--config FILE]`; its
// control thread reports the states and passes a stop on.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "tools/mervd/service_host.h"
#include "tools/service_guard.h"

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
std::mutex serviceMutex;
const std::function<int()>* serviceRun = nullptr;
const std::function<void()>* serviceStop = nullptr;
int serviceExitCode = 0;

void Report(DWORD state, DWORD exitCode = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exitCode;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? 30000 : 0;
  ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, LPVOID, LPVOID) {
  const std::lock_guard lock(serviceMutex);
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    (*serviceStop)();
    return NO_ERROR;
  }
  return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  statusHandle = ::RegisterServiceCtrlHandlerExA("mervd", OnControl, nullptr);
  if (statusHandle == nullptr) return;
  {
    const std::lock_guard lock(serviceMutex);
    Report(SERVICE_RUNNING);
  }
  // A failure (a taken port, a token file that cannot be written) ends the
  // service as stopped with its own exit code, never the process.
  serviceExitCode = RunServiceWork(*serviceRun, [](const std::string& failure) {
    std::fprintf(stderr, "mervd: %s\n", failure.c_str());
  });
  const std::lock_guard lock(serviceMutex);
  Report(SERVICE_STOPPED, static_cast<DWORD>(serviceExitCode));
}

}  // namespace

int RunAsService(const std::function<int()>& run, const std::function<void()>& stop) {
  serviceRun = &run;
  serviceStop = &stop;
  SERVICE_TABLE_ENTRYA services[] = {{const_cast<char*>("mervd"), ServiceMain}, {nullptr, nullptr}};
  if (!::StartServiceCtrlDispatcherA(services)) return 1;
  return serviceExitCode;
}

const char* DefaultConfigPath() { return "C:\\ProgramData\\MERV Modul\\mervd.conf"; }
