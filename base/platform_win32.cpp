#include "base/platform.h"

#include <windows.h>
#include <io.h>

#include <clocale>
#include <cstdio>

std::string ExecutablePath() {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

char PathSeparator() { return '\\'; }

std::string NativePathFromCommand(const std::string& path) { return path; }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

void SystemBeep() { MessageBeep(MB_OK); }

void UseUserLocale() {
  std::setlocale(LC_TIME, "");
}

// Windows sleeps in steps of its timer resolution; the module leaves the
// system-wide resolution alone.
void UsePreciseSleeps() {}
