#include "base/settings_store.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/ini_file.h"
#include "base/input_file.h"
#include "base/safe_output_file.h"

namespace {

// The settings of the installation, for a process without a home.
constexpr const char* SystemSettingsFolder = "/etc/mervmodul";
// A settings file holds a few entries.
constexpr std::uint64_t MaxSettingsSize = 1u << 20;

std::filesystem::path SettingsFilePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  return SettingsFileFor(configHome == nullptr ? "" : configHome, home == nullptr ? "" : home,
                         SystemSettingsFolder);
}

TIniFile LoadSettings() {
  try {
    return TIniFile::FromText(ReadInputFile(SettingsFilePath().string(), MaxSettingsSize));
  } catch (const std::system_error&) {
    // A settings file that is missing or cannot be read holds no settings:
    // every value then reads as its documented default.
    return TIniFile::FromText("");
  }
}

}  // namespace

std::string SettingsFileFor(const std::string& configHome, const std::string& home, const std::string& systemFolder) {
  const std::filesystem::path file = std::filesystem::path("Kelmora") / "VOR-Manager.ini";
  if (!configHome.empty()) return (configHome / file).string();
  if (home.empty() || home == "/") return (std::filesystem::path(systemFolder) / "VOR-Manager.ini").string();
  return (std::filesystem::path(home) / ".config" / file).string();
}

int ReadSettingInteger(std::string_view section, std::string_view name, int fallback) {
  const auto value = LoadSettings().Value(section, name);
  if (!value) return fallback;
  int number = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
  return error == std::errc() && end == value->data() + value->size() ? number : fallback;
}

std::string ReadSettingText(std::string_view section, std::string_view name) {
  return LoadSettings().Value(section, name).value_or("");
}

void WriteSettingInteger(std::string_view section, std::string_view name, int value) {
  auto settings = LoadSettings();
  settings.SetValue(section, name, std::to_string(value));
  const auto path = SettingsFilePath();
  std::filesystem::create_directories(path.parent_path());
  // The user's own settings file may be a link (a dotfiles folder).
  WriteFileSafely(path.string(), settings.ToText(), LinkRule::FollowOnce);
}
