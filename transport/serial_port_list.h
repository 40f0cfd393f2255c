#pragma once
// The serial devices present on this machine and the COM numbers that reach
// them, for `mervmodul --ports`. POSIX: the /dev/ttyS* that are real ports
// (their /sys/class/tty entry names a port type), /dev/ttyUSB*, /dev/ttyACM*,
// the links of /dev/serial/by-id/ and every device named by MERV_COM<n> or
// by [Ports] COM<n>=. Windows: the COM devices the system knows.
// One implementation per platform: serial_port_list_posix.cpp, serial_port_list_win32.cpp.
#include <string>
#include <vector>

struct TSerialDevice {
  /// The name to give in [Ports] (POSIX) or the device's name (Windows).
  std::string Path;
  /// The device the name leads to when it is a link; empty otherwise.
  std::string Target;
  /// The COM numbers whose line opens this device, rising; empty for none.
  std::vector<int> ComNumbers;
};

/// Every device found, sorted by path. On POSIX, MERV_DEVICE_ROOT (when set)
/// is put in front of /dev and /sys, so that a test can show a tree of its own.
std::vector<TSerialDevice> ListSerialDevices();

/// What the user reads under the list: how a device gets a COM number and
/// what opening it needs, in the platform's own terms.
std::string SerialPortListNote();
