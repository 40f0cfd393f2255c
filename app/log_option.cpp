#include "app/log_option.h"

#include "base/communication_log.h"
#include "base/settings_store.h"

namespace {

constexpr const char* LogOptionSection = "Ver2";
constexpr const char* LogOptionName = "LogSouborSifra";

}  // namespace

void ReadLogOption(const std::string& dir) {
  if (ReadSettingInteger(LogOptionSection, LogOptionName, 0) != 0) {
    CipheredLogPath = dir + "KL.log";
  } else {
    CipheredLogPath.clear();
  }
}

void WriteLogOption(bool on) { WriteSettingInteger(LogOptionSection, LogOptionName, on ? 1 : 0); }
