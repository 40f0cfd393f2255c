// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// An open restaurant table of the emulated register: its number, the
// operator who opened it and its items. The register data owns them; table
// 89 lists the open tables, table 91 the items of the one asked for.
#include <cstdint>
#include <string>
#include <vector>

struct TOpenItem {
  /// Thousandths.
  std::int64_t Quantity = 1000;
  /// Four hexadecimal digits: "0000" an empty slot, "nnD0" department nn
  /// (hexadecimal), anything else a PLU.
  std::string Kind = "0001";
  std::int64_t Code = 0;
  int VatGroup = 0;
  /// Hundredths of the money unit.
  std::int64_t UnitPrice = 0;

  std::int64_t Amount() const { return (UnitPrice * Quantity + 500) / 1000; }
};

struct TOpenTable {
  int Number = 0;
  int Operator = 0;
  std::vector<TOpenItem> Items;

  std::int64_t Amount() const {
    std::int64_t amount = 0;
    for (const auto& item : Items) amount += item.Amount();
    return amount;
  }
};
