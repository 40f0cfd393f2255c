#include "transport/serial_port_list.h"
#include "base/input_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cstdlib>
#include <system_error>
#include <map>
#include <string_view>

#include "transport/com_layer.h"
#include "transport/serial_ports.h"

namespace fs = std::filesystem;

namespace {

std::string DeviceRoot() {
  const char* root = std::getenv("MERV_DEVICE_ROOT");
  return root == nullptr ? std::string() : std::string(root);
}

// A ttyS node exists for every port the driver might have; a real one has a
// port type other than 0 ("unknown") in its /sys entry.
bool IsRealSerialPort(const std::string& root, const std::string& name) {
  // A /sys attribute says its size is a page whatever it holds.
  constexpr std::uint64_t AttributeSize = 4096;
  std::string text;
  try {
    text = ReadInputFile(root + "/sys/class/tty/" + name + "/type", AttributeSize);
  } catch (const std::system_error&) {
    return false;
  }
  return std::atoi(text.c_str()) != 0;
}

bool HasPrefix(const std::string& name, std::string_view prefix) { return name.starts_with(prefix); }

void AddDevicesOfFolder(const std::string& root, std::vector<std::string>& found) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root + "/dev", error)) {
    const std::string name = entry.path().filename().string();
    if (HasPrefix(name, "ttyUSB") || HasPrefix(name, "ttyACM") ||
        (HasPrefix(name, "ttyS") && IsRealSerialPort(root, name))) {
      found.push_back(entry.path().string());
    }
  }
  for (const auto& entry : fs::directory_iterator(root + "/dev/serial/by-id", error)) {
    found.push_back(entry.path().string());
  }
}

std::string Canonical(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  return error ? std::string() : resolved.string();
}

struct ComLine {
  std::string Device;
  bool Configured = false;
};

// The device each COM number opens: the one configured for it, else its
// ttyS node (under the device root).
std::map<int, ComLine> ComLines(const std::string& root) {
  std::map<int, ComLine> lines;
  for (int port = 1; port <= HighestComNumber; ++port) {
    const std::string configured = ConfiguredComDevicePath(port);
    lines[port] =
        configured.empty() ? ComLine{root + "/dev/ttyS" + std::to_string(port - 1), false} : ComLine{configured, true};
  }
  return lines;
}

}  // namespace

std::vector<TSerialDevice> ListSerialDevices() {
  const std::string root = DeviceRoot();
  std::vector<std::string> paths;
  AddDevicesOfFolder(root, paths);
  const auto lines = ComLines(root);
  for (const auto& [port, line] : lines) {
    if (line.Configured && !Canonical(line.Device).empty()) paths.push_back(line.Device);
  }
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());

  std::vector<TSerialDevice> devices;
  for (const std::string& path : paths) {
    TSerialDevice device{path, {}, {}};
    const std::string resolved = Canonical(path);
    std::error_code error;
    if (fs::is_symlink(path, error)) device.Target = resolved;
    for (const auto& [port, line] : lines) {
      if (line.Device == path || (line.Configured && !resolved.empty() && Canonical(line.Device) == resolved)) {
        device.ComNumbers.push_back(port);
      }
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

std::string SerialPortListNote() {
  return "A device without a COM number is given one in section [Ports] of the settings\n"
         "file, for example COM3=/dev/serial/by-id/... (stable when the adapter is\n"
         "plugged elsewhere). Opening a device needs the group dialout.\n";
}
