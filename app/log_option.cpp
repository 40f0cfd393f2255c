#include "app/log_option.h"
#include "base/safe_output_file.h"

#include <filesystem>
#include <system_error>

#include "base/communication_log.h"
#include "base/process_values.h"
#include "base/settings_store.h"

namespace {

constexpr const char* LogOptionSection = "Ver2";
constexpr const char* LogOptionName = "LogSouborSifra";
constexpr const char* LogLimitName = "LogMaxMB";
constexpr std::uintmax_t BytesPerMegabyte = 1024 * 1024;

}  // namespace

// Settings that cannot be read keep the log on: their report, and what the
// command does without them, then reach the log as well as standard error.
void ReadLogOption(const std::string& dir) {
  if (SettingUnreadable(LogOptionSection, LogOptionName) ||
      ReadSettingInteger(LogOptionSection, LogOptionName, 0) != 0) {
    CipheredLogPath = dir + CipheredLogFileName;
  } else {
    CipheredLogPath.clear();
  }
}

void WriteLogOption(bool on) { WriteSettingInteger(LogOptionSection, LogOptionName, on ? 1 : 0); }

std::uintmax_t CipheredLogLimit() {
  const int megabytes = ReadSettingInteger(LogOptionSection, LogLimitName, 0);
  return megabytes > 0 ? static_cast<std::uintmax_t>(megabytes) * BytesPerMegabyte : 0;
}

bool KeepCipheredLogWithin(std::uintmax_t limit) {
  if (CipheredLogPath.empty() || limit == 0) return false;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(CipheredLogPath, error);
  if (error || size <= limit) return false;
  MoveFileReplacing(CipheredLogPath, CipheredLogPath + OlderLogSuffix);
  return true;
}
