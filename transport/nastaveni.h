#pragma once
// Communication settings of one command (TNastaveni). The command processor
// creates them with their defaults, the command line fills them, and the
// port, the modem dialler and the transfer dialog read them. Line slots are numbered 1 to 4:
// slot 1 is the direct line to the register, slot 3 the modem line.
#include <array>
#include <cstdint>
#include <string>

struct TNastaveni {
  static constexpr int SlotCount = 4;

  std::array<std::uint8_t, SlotCount + 1> ComPort{};   // 0 = none
  std::array<std::int32_t, SlotCount + 1> BaudRate{};  // bit/s, 0 = none
  std::array<std::uint8_t, SlotCount + 1> DataBits{8, 8, 8, 8, 8};
  std::array<char, SlotCount + 1> Parity{'N', 'N', 'N', 'N', 'N'};
  std::array<std::uint8_t, SlotCount + 1> StopBits{1, 1, 1, 1, 1};
  std::array<std::int32_t, SlotCount + 1> Timeout{};  // milliseconds

  bool UseNetId = true;
  bool UseModem = false;
  std::string PhoneNumber;
  bool ToneDialling = false;
  bool UseTcp = false;
  std::string IpAddress;
  std::int32_t IpPort = 0;
  std::int32_t TcpCloseDelay = 0;
  bool FlowSlot2 = false;
  std::uint8_t OptionByte1 = 1;
  std::uint8_t OptionByte2 = 0;

  /// The defaults a command starts from: slot 1 odd parity, 4000 ms;
  /// slot 3 no parity, 12000 ms; both 8 data bits and 1 stop bit.
  static TNastaveni CommandDefaults();

  /// Line-control byte of a slot for the serial layer: parity E 18h, M 28h,
  /// O 08h, S 38h; data bits 5..8 add 0..3 (anything else 3); 2 stop bits add 4.
  std::uint8_t LineMode(int slot) const;
};
