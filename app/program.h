#pragma once
// Process start-up, the choice of the mode, and the process-wide values that
// every layer reads. The process has one life: start-up, one mode, exit with
// status 0, or OutcomeNotWritten when a command could not write "error.dat".
#include <string>
#include <vector>

/// Folder of the running executable, ending in the platform separator.
extern std::string ProgramDir;
/// Caption of the module (code page 1250).
extern std::string ProgramCaption;
/// Title of the application.
extern std::string ApplicationTitle;
/// Outcome of the last command; the first error number of a command stays.
extern int ErrorCode;

/// Interface version written to the second line of "error.dat".
inline constexpr const char* InterfaceVersion = "3.02F";

enum class ProgramMode { About, CommandFile, Command };

/// Exit status of a command that could not write "error.dat": the caller has
/// no other way to learn that the command did not succeed.
inline constexpr int OutcomeNotWritten = 1;

/// Sets the process-wide values, builds the command string, chooses the mode
/// and runs it. Returns 0, or OutcomeNotWritten.
int RunProgram(int argc, char** argv);

/// "PLU", "/COM=1" -> "PLU /COM=1 /"; no arguments -> "".
std::string BuildCommandString(const std::vector<std::string>& arguments);

/// The mode of a command string (empty: about mode; "DOSMODE" at its start,
/// compared with case: command-file mode).
ProgramMode ModeOf(const std::string& commandString);

/// The command-file path of a "DOSMODE path /" command string: the text after
/// "DOSMODE" without the final "/", trimmed of blanks.
std::string CommandFilePathOf(const std::string& commandString);

/// The folder part of an executable path, up to and including the last separator.
std::string DirectoryOfExecutable(const std::string& executablePath);

/// Reads "LogSouborSifra" of section "Ver2": non-zero sets CipheredLogPath to
/// dir + "KL.log", otherwise clears it.
void ReadLogOption(const std::string& dir);

/// Writes 1 or 0 to "LogSouborSifra" of section "Ver2".
void WriteLogOption(bool on);
