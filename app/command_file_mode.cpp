#include "app/command_file_mode.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "app/dos_mode_form.h"
#include "app/end_signals.h"
#include "app/log_option.h"
#include "base/exclusive_lock_file.h"
#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/local_clock.h"
#include "base/process_values.h"

namespace {

/// Test and soak runs may poll faster than the caller's usual second, and
/// let a file without a line end settle sooner than in two seconds.
constexpr const char* PollIntervalVariable = "MERV_DOSMODE_POLL_MS";
constexpr const char* SettleTimeVariable = "MERV_DOSMODE_SETTLE_MS";

/// Beside the command file: held by the one resident process watching it.
constexpr const char* LockSuffix = ".mervlock";

int PositiveNumberFrom(const char* variable, int fallback) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return fallback;
  const std::string_view text(value);
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < 1) return fallback;
  return number;
}

int KomTimerInterval() { return PositiveNumberFrom(PollIntervalVariable, TDOSModeForm::DefaultKomTimerInterval); }

std::chrono::milliseconds SettleTime() {
  return std::chrono::milliseconds(
      PositiveNumberFrom(SettleTimeVariable, static_cast<int>(TDOSModeForm::DefaultSettleTime.count())));
}

}  // namespace

std::string CommandFileModeStartLine(const std::string& commandFilePath) {
  return FormatLogTimeStamp(LocalTimeNow()) + Utf8ToCp1250(" spuštěno v režimu DOSMODE pro příkazový soubor \"") +
         commandFilePath + "\"";
}

std::string CommandFileModeLockPath(const std::string& commandFilePath) { return commandFilePath + LockSuffix; }

bool RunCommandFileMode(const TProgramSetup& setup, const std::string& commandFilePath) {
  // One resident process per command path: a second one would run commands
  // twice, delete files the first has not read and mix their outcomes.
  std::unique_ptr<TExclusiveLockFile> watch;
  try {
    watch = std::make_unique<TExclusiveLockFile>(CommandFileModeLockPath(commandFilePath));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "MERV Modul: cannot watch %s: %s\n", commandFilePath.c_str(), failure.what());
    return false;
  }
  if (!watch->TryLock()) {
    std::fprintf(stderr, "MERV Modul: another resident process already watches %s\n", commandFilePath.c_str());
    return false;
  }
  InstallEndSignals();
  // The log option is read here as well as by every command, so that the
  // mode's own first lines reach the log too.
  ReadLogOption(setup.Log, setup.ProgramFolder);
  try {
    LogLine(CommandFileModeStartLine(commandFilePath));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "MERV Modul: log: %s\n", failure.what());
  }
  TDOSModeForm form(setup, commandFilePath, KomTimerInterval(), SettleTime());
  return form.Run();
}
