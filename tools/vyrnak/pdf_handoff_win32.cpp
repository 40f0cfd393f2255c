#include "tools/vyrnak/pdf_handoff.h"

#include <windows.h>
#include <shellapi.h>

namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

void RestoreChildSignal() {}

void PrintOnPrinter(const std::filesystem::path& pdf, const std::string& printer) {
  const std::wstring file = pdf.wstring();
  const std::wstring parameters = L"\"" + Wide(printer) + L"\"";
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"printto";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info))
    throw EHandoffError("cannot print on " + printer + ": Windows error " + std::to_string(GetLastError()));
  if (info.hProcess == nullptr) return;
  const DWORD waited = WaitForSingleObject(info.hProcess, PrintWaitSeconds * 1000);
  CloseHandle(info.hProcess);
  if (waited != WAIT_OBJECT_0)
    throw EHandoffError("printing did not finish within " + std::to_string(PrintWaitSeconds) + " s");
}

// Windows prints by default: the shell's "print" verb sends the PDF to the
// default printer through the application registered for PDFs; where none
// registers "print", "open" shows it. ShellExecute returns a value above 32
// when it started something.
bool OpenInViewer(const std::filesystem::path& pdf) {
  const std::wstring file = pdf.wstring();
  for (const wchar_t* verb : {L"print", L"open"}) {
    const auto result = ShellExecuteW(nullptr, verb, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  }
  return false;
}
