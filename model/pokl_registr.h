#pragma once
// TPoklRegistr: the description of one register option flag, read from a
// description row "NN;digits;text" (e.g. "11;1357;Zakázána ZÁLOHA/VRÁCENÍ").
// NN div 10 is the register, NN mod 10 the half-byte of its value (1 high,
// 2 low); each digit is a half-byte value (0 to 7) at which the option is on.
//
// TPoklRegistry: the register option flags of one table: how many registers
// the table's flag record carries, their values (one byte per half-byte, so
// two bytes a register) and the flag descriptions. The table (TSoubor) or the
// catalogue's spare lists own it; it owns its entries.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPoklRegistr {
public:
  std::uint8_t RegisterNumber = 0;
  /// 1 = high half of the register value, 2 = low half.
  std::uint8_t HalfByte = 0;
  /// Bit v set when the option is on at half-byte value v.
  std::uint8_t OnValues = 0;
  std::string Text;
  /// Free for the settings; a copy starts at 0.
  int Tag = 0;

  /// An entry from a description row. The row is cut at each ";" (a final
  /// ";" is implied); the first field must be an integer (EConvertError
  /// otherwise), the second gives the on-values (characters other than 0 to 7
  /// are ignored), the last of the later fields is the text.
  static TPoklRegistr FromDescription(std::string_view row);
  /// A copy of another entry, Tag 0.
  static TPoklRegistr CopyOf(const TPoklRegistr& other);
};

class TPoklRegistry {
public:
  explicit TPoklRegistry(int registerCount);

  int RegisterCount = 0;
  /// RegisterCount × 2 bytes, one per half-byte of each register.
  std::vector<std::uint8_t> Values;
  std::vector<TPoklRegistr> Entries;

  /// Removes all entries.
  void Clear();
  /// Takes the other's register count (the values resized to match) and a
  /// copy of each of its entries in place of the own ones.
  void CopyFrom(const TPoklRegistry& other);
  /// Appends the entry of a description row (TPoklRegistr::FromDescription).
  void AddDescription(std::string_view row);
};
