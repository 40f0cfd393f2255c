#include "base/settings_store.h"

#include <windows.h>

#include <stdexcept>
#include <system_error>

namespace {

const std::string BaseKey = "Software\\Kelmora\\VOR-Manager\\";

struct THive {
  HKEY Root;
  const char* Name;
};

// A value of the current user wins; without one the machine's counts, which
// the installer writes and a service account (without the user's key) reads.
const THive ReadOrder[] = {{HKEY_CURRENT_USER, "HKEY_CURRENT_USER"}, {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}};

// A text value is a printer's name or a device path.
constexpr DWORD LongestText = 1024;

enum class ValueFound { Read, Missing, Unreadable };

// Reads the value of `type` (RRF_RT_...) from the first hive that has it. A
// value that is there but cannot be read (another type, too long, no right to
// read it) is reported and ends the search: the machine's value is no
// stand-in for the user's own.
ValueFound ReadValue(std::string_view section, std::string_view name, DWORD type, void* data, DWORD capacity,
                     DWORD* size) {
  const std::string key = BaseKey + std::string(section);
  const std::string value(name);
  for (const THive& hive : ReadOrder) {
    *size = capacity;
    const LONG result = RegGetValueA(hive.Root, key.c_str(), value.c_str(), type, nullptr, data, size);
    if (result == ERROR_SUCCESS) return ValueFound::Read;
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND) continue;
    ReportUnreadableSettings(std::string(hive.Name) + "\\" + key + " " + value + ": " +
                             std::system_category().message(static_cast<int>(result)));
    return ValueFound::Unreadable;
  }
  return ValueFound::Missing;
}

}  // namespace

int ReadSettingInteger(std::string_view section, std::string_view name, int fallback) {
  DWORD value = 0;
  DWORD size = 0;
  if (ReadValue(section, name, RRF_RT_REG_DWORD, &value, sizeof value, &size) != ValueFound::Read) return fallback;
  return static_cast<int>(value);
}

std::string ReadSettingText(std::string_view section, std::string_view name) {
  char buffer[LongestText];
  DWORD size = 0;
  if (ReadValue(section, name, RRF_RT_REG_SZ, buffer, sizeof buffer, &size) != ValueFound::Read || size == 0) return {};
  return std::string(buffer, size - 1);
}

bool SettingUnreadable(std::string_view section, std::string_view name) {
  DWORD value = 0;
  DWORD size = 0;
  return ReadValue(section, name, RRF_RT_REG_DWORD, &value, sizeof value, &size) == ValueFound::Unreadable;
}

// Written for the current user only: the machine's value is the installer's.
// A registry value stands alone, so writing one never loses another.
void WriteSettingInteger(std::string_view section, std::string_view name, int value) {
  const std::string key = BaseKey + std::string(section);
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    throw std::runtime_error("cannot create registry key " + key);
  }
  const DWORD data = static_cast<DWORD>(value);
  const LONG result = RegSetValueExA(handle, std::string(name).c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&data), sizeof data);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) throw std::runtime_error("cannot write registry value " + std::string(name));
}
