#include "app/command_file_mode.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/dos_mode_form.h"
#include "app/end_signals.h"
#include "app/log_option.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/local_clock.h"
#include "base/process_values.h"

namespace {

/// Test and soak runs may poll faster than the caller's usual second.
constexpr const char* PollIntervalVariable = "MERV_DOSMODE_POLL_MS";

int KomTimerInterval() {
  const char* value = std::getenv(PollIntervalVariable);
  if (value == nullptr) return TDOSModeForm::DefaultKomTimerInterval;
  const std::string_view text(value);
  int interval = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), interval);
  if (error != std::errc() || end != text.data() + text.size() || interval < 1) {
    return TDOSModeForm::DefaultKomTimerInterval;
  }
  return interval;
}

}  // namespace

std::string CommandFileModeStartLine(const std::string& commandFilePath) {
  return FormatLogTimeStamp(LocalTimeNow()) + Utf8ToCp1250(" spuštěno v režimu DOSMODE pro příkazový soubor \"") + commandFilePath + "\"";
}

void RunCommandFileMode(const std::string& commandFilePath) {
  InstallEndSignals();
  // The log option is read here as well as by every command, so that the
  // mode's own first lines reach the log too.
  ReadLogOption(ProgramDir);
  try {
    LogLine(CommandFileModeStartLine(commandFilePath));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "MERV Modul: log: %s\n", failure.what());
  }
  TDOSModeForm form(commandFilePath, KomTimerInterval());
  form.Run();
}
