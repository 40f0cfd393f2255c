#pragma once
// TPoklRegistry: the register option flags of one table: how many registers
// the table's flag record carries, their values (one byte per half-byte, so
// two bytes a register) and the flag descriptions. The table (TSoubor) or the
// catalogue's spare lists own it; it owns its entries.
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/pokl_registr.h"

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
