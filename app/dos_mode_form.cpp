#include "app/dos_mode_form.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "app/command_processor.h"
#include "app/command_turn.h"
#include "app/end_signals.h"
#include "app/log_option.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/local_clock.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "base/stop_request.h"
#include "transport/modem.h"
#include "transport/modem_line.h"

namespace {

constexpr int WaitingText = 603;
constexpr int ProcessingText = 604;
constexpr std::uint64_t AnyFileSize = ~std::uint64_t{0} >> 1;
constexpr const char* FileLeftInPlace = "the file is left in place";

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

// Said in the log and where a person sees it.
void Tell(const std::string& message) {
  LogOrTell("ERROR: " + message);
  std::fprintf(stderr, "MERV Modul: %s\n", message.c_str());
}

// Text of a command line: no control bytes but the tab (code page 1250
// letters lie above 7Fh).
bool LooksLikeText(const std::string& line) {
  return std::none_of(line.begin(), line.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t';
  });
}

}  // namespace

TDOSModeForm::TDOSModeForm(TProgramSetup setup, std::string commandFilePath, int komTimerInterval,
                           std::chrono::milliseconds settleTime)
    : CommandFilePath(std::move(commandFilePath)),
      setup_(std::move(setup)),
      komTimerInterval_(std::max(komTimerInterval, 1)),
      settleTime_(settleTime) {}

TDOSModeForm::~TDOSModeForm() {
  if (modemLine_.Port() == nullptr) return;
  try {
    // A connected modem is told to hang up: closing the line alone leaves
    // the call up on a modem that ignores the line's control signals. An end
    // signal stopped the last command; the hang-up is its clean-up and runs
    // (a further signal stops it in turn).
    ClearStopRequest();
    if (modemLine_.State() == ModemStates::Connected) HangUp(modemLine_, true);
  } catch (const std::exception& failure) {
    LogOrTell(std::string("ERROR: ") + failure.what());
  }
  modemLine_.Release();
}

bool TDOSModeForm::Run() {
  while (!EndRequested()) {
    WaitUnlessEndRequested(komTimerInterval_);
    if (EndRequested() || !KomTimerTick()) break;
  }
  return !outcomeLost_;
}

bool TDOSModeForm::KomTimerTick() {
  ShowLabel(LoadText(WaitingText) + "\r" + CommandFilePath);
  const TFileEntry entry = LookAtEntry(CommandFilePath);
  using Kind = TFileEntry::Kind;
  if (entry.kind != Kind::Directory) folderReported_ = false;
  if (entry.kind == Kind::Missing) {
    unsettled_.reset();
    return true;
  }
  if (undeletable_ && entry.SameFileAs(*undeletable_)) return true;
  undeletable_.reset();
  if (entry.kind == Kind::Directory) {
    if (!folderReported_) Tell("the command path " + CommandFilePath + " is a folder; it is left alone");
    folderReported_ = true;
    return true;
  }
  komTimerEnabled_ = false;
  if (entry.kind == Kind::Regular) {
    if (const auto line = CompleteCommandLine(entry)) RunCommandLine(*line);
  } else {
    RemoveForeignEntry();
  }
  komTimerEnabled_ = true;
  return !closeRequested_ && !outcomeLost_;
}

std::optional<std::string> TDOSModeForm::CompleteCommandLine(const TFileEntry& entry) {
  std::string head;
  try {
    TInputFile in(CommandFilePath, AnyFileSize, InputLinks::Refuse);
    head = in.ReadUpTo(LongestCommandLine + 1);
  } catch (const std::system_error& failure) {
    // Replaced by something else since it was looked at, or unreadable.
    if (LookAtEntry(CommandFilePath).kind != TFileEntry::Kind::Regular) {
      RemoveForeignEntry();
      return std::nullopt;
    }
    LogOrTell(TimeStamped(" nalezen příkazový soubor \"", CommandFilePath));
    if (Answer(UnnumberedFailure, failure.what())) DeleteCommandFile();
    return std::nullopt;
  }
  const auto end = head.find_first_of("\r\n");
  if (end == std::string::npos && head.size() <= LongestCommandLine && !Settled(entry)) return std::nullopt;
  unsettled_.reset();
  LogOrTell(TimeStamped(" nalezen příkazový soubor \"", CommandFilePath));
  const std::string line = head.substr(0, std::min(end, head.size()));
  if (line.size() > LongestCommandLine || !LooksLikeText(line)) {
    const bool answered = Answer(1, line.size() > LongestCommandLine ? "the first line is longer than 64 KiB"
                                                                     : "the first line holds control bytes");
    if (answered) DeleteCommandFile();
    return std::nullopt;
  }
  return CommandTextFromFile(line);
}

