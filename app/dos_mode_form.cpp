#include "app/dos_mode_form.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "app/command_processor.h"
#include "app/end_signals.h"
#include "app/log_option.h"
#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/code_page.h"
#include "base/localized_texts.h"
#include "base/communication_log.h"
#include "base/local_clock.h"
#include "transport/modem.h"
#include "transport/modem_line.h"

namespace {

constexpr int WaitingText = 603;
constexpr int ProcessingText = 604;
// Only the first line is read, and no more of it than a command can use.
constexpr std::size_t LongestCommandLine = 64 * 1024;
constexpr std::uint64_t MaxCommandFileSize = ~std::uint64_t{0} >> 1;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string TimeStamped(const std::string& utf8Text, const std::string& path) {
  return FormatLogTimeStamp(LocalTimeNow()) + Utf8ToCp1250(utf8Text) + path + "\"";
}

// The resident mode must outlive a log it cannot write: the failure is said
// where a person sees it, and the next command reports it in "error.dat".
void LogOrTell(const std::string& message) {
  try {
    LogLine(message);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "MERV Modul: log: %s\n", failure.what());
  }
}

void WriteOutcome() {
  const std::string outcomeFile = ProgramDir + "error.dat";
  try {
    WriteOutcomeFile(outcomeFile, ErrorCode);
  } catch (const std::exception& failure) {
    LogOrTell(std::string("creating ERROR.DAT: ") + failure.what());
    std::fprintf(stderr, "MERV Modul: cannot write %s: %s\n", outcomeFile.c_str(), failure.what());
  }
}

bool CommandFileExists(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

TDOSModeForm::TDOSModeForm(std::string commandFilePath, int komTimerInterval)
    : CommandFilePath(std::move(commandFilePath)), komTimerInterval_(std::max(komTimerInterval, 1)) {}

TDOSModeForm::~TDOSModeForm() {
  if (!ModemPort) return;
  try {
    // A connected modem is told to hang up: closing the line alone leaves
    // the call up on a modem that ignores the line's control signals.
    if (ModemState == ModemStates::Connected) HangUp(true);
  } catch (const std::exception& failure) {
    LogOrTell(std::string("ERROR: ") + failure.what());
  }
  ModemPort.reset();
}

void TDOSModeForm::Run() {
  while (!EndRequested()) {
    WaitUnlessEndRequested(komTimerInterval_);
    if (EndRequested() || !KomTimerTick()) return;
  }
}

bool TDOSModeForm::KomTimerTick() {
  ShowLabel(LoadText(WaitingText) + "\r" + CommandFilePath);
  if (!CommandFileExists(CommandFilePath)) return true;
  komTimerEnabled_ = false;
  ShowLabel(LoadText(ProcessingText));
  RunCommandFile();
  komTimerEnabled_ = true;
  return !closeRequested_;
}

void TDOSModeForm::RunCommandFile() {
  ReadLogOption(ProgramDir);
  LogOrTell(TimeStamped(" nalezen příkazový soubor \"", CommandFilePath));
  std::string line;
  try {
    line = ReadCommandLine();
  } catch (const std::exception& failure) {
    // The caller waits for the file to go and then reads "error.dat": it
    // must not find the outcome of an earlier command there.
    LogOrTell(std::string("ERROR: ") + failure.what());
    ErrorCode = UnnumberedFailure;
    WriteOutcome();
    DeleteCommandFile();
    return;
  }
  LogOrTell(Utf8ToCp1250("Příkaz: \"") + line + "\"");
  if (Upper(line) == "CLOSE") {
    closeRequested_ = true;
  } else {
    // Holds the folder's turn only while the command runs, so that commands
    // started beside the resident process wait for it and never the reverse.
    RunCommandInTurn(line + "/", true);
  }
  DeleteCommandFile();
}

std::string TDOSModeForm::ReadCommandLine() const {
  TInputFile in(CommandFilePath, MaxCommandFileSize, InputLinks::Refuse);
  std::string line = in.ReadUpTo(LongestCommandLine);
  line.resize(std::min(line.find('\n'), line.size()));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TDOSModeForm::DeleteCommandFile() const {
  LogOrTell(TimeStamped(" smazán příkazový soubor \"", CommandFilePath));
  std::error_code error;
  std::filesystem::remove(CommandFilePath, error);
  if (error) {
    LogOrTell("ERROR: cannot delete " + CommandFilePath + ": " + error.message());
    std::fprintf(stderr, "MERV Modul: cannot delete %s: %s\n", CommandFilePath.c_str(), error.message().c_str());
  }
}

void TDOSModeForm::ShowLabel(const std::string& text) {
  if (text == Label1) return;
  Label1 = text;
  if (!StandardErrorIsTerminal()) return;
  std::string shown = Cp1250ToUtf8(Label1);
  std::replace(shown.begin(), shown.end(), '\r', ' ');
  std::fprintf(stderr, "\r\033[K%s", shown.c_str());
  std::fflush(stderr);
}
