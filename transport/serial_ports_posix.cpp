#include "transport/serial_ports.h"

#include <sys/stat.h>

#include "transport/com_layer.h"

// The COM numbers whose device (ComDevicePath) exists as a character device.
std::vector<TSerialPort> PresentSerialPorts() {
  constexpr int HighestListedComNumber = 64;
  std::vector<TSerialPort> ports;
  for (int number = 1; number <= HighestListedComNumber; ++number) {
    const std::string device = ComDevicePath(number);
    struct stat status {};
    if (stat(device.c_str(), &status) == 0 && S_ISCHR(status.st_mode)) ports.push_back({number, device});
  }
  return ports;
}
