#include "app/log_option.h"

#include "base/communication_log.h"
#include "base/process_values.h"
#include "base/settings_store.h"

namespace {

constexpr const char* LogOptionSection = "Ver2";
constexpr const char* LogOptionName = "LogSouborSifra";
constexpr const char* LogLimitName = "LogMaxMB";
constexpr std::uintmax_t BytesPerMegabyte = 1024 * 1024;
// A new installation has no entry: its log must not fill the disk either.
constexpr int DefaultLogLimitMegabytes = 100;

}  // namespace

// Settings that cannot be read keep the log on: their report, and what the
// command does without them, then reach the log as well as standard error.
void ReadLogOption(TCommunicationLog& log, const std::string& dir) {
  if (SettingUnreadable(LogOptionSection, LogOptionName) ||
      ReadSettingInteger(LogOptionSection, LogOptionName, 0) != 0) {
    log.CipheredPath = dir + CipheredLogFileName;
  } else {
    log.CipheredPath.clear();
  }
}

void WriteLogOption(bool on) { WriteSettingInteger(LogOptionSection, LogOptionName, on ? 1 : 0); }

std::uintmax_t CipheredLogLimit() {
  const int megabytes = ReadSettingInteger(LogOptionSection, LogLimitName, DefaultLogLimitMegabytes);
  return megabytes > 0 ? static_cast<std::uintmax_t>(megabytes) * BytesPerMegabyte : 0;
}

bool KeepCipheredLogWithin(TCommunicationLog& log, std::uintmax_t limit) {
  log.SetCipheredBound(limit);
  return log.MoveCipheredLogAsideWhenOverBound();
}
