#pragma once
// The values of the program that every layer may read: names, versions and
// how the program folder is found. None of them changes while the process
// runs; the program folder of a command is in its context (run_context.h).
#include <string>

/// The environment variable that names the program folder, so that one
/// installed executable can serve several register lines, each with a
/// folder of its own.
inline constexpr const char* ProgramDirVariable = "MERV_PROGRAM_DIR";
/// The names of the outcome file and of the enciphered log in the program folder.
inline constexpr const char* OutcomeFileName = "error.dat";
inline constexpr const char* CipheredLogFileName = "KL.log";
/// Title of the application.
inline constexpr const char* ApplicationTitle = "MERV Modul";

/// Version of the programs, printed by their "--version"; the build gives it
/// (MERV_VERSION of CMakeLists.txt).
inline constexpr const char* ProgramVersion = MERV_VERSION_TEXT;

/// Caption of the module with its version (code page 1250).
std::string ProgramCaption();

/// Interface version written to the second line of "error.dat".
inline constexpr const char* InterfaceVersion = "3.02F";

/// The folder part of an executable path, up to and including the last separator.
std::string DirectoryOfExecutable(const std::string& executablePath);

/// The program folder, ending in the platform separator: `namedFolder` (the value of ProgramDirVariable) when
/// it is not empty, made absolute and ending in the separator; else the
/// folder of the executable.
std::string ProgramDirFor(const std::string& executablePath, const std::string& namedFolder);
