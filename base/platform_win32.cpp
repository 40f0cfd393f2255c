#include "base/platform.h"

#include <windows.h>

#include <clocale>

std::string ExecutablePath() {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

char PathSeparator() { return '\\'; }

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

void UseUserLocale() {
  std::setlocale(LC_TIME, "");
}

// Windows sleeps in steps of its timer resolution; the module leaves the
// system-wide resolution alone.
void UsePreciseSleeps() {}
