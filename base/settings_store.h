#pragma once
// The module's one persistent store of settings: the registry key
// "Software\Kelmora\VOR-Manager" on Windows (read from the current user, else
// from the machine, HKEY_LOCAL_MACHINE; written for the current user), an INI file
// "${XDG_CONFIG_HOME:-$HOME/.config}/Kelmora/VOR-Manager.ini" on POSIX; a
// process without a home (a service's user) reads the installation's
// "/etc/mervmodul/VOR-Manager.ini" instead. A subkey of the registry is a
// section of the INI file.
#include <string>
#include <string_view>

/// The integer value, or `fallback` when the store, section or value is
/// missing or holds no integer.
int ReadSettingInteger(std::string_view section, std::string_view name, int fallback);

/// Writes the value, creating the store and the section when needed and
/// keeping everything else in it. Throws std::runtime_error when it cannot.
void WriteSettingInteger(std::string_view section, std::string_view name, int value);

/// A text value of the store, or empty.
std::string ReadSettingText(std::string_view section, std::string_view name);

/// The POSIX settings file for the values of XDG_CONFIG_HOME and HOME (empty
/// when unset): under the first that is set, but a home of "/" (what a
/// service's user has) counts as none; without either, "VOR-Manager.ini" in
/// `systemFolder`.
std::string SettingsFileFor(const std::string& configHome, const std::string& home, const std::string& systemFolder);
