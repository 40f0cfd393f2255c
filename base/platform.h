#pragma once
// The few services of the operating system that start-up and the command
// processor need. One implementation per platform: platform_posix.cpp,
// platform_win32.cpp.
#include <string>

/// Full path of the running executable.
std::string ExecutablePath();

/// The separator that ends ProgramDir: "/" on POSIX, "\" on Windows.
char PathSeparator();

/// A path as written in a command (with backslashes) in the platform's form.
std::string NativePathFromCommand(const std::string& path);

bool StandardErrorIsTerminal();
bool StandardInputIsTerminal();

/// The default system beep: a BEL on standard error when it is a terminal.
void SystemBeep();

/// Prepares the process for the user's locale (dates in log lines).
void UseUserLocale();

/// Makes short sleeps (the 1 ms pause before every frame written) end close
/// to their time instead of up to a tenth of a millisecond late.
void UsePreciseSleeps();
