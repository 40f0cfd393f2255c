#include "app/command_processor.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/activities.h"
#include "app/command_line.h"
#include "app/log_option.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "transport/modem_line.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

namespace {

constexpr int WritePauseOfCommands = 1;

void RecordFailure(const std::string& message) {
  if (ErrorCode == 0) {
    const int number = ErrorNumberOf(message);
    // "#00" would read as success: a failure always counts.
    ErrorCode = number != 0 ? number : UnnumberedFailure;
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

void RunCommandSteps(const std::string& commandString, TNastaveni& settings, CommandParameters& parameters) {
  ReadLogOption(ProgramDir);
  ParseCommand(commandString, settings, parameters);
  PlainLogPath.clear();
  LogParameters(settings, parameters);
  CheckConnectionParameters(settings, parameters);
  RunActivity(settings, parameters);
}

void CloseModemLine() {
  if (!ModemPort) return;
  try {
    ModemPort->Close();
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("ERROR: ") + failure.what());
    RecordFailure(failure.what());
  }
  ModemPort.reset();
  ModemSettings = nullptr;
}

void TellStandardError(const std::string& text) {
  std::fprintf(stderr, "MERV Modul: %s\n", text.c_str());
}

void FinishCommand() {
  LogClosingLine("ErrorCode: " + ErrorCodeText(ErrorCode));
  const std::string outcomeFile = ProgramDir + "error.dat";
  try {
    WriteOutcomeFile(outcomeFile, ErrorCode);
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("creating ERROR.DAT: ") + failure.what());
    // The caller learns nothing without the file: say it where a person sees it.
    TellStandardError("cannot write " + outcomeFile + ": " + failure.what());
  }
  LogClosingLine("finally 13");
  if (ErrorCode != 0) SystemBeep();
  LogClosingLine("finally 14");
}

}  // namespace

std::string ErrorCodeText(int code) {
  std::string text = std::to_string(code);
  return text.size() < 2 ? " " + text : text;
}

void WriteOutcomeFile(const std::string& file, int code) {
  const std::string temporary = file + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + temporary);
    out << ErrorCodeText(code) << "\r\n" << InterfaceVersion << "\r\n";
    if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("cannot replace " + file);
  }
}

void RunCommand(const std::string& commandString, bool keepModemPort) {
  std::optional<TNastaveni> settings = TNastaveni::CommandDefaults();
  CommandParameters parameters;
  ErrorCode = 0;
  WritePause = WritePauseOfCommands;
  try {
    RunCommandSteps(commandString, *settings, parameters);
  } catch (const std::exception& failure) {
    LogClosingLine(std::string("ERROR: ") + failure.what());
    RecordFailure(failure.what());
  }
  if (!keepModemPort) CloseModemLine();
  settings.reset();
  FinishCommand();
}
