// Windows names its ports in the registry; COM10 and above are opened only
// through the \\.\COMn form.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "transport/com_layer.h"
#include "transport/serial_ports.h"

namespace {

constexpr const char* SerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// A port a driver would have listed, removed again at the end.
class ListedPort {
public:
  ListedPort(const char* device, const char* name) : device_(device) {
    result_ = RegSetKeyValueA(HKEY_LOCAL_MACHINE, SerialCommKey, device, REG_SZ, name,
                              static_cast<DWORD>(std::strlen(name) + 1));
  }
  ~ListedPort() { RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SerialCommKey, device_); }
  bool Listed() const { return result_ == ERROR_SUCCESS; }

private:
  const char* device_;
  LONG result_;
};

TEST(WindowsSerialPorts, EveryComNumberThroughTheDeviceNamespace) {
  EXPECT_EQ(ComDevicePath(1), "\\\\.\\COM1");
  EXPECT_EQ(ComDevicePath(12), "\\\\.\\COM12");
  EXPECT_EQ(ComDevicePath(255), "\\\\.\\COM255");
}

TEST(WindowsSerialPorts, ListedFromTheRegistry) {
  const ListedPort twelve("\\Device\\MervTest12", "COM12");
  const ListedPort notAPort("\\Device\\MervTestX", "LPT3");
  ASSERT_TRUE(twelve.Listed());
  const auto ports = PresentSerialPorts();
  EXPECT_NE(std::find(ports.begin(), ports.end(), TSerialPort{12, "\\\\.\\COM12"}), ports.end());
  EXPECT_TRUE(std::none_of(ports.begin(), ports.end(), [](const auto& port) { return port.ComNumber == 0; }));
}

}  // namespace
