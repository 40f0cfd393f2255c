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

/// Version of the programs, printed by their "--version".
inline constexpr const char* ProgramVersion = "3.04.05";

/// Interface version written to the second line of "error.dat".
inline constexpr const char* InterfaceVersion = "3.02F";
