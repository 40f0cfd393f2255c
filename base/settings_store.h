#pragma once
// The module's one persistent store of settings: the registry key
// "Software\Kelmora\VOR-Manager" on Windows (read from the current user, else
// from the machine, HKEY_LOCAL_MACHINE; written for the current user), an INI file
// "${XDG_CONFIG_HOME:-$HOME/.config}/Kelmora/VOR-Manager.ini" on POSIX; a
// process without a home (a service's user) reads the installation's
// "/etc/mervmodul/VOR-Manager.ini" instead. A subkey of the registry is a
// section of the INI file.
//
// A store that is there but cannot be read (a settings file beyond its size
// bound, one the user may not read, a folder or FIFO under its name; a
// registry value of the wrong type or one the user may not read) is never
// taken for an empty one: every read of it says so in the communication log
// and on standard error (there once per process and failure) and gives the
// value's default, and a write refuses to replace it.
#include <string>
#include <string_view>

/// The integer value, or `fallback` when the store, section or value is
/// missing, cannot be read or holds no integer.
int ReadSettingInteger(std::string_view section, std::string_view name, int fallback);

/// Writes the value, creating the store and the section when needed and
/// keeping everything else in it. Throws std::runtime_error when it cannot,
/// also when the settings file is there but cannot be read: it is then left
/// as it is rather than written anew without the entries it holds.
void WriteSettingInteger(std::string_view section, std::string_view name, int value);

/// A text value of the store, or empty.
std::string ReadSettingText(std::string_view section, std::string_view name);

/// True when the integer value is there but cannot be read (reported as
/// above): on POSIX the settings file cannot be read, on Windows the value is
/// not a DWORD or may not be read. False when it was read or is missing.
bool SettingUnreadable(std::string_view section, std::string_view name);

/// Says that the store cannot be read and why (`failure` names the file or
/// value): a line in the communication log each time, and one on standard
/// error for each failure the process has not told there yet. The platform
/// stores call it; the defaults then apply.
void ReportUnreadableSettings(const std::string& failure);

/// The POSIX settings file for the values of XDG_CONFIG_HOME and HOME (empty
/// when unset): under the first that is set, but a home of "/" (what a
/// service's user has) counts as none; without either, "VOR-Manager.ini" in
/// `systemFolder`.
std::string SettingsFileFor(const std::string& configHome, const std::string& home, const std::string& systemFolder);
