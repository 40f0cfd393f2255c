// Children on Windows: CreateProcess with the standard handles on NUL, a
// process group of its own (so that Ctrl+Break can be sent to it alone), and
// an environment block made of this process's with the given variables put
// over it.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <memory>
#include <system_error>
#include <thread>

#include "tools/mervfleet/child_process.h"

#include "base/command_line_argument.h"
#include "base/wide_name_win32.h"

struct TChildHandle {
  PROCESS_INFORMATION Info{};
  /// The reading end of the kept standard output, or none.
  HANDLE Output = nullptr;
};

namespace {

constexpr DWORD ReapAfterKillMs = 5000;
/// Windows has no signal that wakes a wait for "any child": waits are sliced.
constexpr auto AwaitSlice = std::chrono::milliseconds(50);

[[noreturn]] void ThrowLastError(const std::string& step) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), step);
}

std::string CommandLine(const TChildStart& start) {
  std::string line = QuotedCommandLineArgument(start.Program);
  for (const auto& argument : start.Arguments) line += " " + QuotedCommandLineArgument(argument);
  return line;
}

bool SameName(const std::string& variable, const std::string& name) {
  if (variable.size() <= name.size() || variable[name.size()] != '=') return false;
  return std::equal(name.begin(), name.end(), variable.begin(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
}

// "NAME=value\0...\0\0" in UTF-16 (CREATE_UNICODE_ENVIRONMENT): a folder
// named in any language reaches the module as it is.
std::wstring EnvironmentBlock(const TChildStart& start) {
  std::wstring block;
  LPWCH strings = ::GetEnvironmentStringsW();
  for (LPWCH entry = strings; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::string variable = NameFromWide(entry);
    const bool replaced = std::any_of(start.Environment.begin(), start.Environment.end(),
                                      [&](const auto& pair) { return SameName(variable, pair.first); });
    if (!replaced) block += std::wstring(entry) + L'\0';
  }
  if (strings != nullptr) ::FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : start.Environment) block += WideName(name + "=" + value) + L'\0';
  return block + L'\0';
}

struct THandleCloser {
  void operator()(HANDLE handle) const noexcept {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
/// A handle closed when its owner goes, on every path out of a start.
using TOwnedHandle = std::unique_ptr<void, THandleCloser>;

TOwnedHandle OpenNul(DWORD access) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE nul = ::CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
  if (nul == INVALID_HANDLE_VALUE) ThrowLastError("open NUL");
  return TOwnedHandle(nul);
}

// The child's standard output kept in a pipe: the reading end stays here
// (not inherited), the writing end goes to the child.
TOwnedHandle KeepOutputIn(HANDLE& reading) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE writing = nullptr;
  if (!::CreatePipe(&reading, &writing, &inherited, 0)) ThrowLastError("pipe");
  ::SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
  return TOwnedHandle(writing);
}

}  // namespace

// The names are converted first: one that is not UTF-8 fails before any
// handle is opened.
TChildProcess::TChildProcess(const TChildStart& start) : handle_(new TChildHandle) {
  const std::wstring program = WideName(start.Program);
  std::wstring commandLine = WideName(CommandLine(start));
  std::wstring environment = EnvironmentBlock(start);
  const std::wstring folder = WideName(start.WorkingFolder);
  const TOwnedHandle input = OpenNul(GENERIC_READ);
  const TOwnedHandle output = OpenNul(GENERIC_WRITE);
  const TOwnedHandle kept = start.KeepOutput ? KeepOutputIn(handle_->Output) : TOwnedHandle();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = start.KeepOutput ? kept.get() : output.get();
  startup.hStdError = output.get();
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        folder.empty() ? nullptr : folder.c_str(), &startup, &handle_->Info)) {
    ThrowLastError("start " + start.Program);
  }
}

TChildProcess::~TChildProcess() {
  if (!end_ && handle_) {
    Kill();
    ::WaitForSingleObject(handle_->Info.hProcess, ReapAfterKillMs);
  }
}

void TChildProcess::HandleDeleter::operator()(TChildHandle* handle) const noexcept {
  if (handle->Info.hProcess != nullptr) ::CloseHandle(handle->Info.hProcess);
  if (handle->Info.hThread != nullptr) ::CloseHandle(handle->Info.hThread);
  if (handle->Output != nullptr) ::CloseHandle(handle->Output);
  delete handle;
}

std::optional<TChildEnd> TChildProcess::Poll() {
  if (end_) return end_;
  if (::WaitForSingleObject(handle_->Info.hProcess, 0) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(handle_->Info.hProcess, &code);
  end_ = TChildEnd{static_cast<int>(code), 0};
  return end_;
}

void TChildProcess::RequestStop() {
  if (!end_) ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, handle_->Info.dwProcessId);
}

void TChildProcess::Kill() {
  if (!end_) ::TerminateProcess(handle_->Info.hProcess, 1);
}

long TChildProcess::Id() const { return static_cast<long>(handle_->Info.dwProcessId); }

std::string TChildProcess::Output(std::size_t limit) {
  std::string output;
  char block[4096];
  while (handle_->Output != nullptr && output.size() < limit) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(handle_->Output, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) break;
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>({sizeof block, waiting, limit - output.size()}));
    if (!::ReadFile(handle_->Output, block, wanted, &got, nullptr) || got == 0) break;
    output.append(block, got);
  }
  return output;
}

void PrepareChildProcesses() {}

void AwaitChildEvent(std::chrono::milliseconds limit) { std::this_thread::sleep_for(std::min(limit, AwaitSlice)); }
