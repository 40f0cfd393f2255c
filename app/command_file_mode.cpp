#include "app/command_file_mode.h"

#include <ctime>

#include "model/code_page.h"
#include "transport/communication_log.h"

std::string CommandFileModeStartLine(const std::string& commandFilePath) {
  const std::time_t now = std::time(nullptr);
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "%x %X", std::localtime(&now));
  return stamp + Utf8ToCp1250(" spuštěno v režimu DOSMODE pro příkazový soubor \"") + commandFilePath + "\"";
}

// The resident polling of the command file is not part of this build: the
// mode is recognised and announced in the log, then the process ends.
void RunCommandFileMode(const std::string& commandFilePath) {
  LogLine(CommandFileModeStartLine(commandFilePath));
}
