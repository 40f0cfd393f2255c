#include "tools/mervfleet/modem_call.h"

#include <system_error>

#include "base/file_name.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "tools/mervfleet/small_file.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* CommandFileName = "mervfleet-call.txt";
enum Step : std::size_t { Dial, Command, HangUp, Close, Done };

std::string Joined(const std::string& first, const std::vector<std::string>& rest) {
  std::string line = first;
  for (const auto& part : rest) line += " " + part;
  return line;
}

}  // namespace

TModemCall::TModemCall(const fs::path& folder, const TRegisterLine& line, const std::vector<std::string>& command)
    : folder_(folder), commandFile_(folder / CommandFileName) {
  const auto lineParameters = line.ModuleParameters();
  lines_ = {Joined("MODEMDIAL", line.DialParameters()),
            Joined(command.front(), std::vector<std::string>(command.begin() + 1, command.end())),
            Joined("MODEMHANGUP", {lineParameters[0], lineParameters[1]}), "CLOSE"};
  // A command file left by an earlier call would be run at once.
  if (!RemoveFileIfPresent(NameFromPath(commandFile_))) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied),
                            "cannot remove " + NameFromPath(commandFile_));
  }
}

std::vector<std::string> TModemCall::ModuleArguments() const { return {"DOSMODE", NameFromPath(commandFile_)}; }

void TModemCall::Begin() {
  step_ = Dial;
  dialOutcome_.reset();
  commandOutcome_.reset();
  Send(Dial);
}

bool TModemCall::Advance() {
  if (!NoteOutcome()) return false;
  const bool dialled = step_ != Dial || dialOutcome_ == 0;
  Send(dialled ? step_ + 1 : Close);
  return true;
}

void TModemCall::Conclude() {
  if (NoteOutcome()) step_ = Done;
}

// Notes the outcome of the line the module held once its file is gone.
bool TModemCall::NoteOutcome() {
  std::error_code error;
  if (step_ >= Close || fs::exists(commandFile_, error)) return false;
  const auto outcome = ReadOutcomeNumber(NameFromPath(folder_ / OutcomeFileName));
  if (step_ == Dial) dialOutcome_ = outcome;
  if (step_ == Command) commandOutcome_ = outcome;
  return true;
}

std::optional<int> TModemCall::Outcome() const {
  if (dialOutcome_ && *dialOutcome_ != 0) return dialOutcome_;
  return commandOutcome_;
}

void TModemCall::Send(std::size_t step) {
  step_ = step;
  if (!RemoveFileIfPresent(NameFromPath(folder_ / OutcomeFileName))) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied), "cannot remove error.dat");
  }
  WriteFileSafely(NameFromPath(commandFile_), lines_[step] + "\r\n", LinkRule::Replace);
}
