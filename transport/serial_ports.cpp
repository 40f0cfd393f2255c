#include "transport/serial_ports.h"

#include <cctype>
#include <charconv>

int ComNumberOfName(std::string_view name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  const std::string_view digits = name.substr(3);
  if (digits.front() == '0') return 0;
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return number >= 1 && number <= HighestComNumber ? number : 0;
}

std::string SerialPortListText(const std::vector<TSerialPort>& ports) {
  if (ports.empty()) return "no serial ports found\n";
  std::string text;
  for (const auto& port : ports) text += "COM" + std::to_string(port.ComNumber) + " " + port.Device + "\n";
  return text;
}
