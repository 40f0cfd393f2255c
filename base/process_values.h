#pragma once
// The process-wide values that every layer reads. Start-up sets them; they
// live as long as the process.
#include <string>

/// The program folder, ending in the platform separator: where "error.dat",
/// "KL.log" and relative file names live. The folder named by the environment
/// variable ProgramDirVariable when it is set, else the executable's folder.
extern std::string ProgramDir;
/// The environment variable that names the program folder, so that one
/// installed executable can serve several register lines, each with a
/// folder of its own.
inline constexpr const char* ProgramDirVariable = "MERV_PROGRAM_DIR";
/// The names of the outcome file and of the enciphered log in the program folder.
inline constexpr const char* OutcomeFileName = "error.dat";
inline constexpr const char* CipheredLogFileName = "KL.log";
/// Caption of the module (code page 1250).
extern std::string ProgramCaption;
/// Title of the application.
extern std::string ApplicationTitle;
/// Outcome of the last command; the first error number of a command stays.
extern int ErrorCode;

/// Version of the programs, printed by their "--version"; the build gives it
/// (MERV_VERSION of CMakeLists.txt).
inline constexpr const char* ProgramVersion = MERV_VERSION_TEXT;

/// Interface version written to the second line of "error.dat".
inline constexpr const char* InterfaceVersion = "3.02F";

/// The folder part of an executable path, up to and including the last separator.
std::string DirectoryOfExecutable(const std::string& executablePath);

/// The program folder: `namedFolder` (the value of ProgramDirVariable) when
/// it is not empty, made absolute and ending in the separator; else the
/// folder of the executable.
std::string ProgramDirFor(const std::string& executablePath, const std::string& namedFolder);
