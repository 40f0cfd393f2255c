#include "base/settings_store.h"

#include <windows.h>

#include <stdexcept>

namespace {

const std::string BaseKey = "Software\\Kelmora\\VOR-Manager\\";

// A value of the current user wins; without one the machine's counts, which
// the installer writes and a service account (without the user's key) reads.
const HKEY ReadOrder[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

}  // namespace

int ReadSettingInteger(std::string_view section, std::string_view name, int fallback) {
  const std::string key = BaseKey + std::string(section);
  for (const HKEY root : ReadOrder) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(root, key.c_str(), std::string(name).c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) ==
        ERROR_SUCCESS) {
      return static_cast<int>(value);
    }
  }
  return fallback;
}

std::string ReadSettingText(std::string_view section, std::string_view name) {
  const std::string key = BaseKey + std::string(section);
  for (const HKEY root : ReadOrder) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, key.c_str(), std::string(name).c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) ==
            ERROR_SUCCESS &&
        size > 0) {
      return std::string(buffer, size - 1);
    }
  }
  return {};
}

// Written for the current user only: the machine's value is the installer's.
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
