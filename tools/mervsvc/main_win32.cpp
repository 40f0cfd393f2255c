// mervsvc: the Windows service host of one register line. The service manager
// starts it as `mervsvc.exe "LINE FOLDER"`; it runs the module's resident
// command-file mode on LINE FOLDER\command.txt with the line folder as the
// program folder, and a stop ends the mode after the command under way.
// Install a line with
//   sc create MervModul-line2 binPath= "\"C:\Program Files\MERV Modul\mervsvc.exe\" \"C:\ProgramData\MERV Modul\line2\""
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/end_signals.h"
#include "app/line_service.h"
#include "app/program.h"
#include "base/file_name.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "tools/service_guard.h"

namespace {

/// The service's exit code when no line folder was given or it cannot be made.
constexpr int NoLineFolder = 2;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
TLineService lineService;
std::mutex serviceMutex;
std::vector<std::string> hostArguments;

DWORD ManagerStateOf(TLineService::State state) {
  switch (state) {
    case TLineService::State::StartPending:
      return SERVICE_START_PENDING;
    case TLineService::State::Running:
      return SERVICE_RUNNING;
    case TLineService::State::StopPending:
      return SERVICE_STOP_PENDING;
    case TLineService::State::Stopped:
      break;
  }
  return SERVICE_STOPPED;
}

TLineService::Control ControlOf(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return TLineService::Control::Stop;
    case SERVICE_CONTROL_SHUTDOWN:
      return TLineService::Control::Shutdown;
    case SERVICE_CONTROL_INTERROGATE:
      return TLineService::Control::Interrogate;
    default:
      return TLineService::Control::Other;
  }
}

// Called with serviceMutex held.
void ReportStatus() {
  const auto& current = lineService.Status();
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = ManagerStateOf(current.CurrentState);
  status.dwControlsAccepted = current.AcceptsStop ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = current.ExitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = static_cast<DWORD>(current.ExitCode);
  status.dwCheckPoint = static_cast<DWORD>(current.CheckPoint);
  status.dwWaitHint = static_cast<DWORD>(current.WaitHintMs);
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, LPVOID, LPVOID) {
  const std::lock_guard lock(serviceMutex);
  const auto answer = lineService.OnControl(ControlOf(control));
  if (answer.EndTheMode) RequestEnd();
  if (answer.Report) ReportStatus();
  return answer.Handled ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

int RunLine(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(PathFromName(folder), error);
  if (error) {
    std::fprintf(stderr, "mervsvc: cannot make the line folder %s: %s\n", folder.c_str(), error.message().c_str());
    return NoLineFolder;
  }
  _putenv_s(ProgramDirVariable, folder.c_str());
  {
    const std::lock_guard lock(serviceMutex);
    lineService.Started();
    ReportStatus();
  }
  return RunProgram(LineModeArguments(folder, '\\'));
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  statusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", OnControl, nullptr);
  if (statusHandle == nullptr) return;
  {
    const std::lock_guard lock(serviceMutex);
    ReportStatus();
  }
  // The first start argument is the service's name.
  std::vector<std::string> startArguments;
  if (argc > 1) startArguments.assign(argv + 1, argv + argc);
  const auto folder = LineFolderOf(startArguments, hostArguments);
  const int exitCode =
      folder
          ? RunServiceWork([&] { return RunLine(*folder); },
                           [](const std::string& failure) { std::fprintf(stderr, "mervsvc: %s\n", failure.c_str()); })
          : NoLineFolder;
  const std::lock_guard lock(serviceMutex);
  lineService.Ended(exitCode);
  ReportStatus();
}

}  // namespace

int main(int argc, char** argv) {
  hostArguments = ProgramArguments(argc, argv);
  SERVICE_TABLE_ENTRYA services[] = {{const_cast<char*>(""), ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherA(services)) return 0;
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    std::fprintf(stderr,
                 "mervsvc runs the command files of a register line as a Windows service:\n"
                 "  sc create NAME binPath= \"\\\"%s\\\" \\\"LINE FOLDER\\\"\"\n",
                 argc > 0 ? argv[0] : "mervsvc.exe");
    return 2;
  }
  std::fprintf(stderr, "mervsvc: the service manager refused the service (Windows error %lu)\n", GetLastError());
  return 1;
}
