#pragma once
// The few services of the operating system that start-up and the command
// processor need. One implementation per platform: platform_posix.cpp,
// platform_win32.cpp.
#include <string>
#include <vector>

/// The program's arguments after its name, as the module keeps file names
/// (base/file_name.h): the bytes given on POSIX; on Windows the UTF-8 of the
/// command line's UTF-16, so that no letter is lost to a narrower code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

/// A line a caller wrote into a command file, as the module keeps text of
/// names. On Windows a line that is not UTF-8 was written in the system's
/// ANSI code page, which the module used before it spoke UTF-8, and is
/// converted from it, letter for letter; on POSIX the bytes stay as written.
std::string CommandTextFromFile(const std::string& bytes);

/// Full path of the running executable.
std::string ExecutablePath();

/// The separator that ends the program folder: "/" on POSIX, "\" on Windows.
char PathSeparator();

/// A path as written in a command (with backslashes) in the platform's form.
std::string NativePathFromCommand(const std::string& path);

/// What lets a user open a serial device, in the platform's own terms (the
/// advice of error 9).
std::string SerialDeviceAccessWords();

bool StandardErrorIsTerminal();
bool StandardInputIsTerminal();

/// The default system beep: a BEL on standard error when it is a terminal.
void SystemBeep();

/// Prepares the process for the user's locale (dates in log lines).
void UseUserLocale();

/// Makes short sleeps (the 1 ms pause before every frame written) end close
/// to their time instead of up to a tenth of a millisecond late.
void UsePreciseSleeps();
