#pragma once
// The process-wide values that every layer reads. Start-up sets them; they
// live as long as the process.
#include <string>

/// Folder of the running executable, ending in the platform separator.
extern std::string ProgramDir;
/// Caption of the module (code page 1250).
extern std::string ProgramCaption;
/// Title of the application.
extern std::string ApplicationTitle;
/// Outcome of the last command; the first error number of a command stays.
extern int ErrorCode;

/// The environment variable that names the program folder instead of the
/// executable's: a register line's folder, where "error.dat", "KL.log" and
/// bare file names of a command live, while the executable stays where it is
/// installed (and an upgrade reaches every line).
inline constexpr const char* ProgramDirVariable = "MERV_PROGRAM_DIR";

/// The program folder: `named` (the variable's value, may be null or empty)
/// ending in `separator`, else `executableFolder` as it is.
std::string ChooseProgramDir(const char* named, const std::string& executableFolder, char separator);

/// Interface version written to the second line of "error.dat".
inline constexpr const char* InterfaceVersion = "3.02F";
