#include "base/platform.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <clocale>
#include <memory>

#include "base/wide_name_win32.h"

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  std::vector<std::string> arguments;
  for (int index = 1; wide && index < count; ++index) arguments.push_back(NameFromWide(wide.get()[index]));
  return arguments;
}

namespace {

bool IsUtf8(const std::string& bytes) {
  if (bytes.empty()) return true;
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) >
         0;
}

// The code page narrow text had before the programs declared UTF-8 as
// theirs: the system locale's ANSI code page (GetACP now answers UTF-8).
UINT LegacyAnsiCodePage() {
  UINT codePage = 0;
  const int got = GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                  reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t));
  return got > 0 && codePage != 0 && codePage != CP_UTF8 ? codePage : 1250;
}

}  // namespace

std::string CommandTextFromFile(const std::string& bytes) {
  if (IsUtf8(bytes)) return bytes;
  const UINT codePage = LegacyAnsiCodePage();
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
  return NameFromWide(wide);
}

std::string ExecutablePath() {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(length);
  return NameFromWide(buffer);
}

char PathSeparator() { return '\\'; }

std::string SerialDeviceAccessWords() {
  return "the device manager lists the port; a line's service opens it under its own account";
}

std::string NativePathFromCommand(const std::string& path) { return path; }

namespace {

// _isatty() is true for every character device, NUL and COM ports included;
// only a console answers GetConsoleMode.
bool IsConsole(DWORD standardHandle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(standardHandle), &mode) != FALSE;
}

}  // namespace

bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

bool StandardInputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

void SystemBeep() { MessageBeep(MB_OK); }

void UseUserLocale() { std::setlocale(LC_TIME, ""); }

// Windows sleeps in steps of its timer resolution; the module leaves the
// system-wide resolution alone.
void UsePreciseSleeps() {}
