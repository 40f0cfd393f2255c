#include "transport/serial_ports.h"

#include <windows.h>

#include <algorithm>

#include "transport/com_layer.h"

// Every value of the key is one port: its name is the driver's device, its
// data the port's name ("COM12").
std::vector<TSerialPort> PresentSerialPorts() {
  std::vector<TSerialPort> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    DWORD valueNameSize = sizeof valueName;
    char data[64];
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataSize] = '\0';
    const int number = ComNumberOfName(data);
    if (number != 0) ports.push_back({number, ComDevicePath(number)});
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.ComNumber < b.ComNumber; });
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  return ports;
}
