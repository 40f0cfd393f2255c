#include "app/program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/about_mode.h"
#include "app/command_file_mode.h"
#include "app/command_processor.h"
#include "app/information_options.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "base/stop_request.h"

namespace {

constexpr std::string_view CommandFileWord = "DOSMODE";

std::string ProgramDirOfProcess() {
  const char* namedFolder = std::getenv(ProgramDirVariable);
  return ProgramDirFor(ExecutablePath(), namedFolder == nullptr ? "" : namedFolder);
}

void StartUp() {
  UseUserLocale();
  UsePreciseSleeps();
  SetLanguageBase(CzechLanguageBase);
  PlainLogPath.clear();
  CipheredLogPath.clear();
  ProgramCaption = Utf8ToCp1250("MERV Modul Fiskální");
  ApplicationTitle = "MERV Modul";
  ProgramDir = ProgramDirOfProcess();
  ProgramCaption += std::string(" 9, verze ") + ProgramVersion;
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

std::string DirectoryOfExecutable(const std::string& executablePath) {
  const auto separator = executablePath.find_last_of(PathSeparator());
  return separator == std::string::npos ? std::string() : executablePath.substr(0, separator + 1);
}

// A relative folder is taken against the working directory at start-up, so
// that the folder stays the same whatever a command does later.
std::string ProgramDirFor(const std::string& executablePath, const std::string& namedFolder) {
  if (namedFolder.empty()) return DirectoryOfExecutable(executablePath);
  std::string folder = std::filesystem::absolute(namedFolder).make_preferred().string();
  if (folder.back() != PathSeparator()) folder += PathSeparator();
  return folder;
}

int RunProgram(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (const auto option = RunInformationOption(arguments, ProgramDirOfProcess())) {
    std::fwrite(option->Output.data(), 1, option->Output.size(), stdout);
    std::fwrite(option->Errors.data(), 1, option->Errors.size(), stderr);
    return option->Status;
  }
  StartUp();
  const std::string commandString = BuildCommandString(arguments);
  int status = 0;
  switch (ModeOf(commandString)) {
    case ProgramMode::About:
      RunAboutMode();
      break;
    case ProgramMode::CommandFile:
      RunCommandFileMode(CommandFilePathOf(commandString));
      break;
    case ProgramMode::Command:
      InstallStopRequestHandlers();
      if (!RunCommandInTurn(commandString)) status = OutcomeNotWritten;
      break;
  }
  ShutDown();
  return status;
}
