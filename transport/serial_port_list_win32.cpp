#include "transport/serial_port_list.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

constexpr int HighestComNumber = 255;

}  // namespace

std::vector<TSerialDevice> ListSerialDevices() {
  std::vector<TSerialDevice> devices;
  for (int port = 1; port <= HighestComNumber; ++port) {
    const std::string name = "COM" + std::to_string(port);
    char target[1024] = {};
    if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) continue;
    devices.push_back(TSerialDevice{name, target, {port}});
  }
  return devices;
}