// A line without its end runs once the file has stood still: written long
// enough ago, or seen unchanged for the settle time.
bool TDOSModeForm::Settled(const TFileEntry& entry) {
  const auto age = std::chrono::nanoseconds(FileClockNowNs() - entry.modifiedNs);
  if (age >= settleTime_) return true;
  const auto now = std::chrono::steady_clock::now();
  if (!unsettled_ || !unsettled_->SameFileAs(entry)) {
    unsettled_ = entry;
    unsettledSince_ = now;
    return false;
  }
  return now - unsettledSince_ >= settleTime_;
}

void TDOSModeForm::RunCommandLine(const std::string& line) {
  ShowLabel(LoadText(ProcessingText));
  ReadLogOption(setup_.Log, setup_.ProgramFolder);
  LogOrTell(Utf8ToCp1250("Příkaz: \"") + line + "\"");
  if (Upper(line) == "CLOSE") {
    closeRequested_ = true;
    DeleteCommandFile();
    return;
  }
  // Holds the folder's turn only while the command runs, so that commands
  // started beside the resident process wait for it and never the reverse.
  switch (RunCommandInTurn(setup_, line + "/", &modemLine_)) {
    case CommandOutcome::Written:
      break;
    case CommandOutcome::NoTurn:
      return LeftForTheTurn();
    case CommandOutcome::NotWritten:
      return OutcomeLost(FileLeftInPlace);
    case CommandOutcome::Lost:
      return RanWithoutOutcome();
  }
  DeleteCommandFile();
}

// The outcome comes first: the caller reads it once the name is gone.
void TDOSModeForm::RemoveForeignEntry() {
  LogOrTell(TimeStamped(" nalezen příkazový soubor \"", CommandFilePath));
  if (!Answer(UnnumberedFailure, CommandFilePath + " is no regular file; it is removed unread") || outcomeLost_) return;
  // Removing the name removes a link itself, never what it leads to.
  if (RemoveFileIfPresent(CommandFilePath)) return;
  Tell("cannot remove " + CommandFilePath + ", which is no regular file; it is left until it changes");
  undeletable_ = LookAtEntry(CommandFilePath);
}

bool TDOSModeForm::Answer(int code, const std::string& reason) {
  LogOrTell("ERROR: " + reason);
  ReadLogOption(setup_.Log, setup_.ProgramFolder);
  const TCommandTurn turn(setup_.ProgramFolder);
  if (!turn.MayRun()) {
    LeftForTheTurn();
    return false;
  }
  LogOrTell("ErrorCode: " + ErrorCodeText(code));
  if (!WriteOutcome(code)) OutcomeLost(FileLeftInPlace);
  return true;
}

// An outcome of the mode itself, for a command that did not run. An earlier
// "error.json" goes first, as a command removes it, so that a caller never
// reads an earlier command's outcome as this answer.
bool TDOSModeForm::WriteOutcome(int code) {
  const std::string outcomeFile = setup_.ProgramFolder + OutcomeFileName;
  RemoveFileIfPresent(JsonOutcomeFile(setup_.ProgramFolder));
  try {
    WriteOutcomeFile(outcomeFile, code);
    return true;
  } catch (const std::exception& failure) {
    LogOrTell(std::string("creating ERROR.DAT: ") + failure.what());
    std::fprintf(stderr, "MERV Modul: cannot write %s: %s\n", outcomeFile.c_str(), failure.what());
    return false;
  }
}

void TDOSModeForm::DeleteCommandFile() {
  if (outcomeLost_) return;
  LogOrTell(TimeStamped(" smazán příkazový soubor \"", CommandFilePath));
  if (RemoveFileIfPresent(CommandFilePath)) return;
  Tell("cannot delete " + CommandFilePath + "; it is not run again until it changes");
  undeletable_ = LookAtEntry(CommandFilePath);
}

// The command that holds the folder's turn owns "error.dat" and its caller
// waits for it: nothing is written over it. The entry stays; the next tick
// takes it again, or the next start of the mode once an end signal stopped
// the wait.
void TDOSModeForm::LeftForTheTurn() {
  Tell("the folder's turn did not come; " + CommandFilePath + " is left in place");
}

void TDOSModeForm::OutcomeLost(const std::string& whatBecameOfTheFile) {
  outcomeLost_ = true;
  Tell("the outcome of the command in " + CommandFilePath + " could not be written; " + whatBecameOfTheFile +
       " and the mode ends");
}

// A command that ran may have acted on the register: left in place, its file
// would run again at the next start of the mode (a service manager restarts
// it, as after any failure). Its "error.dat" was removed when it began, so
// the caller finds no outcome rather than an earlier one.
void TDOSModeForm::RanWithoutOutcome() {
  DeleteCommandFile();
  OutcomeLost("the command ran, so its file is removed");
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
