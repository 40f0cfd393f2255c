#include "app/command_processor.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "app/activities.h"
#include "app/activity_table.h"
#include "app/command_context.h"
#include "app/command_line.h"
#include "app/command_turn.h"
#include "app/daily_sales_export.h"
#include "app/log_option.h"
#include "app/modem_activities.h"
#include "app/outcome_json.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/json_text.h"
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

// Log lines of the failure and clean-up steps. When the log itself is what
// fails, the failure is already recorded (or is recorded now) and
// "error.dat" must still be written, so the log failure ends only that line.
void LogClosingLine(TCommandContext& context, const std::string& message) {
  try {
    LogLine(message);
  } catch (const std::exception& failure) {
    RecordFailure(context.Failures(), failure);
  }
}

// A repetition still under way is counted in the command's own log, and the
// next command's first line is written whatever this one's last lines were.
void EndLogRepetitionOfCommand(TCommandContext& context) {
  try {
    EndLogRepetition();
  } catch (const std::exception& failure) {
    RecordFailure(context.Failures(), failure);
  }
}

void RunCommandSteps(TCommandContext& context, const std::string& commandString, TNastaveni& settings,
                     CommandParameters& parameters) {
  ReadLogOption(context.Log, context.ProgramFolder());
  ParseCommand(commandString, context.ProgramFolder(), settings, parameters);
  // A FIFO or device written in place waits for its reader no longer than
  // the command waits for its register.
  if (settings.Timeout[RegisterSlot] > 0) {
    context.Run.SetInPlaceWriteLimit(std::chrono::milliseconds(settings.Timeout[RegisterSlot]));
  }
  // The export's file name is composed before the parameters are logged, so
  // that the log shows the file the export writes.
  const TActivity* activity = FindActivity(parameters.Activity);
  if (activity != nullptr && activity->ExportValues) {
    parameters.DataFile = ComposeExportFileName(context.ProgramFolder(), parameters);
  }
  // The command's lines go to the enciphered log alone; "/LOG=" named a log
  // of the parsing, which logs nothing.
  context.Log.PlainPath.clear();
  LogParameters(settings, parameters, context.Log.PlainPath);
  CheckConnectionParameters(settings, parameters);
  PrepareModemLine(settings, parameters, context.Lines);
  RunActivity(context, settings, parameters);
}

void CloseModemLine(TCommandContext& context, TModemLine& modem) {
  if (modem.Port() == nullptr) return;
  try {
    modem.Port()->Close();
  } catch (const std::exception& failure) {
    LogClosingLine(context, std::string("ERROR: ") + failure.what());
    RecordFailure(context.Failures(), failure);
  }
  modem.Release();
}

void TellStandardError(const std::string& text) { std::fprintf(stderr, "MERV Modul: %s\n", text.c_str()); }

std::string OutcomeFile(const std::string& programFolder) { return programFolder + OutcomeFileName; }

// A new log begins before the command writes its first line; a log that
// cannot be renamed goes on growing, and the command runs all the same.
void KeepLogWithinItsLimit(TCommandContext& context) {
  ReadLogOption(context.Log, context.ProgramFolder());
  try {
    KeepCipheredLogWithin(context.Log, CipheredLogLimit());
  } catch (const std::exception& failure) {
    LogClosingLine(context, std::string("KL.log neprejmenovan: ") + failure.what());
  }
}

struct TCommandStart {
  std::chrono::system_clock::time_point Time = std::chrono::system_clock::now();
  std::chrono::steady_clock::time_point Steady = std::chrono::steady_clock::now();
};

// A failure's text in UTF-8: the module's own texts are code page 1250,
// where a letter of Czech makes no valid UTF-8; a system's message, and the
// names of files and folders in it, come as UTF-8 already.
std::string FailureTextInUtf8(const std::string& text) { return IsUtf8(text) ? text : Cp1250ToUtf8(text); }

