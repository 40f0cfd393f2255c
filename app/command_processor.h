#pragma once
// The command processor: the one path of every command, whether it comes from
// the process arguments or from a command file. It parses and checks the
// command in a context of its own (command_context.h), runs its activity and
// reports the outcome in the communication log and in "error.dat" in the
// program folder. No failure escapes.
#include <string>

#include "app/command_context.h"
#include "transport/modem_line.h"

/// How a command ended.
enum class CommandOutcome {
  Written,     // it ran and "error.dat" holds its outcome
  Lost,        // it ran, but "error.dat" could not be written: there is none
  NotWritten,  // the previous "error.dat" could not be removed: it did not run
  NoTurn,      // the turn never came (waited too long, or a stop): it did not run
};

/// Runs one command. A `keptModemLine` is the modem line of the resident
/// mode, left open for its next command; without one the command has a modem
/// line of its own, closed when it ends. The previous "error.dat" is removed
/// first, so a command that cannot finish leaves no outcome rather than a
/// stale one; when it cannot be removed, the command does not run. The
/// caller holds the folder's turn (TCommandTurn) around it. Lost and
/// NotWritten are said on standard error.
CommandOutcome RunCommand(const TProgramSetup& setup, const std::string& commandString, TModemLine* keptModemLine);

/// Waits for the folder's turn, then runs the command (the command mode, and
/// each command of the resident mode).
CommandOutcome RunCommandInTurn(const TProgramSetup& setup, const std::string& commandString,
                                TModemLine* keptModemLine = nullptr);

/// The path of "error.json" in the program folder `programFolder`.
std::string JsonOutcomeFile(const std::string& programFolder);

/// " 0", " 7", "48": the error code right-aligned to two characters.
std::string ErrorCodeText(int code);

/// Replaces `file` with the outcome lines (code, interface version, CR LF
/// each) so that a reader never sees half a file: written beside it under a
/// unique name, then renamed over it. Throws std::system_error when it cannot.
void WriteOutcomeFile(const std::string& file, int code);
