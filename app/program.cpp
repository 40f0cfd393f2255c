#include "app/program.h"

std::string ProgramDir;
std::string ProgramCaption;
int ErrorCode = 0;

std::string BuildCommandString(const std::vector<std::string>& arguments) {
  std::string command;
  for (const auto& argument : arguments) command += argument + " ";
  return command + "/";
}

int RunProgram(int, char**) { return 0; }