// "error.json" goes before "error.dat", so a caller that waits for
// "error.dat" finds both. A failure here is logged; "error.dat" still follows.
void WriteJsonOutcome(TCommandContext& context, const CommandParameters& parameters, const TCommandStart& start) {
  const auto elapsed = std::chrono::steady_clock::now() - start.Steady;
  const TFailureRecorder& failures = context.Failures();
  const TOutcomeRecord record{failures.Number(),
                              FailureTextInUtf8(failures.Text()),
                              parameters.Activity,
                              parameters.TransferredRows,
                              parameters.DataFile,
                              start.Time,
                              std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()};
  try {
    WriteFileSafely(JsonOutcomeFile(context.ProgramFolder()), OutcomeJson(record), LinkRule::Replace);
  } catch (const std::exception& failure) {
    LogClosingLine(context, std::string("creating error.json: ") + failure.what());
  }
}

// The one place where a command's outcome becomes "error.dat".
bool FinishCommand(TCommandContext& context, const CommandParameters& parameters, const TCommandStart& start) {
  LogClosingLine(context, "ErrorCode: " + ErrorCodeText(context.Failures().Number()));
  if (parameters.JsonOutcome) WriteJsonOutcome(context, parameters, start);
  bool written = true;
  const std::string outcomeFile = OutcomeFile(context.ProgramFolder());
  try {
    WriteOutcomeFile(outcomeFile, context.Failures().Number());
  } catch (const std::exception& failure) {
    LogClosingLine(context, std::string("creating ERROR.DAT: ") + failure.what());
    // The caller learns nothing without the file: say it where a person sees it.
    TellStandardError("cannot write " + outcomeFile + ": " + failure.what());
    written = false;
  }
  LogClosingLine(context, "finally 13");
  if (context.Failures().Failed()) SystemBeep();
  LogClosingLine(context, "finally 14");
  EndLogRepetitionOfCommand(context);
  return written;
}

}  // namespace

std::string JsonOutcomeFile(const std::string& programFolder) { return programFolder + "error.json"; }

std::string ErrorCodeText(int code) {
  std::string text = std::to_string(code);
  return text.size() < 2 ? " " + text : text;
}

void WriteOutcomeFile(const std::string& file, int code) {
  // A link or FIFO planted under the module's own name is replaced, never
  // written through.
  WriteFileSafely(file, ErrorCodeText(code) + "\r\n" + InterfaceVersion + "\r\n", LinkRule::Replace);
}

CommandOutcome RunCommand(const TProgramSetup& setup, const std::string& commandString, TModemLine* keptModemLine) {
  TModemLine commandModemLine;
  TCommandContext context(setup,
                          {{WritePauseOfCommands}, keptModemLine != nullptr ? *keptModemLine : commandModemLine});
  // Whatever happens from here, the caller must not read an earlier
  // command's outcome as this one's: an outcome that stays (another process
  // holds it open) keeps the command from running at all.
  const std::string outcomeFile = OutcomeFile(context.ProgramFolder());
  if (!RemoveOwnFileIfPresent(outcomeFile)) {
    TellStandardError("cannot remove the previous " + outcomeFile + "; the command did not run");
    return CommandOutcome::NotWritten;
  }
  RemoveOwnFileIfPresent(JsonOutcomeFile(context.ProgramFolder()));
  const TCommandStart start;
  std::optional<TNastaveni> settings = TNastaveni::CommandDefaults();
  CommandParameters parameters;
  KeepLogWithinItsLimit(context);
  try {
    RunCommandSteps(context, commandString, *settings, parameters);
  } catch (const std::exception& failure) {
    LogClosingLine(context, std::string("ERROR: ") + failure.what());
    RecordFailure(context.Failures(), failure);
  }
  if (keptModemLine == nullptr) CloseModemLine(context, commandModemLine);
  settings.reset();
  return FinishCommand(context, parameters, start) ? CommandOutcome::Written : CommandOutcome::Lost;
}

CommandOutcome RunCommandInTurn(const TProgramSetup& setup, const std::string& commandString,
                                TModemLine* keptModemLine) {
  // The turn's notes go to this command's log.
  ReadLogOption(setup.Log, setup.ProgramFolder);
  const TCommandTurn turn(setup.ProgramFolder);
  if (!turn.MayRun()) {
    TellStandardError("another command still runs in " + setup.ProgramFolder + "; this one did not run");
    return CommandOutcome::NoTurn;
  }
  return RunCommand(setup, commandString, keptModemLine);
}
