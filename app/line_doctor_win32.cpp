// The doctor's checks of a Windows machine: the registry key of the
// settings, the COM device as the system names it, and the default printer.
#include <windows.h>

#include "app/line_doctor.h"

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
          {"COM holder", true, "not shown on Windows: a port another program holds gives error 4", {}}};
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
