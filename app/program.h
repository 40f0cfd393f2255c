#pragma once
// Process start-up and the process-wide values that every layer reads.
#include <string>
#include <vector>

/// Folder of the running executable, ending in the platform separator.
extern std::string ProgramDir;
/// Caption of the module: "MERV Modul Fiskální 9, verze 3.04.05" (code page 1250).
extern std::string ProgramCaption;
/// Outcome of the last command; the first error number of a command stays.
extern int ErrorCode;

/// Builds the command string from the process arguments (each followed by a
/// blank, then "/"), chooses the mode and runs it. Always returns 0.
int RunProgram(int argc, char** argv);

/// "PLU", "/COM=1" -> "PLU /COM=1 /".
std::string BuildCommandString(const std::vector<std::string>& arguments);
