#include "app/command_file_mode.h"

#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/local_clock.h"

std::string CommandFileModeStartLine(const std::string& commandFilePath) {
  return FormatLogTimeStamp(LocalTimeNow()) + Utf8ToCp1250(" spuštěno v režimu DOSMODE pro příkazový soubor \"") + commandFilePath + "\"";
}

// The resident polling of the command file is not part of this build: the
// mode is recognised and announced in the log, then the process ends.
void RunCommandFileMode(const std::string& commandFilePath) {
  LogLine(CommandFileModeStartLine(commandFilePath));
}
