#include "app/command_processor.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "app/activities.h"
#include "app/activity_table.h"
#include "app/command_line.h"
#include "app/command_turn.h"
#include "app/daily_sales_export.h"
#include "app/log_option.h"
#include "app/modem_activities.h"
#include "app/outcome_json.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "transport/modem_line.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

namespace {

constexpr std::chrono::milliseconds WritePauseOfCommands{1};
constexpr int RegisterSlot = 1;

// The message of the failure that set ErrorCode, for "error.json".
std::string FirstFailureMessage;

void RecordFailure(const std::string& message) {
  if (ErrorCode == 0) {
    const int number = ErrorNumberOf(message);
    // "#00" would read as success: a failure always counts.
    ErrorCode = number != 0 ? number : UnnumberedFailure;
    FirstFailureMessage = message;
  }
}

// Log lines of the failure and clean-up steps. When the log itself is what
// fails, the failure is already in ErrorCode (or is recorded now) and
// "error.dat" must still be written, so the log failure ends only that line.
void LogClosingLine(const std::string& message) {
  try {
    LogLine(message);
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
  }
}

// A repetition still under way is counted in the command's own log, and the
// next command's first line is written whatever this one's last lines were.
void EndLogRepetitionOfCommand() {
  try {
    EndLogRepetition();
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
  }
}

void RunCommandSteps(const std::string& commandString, TNastaveni& settings, CommandParameters& parameters,
                     const TCommandLines& lines) {
  ReadLogOption(ProgramDir);
  ParseCommand(commandString, settings, parameters);
  // A FIFO or device written in place waits for its reader no longer than
  // the command waits for its register.
  if (settings.Timeout[RegisterSlot] > 0) {
    SetInPlaceWriteLimit(std::chrono::milliseconds(settings.Timeout[RegisterSlot]));
  }
  // The export's file name is composed before the parameters are logged, so
  // that the log shows the file the export writes.
  const TActivity* activity = FindActivity(parameters.Activity);
  if (activity != nullptr && activity->ExportValues) parameters.DataFile = ComposeExportFileName(parameters);
  PlainLogPath.clear();
  LogParameters(settings, parameters);
  CheckConnectionParameters(settings, parameters);
  PrepareModemLine(settings, parameters, lines);
  RunActivity(settings, parameters, lines);
}

void CloseModemLine(TModemLine& modem) {
  if (modem.Port() == nullptr) return;
  try {
    modem.Port()->Close();
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("ERROR: ") + failure.what());
    RecordFailure(failure.what());
  }
  modem.Release();
}

void TellStandardError(const std::string& text) {
  std::fprintf(stderr, "MERV Modul: %s\n", text.c_str());
}

std::string OutcomeFile() { return ProgramDir + OutcomeFileName; }
std::string JsonOutcomeFile() { return ProgramDir + "error.json"; }

// A new log begins before the command writes its first line; a log that
// cannot be renamed goes on growing, and the command runs all the same.
void KeepLogWithinItsLimit() {
  ReadLogOption(ProgramDir);
  try {
    KeepCipheredLogWithin(CipheredLogLimit());
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("KL.log neprejmenovan: ") + failure.what());
  }
}

// The failure's text without its "#nn:", in UTF-8; the table's text when
// ErrorCode came from elsewhere (a transfer's own record).
std::string OutcomeText() {
  if (ErrorCode == 0) return {};
  std::string message = FirstFailureMessage;
  if (ErrorNumberOf(message) != ErrorCode) message = FormatError(ErrorCode);
  if (message.size() >= 4 && message[0] == '#' && message[3] == ':') message.erase(0, 4);
  return Cp1250ToUtf8(message);
}

struct TCommandStart {
  std::chrono::system_clock::time_point Time = std::chrono::system_clock::now();
  std::chrono::steady_clock::time_point Steady = std::chrono::steady_clock::now();
};

// "error.json" goes before "error.dat", so a caller that waits for
// "error.dat" finds both. A failure here is logged; "error.dat" still follows.
void WriteJsonOutcome(const CommandParameters& parameters, const TCommandStart& start) {
  const auto elapsed = std::chrono::steady_clock::now() - start.Steady;
  const TOutcomeRecord record{ErrorCode,
                              OutcomeText(),
                              parameters.Activity,
                              parameters.TransferredRows,
                              parameters.DataFile,
                              start.Time,
                              std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()};
  try {
    WriteFileSafely(JsonOutcomeFile(), OutcomeJson(record), LinkRule::Replace);
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("creating error.json: ") + failure.what());
  }
}

bool FinishCommand(const CommandParameters& parameters, const TCommandStart& start) {
  LogClosingLine("ErrorCode: " + ErrorCodeText(ErrorCode));
  if (parameters.JsonOutcome) WriteJsonOutcome(parameters, start);
  bool written = true;
  try {
    WriteOutcomeFile(OutcomeFile(), ErrorCode);
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("creating ERROR.DAT: ") + failure.what());
    // The caller learns nothing without the file: say it where a person sees it.
    TellStandardError("cannot write " + OutcomeFile() + ": " + failure.what());
    written = false;
  }
  LogClosingLine("finally 13");
  if (ErrorCode != 0) SystemBeep();
  LogClosingLine("finally 14");
  EndLogRepetitionOfCommand();
  return written;
}

}  // namespace

std::string ErrorCodeText(int code) {
  std::string text = std::to_string(code);
  return text.size() < 2 ? " " + text : text;
}

void WriteOutcomeFile(const std::string& file, int code) {
  // A link or FIFO planted under the module's own name is replaced, never
  // written through.
  WriteFileSafely(file, ErrorCodeText(code) + "\r\n" + InterfaceVersion + "\r\n", LinkRule::Replace);
}

bool RunCommand(const std::string& commandString, TModemLine* keptModemLine) {
  // Whatever happens from here, the caller must not read an earlier
  // command's outcome as this one's.
  RemoveFileIfPresent(OutcomeFile());
  RemoveFileIfPresent(JsonOutcomeFile());
  const TCommandStart start;
  std::optional<TNastaveni> settings = TNastaveni::CommandDefaults();
  CommandParameters parameters;
  ErrorCode = 0;
  FirstFailureMessage.clear();
  KeepLogWithinItsLimit();
  TModemLine commandModemLine;
  const TCommandLines lines{{WritePauseOfCommands}, keptModemLine != nullptr ? *keptModemLine : commandModemLine};
  try {
    RunCommandSteps(commandString, *settings, parameters, lines);
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("ERROR: ") + failure.what());
    RecordFailure(failure.what());
  }
  if (keptModemLine == nullptr) CloseModemLine(commandModemLine);
  settings.reset();
  return FinishCommand(parameters, start);
}

CommandOutcome RunCommandInTurn(const std::string& commandString, TModemLine* keptModemLine) {
  // The turn's notes go to this command's log.
  ReadLogOption(ProgramDir);
  const TCommandTurn turn(ProgramDir);
  if (!turn.MayRun()) {
    TellStandardError("another command still runs in " + ProgramDir + "; this one did not run");
    return CommandOutcome::NoTurn;
  }
  return RunCommand(commandString, keptModemLine) ? CommandOutcome::Written : CommandOutcome::NotWritten;
}
