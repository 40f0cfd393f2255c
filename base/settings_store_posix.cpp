#include "base/settings_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/ini_file.h"
#include "base/input_file.h"
#include "base/safe_output_file.h"

namespace {

// The settings of the installation, for a process without a home.
constexpr const char* SystemSettingsFolder = "/etc/mervmodul";
// A settings file holds a few entries.
constexpr std::uint64_t MaxSettingsSize = 1u << 20;

std::string SettingsFilePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  return SettingsFileFor(configHome == nullptr ? "" : configHome, home == nullptr ? "" : home, SystemSettingsFolder);
}

struct TLoadedSettings {
  TIniFile Ini;
  /// Why a settings file that is there could not be read; empty when it was
  /// read or is missing.
  std::string Failure;
};

// What symlink_status calls "not found", without building a path of the name.
bool NothingUnder(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

TLoadedSettings LoadSettings() {
  const std::string path = SettingsFilePath();
  // Most installations have no settings file: looking first spares every
  // start the thrown and caught failure of opening it, the costliest step of
  // a command refused at once. A file that comes or goes between the look
  // and the opening is handled below as before.
  if (NothingUnder(path)) return {TIniFile::FromText(""), {}};
  try {
    return {TIniFile::FromText(ReadInputFile(path, MaxSettingsSize)), {}};
  } catch (const std::system_error& failure) {
    // A missing file holds no settings: every value reads as its default.
    if (failure.code() == std::errc::no_such_file_or_directory) return {TIniFile::FromText(""), {}};
    return {TIniFile::FromText(""), failure.what()};
  }
}

// The settings to read from: those of an unreadable file are reported, then
// read as none.
TIniFile SettingsToRead() {
  TLoadedSettings settings = LoadSettings();
  if (!settings.Failure.empty()) ReportUnreadableSettings(settings.Failure);
  return std::move(settings.Ini);
}

// A name in a folder, as std::filesystem's "/" joins them (a separator only
// where the folder does not end in one), without the cost of building paths:
// every setting read looks the file up again.
std::string InFolder(std::string folder, std::string_view name) {
  if (!folder.ends_with('/')) folder += '/';
  return folder.append(name);
}

}  // namespace

std::string SettingsFileFor(const std::string& configHome, const std::string& home, const std::string& systemFolder) {
  constexpr std::string_view File = "Kelmora/VOR-Manager.ini";
  if (!configHome.empty()) return InFolder(configHome, File);
  if (home.empty() || home == "/") return InFolder(systemFolder, "VOR-Manager.ini");
  return InFolder(InFolder(home, ".config"), File);
}

int ReadSettingInteger(std::string_view section, std::string_view name, int fallback) {
  const auto value = SettingsToRead().Value(section, name);
  if (!value) return fallback;
  int number = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
  return error == std::errc() && end == value->data() + value->size() ? number : fallback;
}

std::string ReadSettingText(std::string_view section, std::string_view name) {
  return SettingsToRead().Value(section, name).value_or("");
}

bool SettingUnreadable(std::string_view, std::string_view) {
  const TLoadedSettings settings = LoadSettings();
  if (settings.Failure.empty()) return false;
  ReportUnreadableSettings(settings.Failure);
  return true;
}

// A file that could not be read is not replaced: the new one would hold only
// this entry and lose every other setting.
void WriteSettingInteger(std::string_view section, std::string_view name, int value) {
  TLoadedSettings settings = LoadSettings();
  if (!settings.Failure.empty()) {
    throw std::runtime_error("settings not written, the file is left as it is: " + settings.Failure);
  }
  settings.Ini.SetValue(section, name, std::to_string(value));
  const std::string path = SettingsFilePath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  // The module names the settings file itself: a link or FIFO under its name
  // is replaced by the new file, never followed or written into.
  WriteFileSafely(path, settings.Ini.ToText(), LinkRule::Replace);
}
