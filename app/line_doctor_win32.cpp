// The doctor's checks of a Windows machine: the registry key of the
// settings, the COM device as the system names it, the latency timer of an
// FTDI USB-serial port, and the default printer.
#include <windows.h>

#include <optional>

#include "app/line_doctor.h"

namespace {

/// FTDI's driver keeps each port's settings under the device's key:
/// FTDIBUS\<device>\<instance>\Device Parameters holds the COM name it gave
/// the port (PortName) and its latency timer in milliseconds (LatencyTimer).
constexpr const char* FtdiDevices = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";

/// The names of the subkeys of `key`.
std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    if (::RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

/// The latency timer of the FTDI port the system calls `comName`, if the
/// driver has one by that name.
std::optional<int> FtdiLatencyTimer(const std::string& comName) {
  HKEY devices = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, FtdiDevices, 0, KEY_READ, &devices) != ERROR_SUCCESS) return std::nullopt;
  std::optional<int> found;
  for (const auto& device : SubkeyNames(devices)) {
    HKEY instances = nullptr;
    if (::RegOpenKeyExA(devices, device.c_str(), 0, KEY_READ, &instances) != ERROR_SUCCESS) continue;
    for (const auto& instance : SubkeyNames(instances)) {
      const std::string parameters = instance + "\\Device Parameters";
      char portName[64] = {};
      DWORD size = sizeof portName;
      if (::RegGetValueA(instances, parameters.c_str(), "PortName", RRF_RT_REG_SZ, nullptr, portName, &size) !=
              ERROR_SUCCESS ||
          ::lstrcmpiA(portName, comName.c_str()) != 0) {
        continue;
      }
      DWORD timer = 0;
      size = sizeof timer;
      if (::RegGetValueA(instances, parameters.c_str(), "LatencyTimer", RRF_RT_REG_DWORD, nullptr, &timer, &size) ==
          ERROR_SUCCESS) {
        found = static_cast<int>(timer);
      }
    }
    ::RegCloseKey(instances);
  }
  ::RegCloseKey(devices);
  return found;
}

}  // namespace

TDoctorCheck SettingsStoreCheck() {
  HKEY key = nullptr;
  const char* path = "Software\\Kelmora\\VOR-Manager";
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
      return {"settings", true, std::string(root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + path, {}};
    }
  }
  return {"settings", true, std::string("HKCU\\") + path + " (not there: the defaults apply)", {}};
}

std::vector<TDoctorCheck> ComDeviceChecks(const std::string& device) {
  // "\\.\COM3": the name after the prefix is the system's DOS device name.
  const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  char target[512];
  if (::QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) {
    return {{"COM device", false, name + " is missing",
             "plug in the adapter and look up its COM number in the Device Manager (mervmodul --ports)"}};
  }
  return {{"COM device", true, name + " is present (" + target + ")", {}},
          {"COM holder", true, "not shown on Windows: a port another program holds gives error 4", {}},
          LatencyTimerCheck(name, FtdiLatencyTimer(name),
                            "set the latency timer to 1 ms: Device Manager, the port's Properties, Port Settings, "
                            "Advanced")};
}

TDoctorCheck PrinterCheck() {
  char name[512];
  DWORD size = sizeof name;
  // The spooler is loaded only here: the module does not link winspool.
  using GetDefaultPrinterFunction = BOOL(WINAPI*)(LPSTR, LPDWORD);
  HMODULE spooler = ::LoadLibraryA("winspool.drv");
  const auto getDefault = spooler != nullptr ? reinterpret_cast<GetDefaultPrinterFunction>(reinterpret_cast<void (*)()>(
                                                   ::GetProcAddress(spooler, "GetDefaultPrinterA")))
                                             : nullptr;
  const bool found = getDefault != nullptr && getDefault(name, &size);
  if (spooler != nullptr) ::FreeLibrary(spooler);
  if (found) return {"printer", true, std::string("default ") + name, {}};
  return {"printer", false, "no default printer", "choose a default printer in the Windows settings"};
}
