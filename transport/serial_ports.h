#pragma once
// The serial ports present on this machine and the COM number each answers
// to, for `mervmodul --ports`. One implementation per platform:
// serial_ports_win32.cpp (the registry's HARDWARE\DEVICEMAP\SERIALCOMM, where
// Windows lists every port its drivers made), serial_ports_posix.cpp (the
// devices the COM numbers map to that exist).
#include <string>
#include <string_view>
#include <vector>

/// The highest COM number a port can have.
inline constexpr int HighestComNumber = 255;

struct TSerialPort {
  int ComNumber = 0;
  std::string Device;  // what the COM layer opens for it
  bool operator==(const TSerialPort&) const = default;
};

/// The ports present, ordered by COM number, each once.
std::vector<TSerialPort> PresentSerialPorts();

/// The number of a Windows port name: "COM12" -> 12 (any case); 0 for a name
/// that is not COM and a number from 1 to 255.
int ComNumberOfName(std::string_view name);

/// One line per port, "COM12 \\.\COM12", or a line saying there is none.
std::string SerialPortListText(const std::vector<TSerialPort>& ports);
