#pragma once
// Process start-up and the choice of the mode. The process has one life:
// start-up, one mode, exit with status 0, or OutcomeNotWritten when a command
// could not write "error.dat". An option as the first argument (--help ...)
// is answered before any of it (information_options.h).
#include <string>
#include <vector>

#include "base/process_values.h"

enum class ProgramMode { About, CommandFile, Command };

/// Exit status of a command that could not write "error.dat": the caller has
/// no other way to learn that the command did not succeed.
inline constexpr int OutcomeNotWritten = 1;

/// Starts up (locale, texts), builds the command string from the arguments
/// after the program's name, chooses the mode and runs it with the program
/// folder and the module's log.
/// Returns 0, or OutcomeNotWritten.
int RunProgram(const std::vector<std::string>& arguments);

/// "PLU", "/COM=1" -> "PLU /COM=1 /"; no arguments -> "".
std::string BuildCommandString(const std::vector<std::string>& arguments);

/// The mode of a command string (empty: about mode; "DOSMODE" at its start,
/// compared with case: command-file mode).
ProgramMode ModeOf(const std::string& commandString);

/// The command-file path of a "DOSMODE path /" command string: the text after
/// "DOSMODE" without the final "/", trimmed of blanks.
std::string CommandFilePathOf(const std::string& commandString);
