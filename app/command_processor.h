#pragma once
// The command processor: the one path of every command, whether it comes from
// the process arguments or from a command file. It parses and checks the
// command, runs its activity and reports the outcome in ErrorCode, in the
// communication log and in "error.dat" beside the program. No failure escapes.
#include <string>

/// Runs one command. `keepModemPort` leaves an open modem line open for the
/// next command (command-file mode).
void RunCommand(const std::string& commandString, bool keepModemPort);

/// " 0", " 7", "48": the error code right-aligned to two characters.
std::string ErrorCodeText(int code);

/// Replaces `file` with the outcome lines (code, interface version, CR LF
/// each) so that a reader never sees half a file: written beside it, then
/// renamed over it. Throws std::runtime_error when it cannot.
void WriteOutcomeFile(const std::string& file, int code);
