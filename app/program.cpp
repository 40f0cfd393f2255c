#include "app/program.h"

#include <cstdio>
#include <cstdlib>

#include "app/about_mode.h"
#include "app/command_file_mode.h"
#include "app/command_processor.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "base/stop_request.h"
#include "transport/serial_ports.h"

namespace {

// The build gives the version (MERV_VERSION of CMakeLists.txt).
constexpr const char* VersionText = MERV_VERSION_TEXT;
constexpr std::string_view CommandFileWord = "DOSMODE";

void StartUp() {
  UseUserLocale();
  UsePreciseSleeps();
  SetLanguageBase(CzechLanguageBase);
  PlainLogPath.clear();
  CipheredLogPath.clear();
  ProgramCaption = Utf8ToCp1250("MERV Modul Fiskální");
  ApplicationTitle = "MERV Modul";
  const char* namedFolder = std::getenv(ProgramDirVariable);
  ProgramDir = ProgramDirFor(ExecutablePath(), namedFolder == nullptr ? "" : namedFolder);
  ProgramCaption += std::string(" 9, verze ") + VersionText;
}

void ShutDown() {
  PlainLogPath.clear();
  CipheredLogPath.clear();
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

constexpr const char* UsageText =
    "Usage: mervmodul ACTIVITY /PARAMETER=VALUE ...   run one command\n"
    "       mervmodul DOSMODE FILE                    run the commands of FILE\n"
    "       mervmodul                                 show the state, switch the log\n"
    "       mervmodul --help | --version\n"
    "       mervmodul --ports                         list the serial ports and their COM numbers\n"
    "\n"
    "The outcome of a command is written to error.dat beside the executable:\n"
    "the error number (0 for success) and the interface version.\n"
    "Parameters: /COM= /BR= /IPADDR= /IPPORT= /ECR= /FILE= /CODE= /FORMAT= /TO= /ID= ...\n"
    "Dnn compares table nn with /FILE= (/DIFF= /STRICT); Wnn /VERIFY reads it back.\n"
    "See mervmodul(1).\n";

}  // namespace

std::string InformationTextFor(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return {};
  if (arguments[0] == "--help") return UsageText;
  if (arguments[0] == "--version") return std::string("mervmodul ") + VersionText + "\n";
  if (arguments[0] == "--ports") return SerialPortListText(PresentSerialPorts());
  return {};
}

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

int RunProgram(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const std::string information = InformationTextFor(arguments);
  if (!information.empty()) {
    std::fwrite(information.data(), 1, information.size(), stdout);
    return 0;
  }
  StartUp();
  const std::string commandString = BuildCommandString(arguments);
  int status = 0;
  switch (ModeOf(commandString)) {
    case ProgramMode::About:
      RunAboutMode();
      break;
    case ProgramMode::CommandFile:
      if (!RunCommandFileMode(CommandFilePathOf(commandString))) status = OutcomeNotWritten;
      break;
    case ProgramMode::Command:
      InstallStopRequestHandlers();
      if (RunCommandInTurn(commandString) != CommandOutcome::Written) status = OutcomeNotWritten;
      break;
  }
  ShutDown();
  return status;
}
