#pragma once
// A PLU table in the register's table 3 layout filled with generated rows,
// shared by the benchmarks that measure records and table files.
#include <memory>
#include <random>
#include <string>

#include "base/code_page.h"
#include "model/soubor.h"
#include "model/tlumocnik_sloupce.h"

/// Number, EAN, name, two prices, nine flags, status byte; writable, with
/// its column interpreter.
inline std::unique_ptr<TSoubor> SamplePluTable() {
  auto table = std::make_unique<TSoubor>();
  table->Number = 3;
  table->Writable = true;
  table->AddColumn(ColumnType::Binary, 2);
  table->AddColumn(ColumnType::Packed, 7);
  table->AddColumn(ColumnType::Text, 18);
  table->AddColumn(ColumnType::Packed, 4);
  table->AddColumn(ColumnType::Packed, 4);
  for (int i = 0; i < 9; ++i) table->AddColumn(ColumnType::Packed, 1);
  table->AddColumn(ColumnType::Hex, 1);
  table->Interpreter = std::make_unique<TTlumocnikSloupce>(table->Columns);
  return table;
}

/// Appends `rows` generated rows (the same for the same seed).
inline void FillSamplePluRows(TSoubor& table, int rows, unsigned seed) {
  std::mt19937 random(seed);
  const std::string name = Utf8ToCp1250("Rohlík tukový č.");
  for (int i = 1; i <= rows; ++i) {
    const auto ean = std::to_string(8590000000000ull + random() % 10000000ull);
    table.AddRow(-1, std::to_string(i) + "|" + ean + "|" + name + std::to_string(i % 100) + "|" +
                         std::to_string(random() % 1000000) + "|" + std::to_string(random() % 99999) +
                         "|1|0|2|0|0|1|0|0|9|A5|");
  }
}
