#pragma once
// TModemCall: one attempt of a register on a dial-up line. A call must be
// dialled, used and hung up by one process, so the module runs in its
// resident mode in the line folder and is handed the command lines one after
// the other through its command file: MODEMDIAL with the number, the command
// with /MODEM, MODEMHANGUP, and CLOSE, which ends the mode. A failed dial
// goes straight to CLOSE (the module hangs up after a failed dial itself).
// Each line is written whole (TSafeOutputFile); the module deletes the file
// when it has run the line and written "error.dat", which is removed before
// each line so that it always belongs to the line just run.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/mervfleet/register_line.h"

class TModemCall {
public:
  /// `command`: the module's arguments of the command (activity first).
  TModemCall(const std::filesystem::path& folder, const TRegisterLine& line, const std::vector<std::string>& command);

  /// The arguments that start the resident mode on the call's command file.
  std::vector<std::string> ModuleArguments() const;
  /// Hands the module the first line.
  void Begin();
  /// Once the module has run the line it holds (its command file is gone):
  /// notes the line's outcome and hands it the next line. Returns whether
  /// anything moved on.
  bool Advance();
  /// After the module has ended: notes the outcome of the line it held, if
  /// it ran it, and sends nothing more.
  void Conclude();
  /// The dial's number when the dial failed, else the command's; none while
  /// the command has not run.
  std::optional<int> Outcome() const;

private:
  bool NoteOutcome();
  void Send(std::size_t step);

  std::filesystem::path folder_;
  std::filesystem::path commandFile_;
  std::vector<std::string> lines_;
  std::size_t step_ = 0;
  std::optional<int> dialOutcome_;
  std::optional<int> commandOutcome_;
};
