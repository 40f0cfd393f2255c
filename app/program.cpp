#include "app/program.h"

#include <cstdio>
#include <cstdlib>

#include "app/about_mode.h"
#include "app/command_file_mode.h"
#include "app/command_processor.h"
#include "app/information_options.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/run_context.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "base/stop_request.h"
#include "transport/serial_ports.h"

namespace {

constexpr std::string_view CommandFileWord = "DOSMODE";

std::string ProgramDirOfProcess() {
  const char* namedFolder = std::getenv(ProgramDirVariable);
  // The executable's own path is asked of the system only when it is needed.
  if (namedFolder != nullptr && *namedFolder != '\0') return ProgramDirFor("", namedFolder);
  return ProgramDirFor(ExecutablePath(), "");
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Prints what an option or a usage error says; returns its exit status.
int ShowOptionOutcome(const TOptionOutcome& outcome) {
  std::fwrite(outcome.Output.data(), 1, outcome.Output.size(), stdout);
  std::fwrite(outcome.Errors.data(), 1, outcome.Errors.size(), stderr);
  return outcome.Status;
}

}  // namespace

std::string BuildCommandString(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {};
  std::string command;
  for (const auto& argument : arguments) command += argument + " ";
  return command + "/";
}

ProgramMode ModeOf(const std::string& commandString) {
  if (commandString.empty()) return ProgramMode::About;
  if (commandString.starts_with(CommandFileWord)) return ProgramMode::CommandFile;
  return ProgramMode::Command;
}

std::string CommandFilePathOf(const std::string& commandString) {
  std::string rest = commandString.substr(CommandFileWord.size());
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  return Trimmed(rest);
}

int RunProgram(const std::vector<std::string>& arguments) {
  const std::string programDir = ProgramDirOfProcess();
  if (const auto option = RunInformationOption(arguments, programDir)) return ShowOptionOutcome(*option);
  const std::string commandString = BuildCommandString(arguments);
  // Without a path the resident mode has nothing to watch, and no outcome file
  // would tell the caller why: a usage error, as a wrong option is.
  if (ModeOf(commandString) == ProgramMode::CommandFile && CommandFilePathOf(commandString).empty()) {
    return ShowOptionOutcome(UsageError(std::string(CommandFileWord) + " needs the path of the command file"));
  }
  UsePreciseSleeps();
  // The module's log lasts as long as the mode: each command names its files
  // from the settings, and the mode's own lines go to it as well.
  TCommunicationLog log;
  const TProgramSetup setup{programDir, log};
  TRunContext modeContext(setup.ProgramFolder, log);
  modeContext.SetLanguageBase(CzechLanguageBase);
  modeContext.SetDatesInUserLocale(true);
  int status = 0;
  switch (ModeOf(commandString)) {
    case ProgramMode::About:
      RunAboutMode(setup);
      break;
    case ProgramMode::CommandFile: {
      const TBusyWithCommand busy;
      if (!RunCommandFileMode(setup, CommandFilePathOf(commandString))) status = OutcomeNotWritten;
      break;
    }
    case ProgramMode::Command: {
      InstallStopRequestHandlers();
      const TBusyWithCommand busy;
      if (RunCommandInTurn(setup, commandString) != CommandOutcome::Written) status = OutcomeNotWritten;
      break;
    }
  }
  return status;
}
