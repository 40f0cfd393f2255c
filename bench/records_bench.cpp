// Throughput of the column interpreter on PLU records (table 3 layout): rows
// encoded to raw records and raw records decoded to rows, per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/code_page.h"
#include "model/soubor.h"
#include "model/tlumocnik_sloupce.h"

namespace {

constexpr int SampleRows = 1024;

// Number, EAN, name, two prices, nine flags, status byte.
std::unique_ptr<TSoubor> PluTable() {
  auto table = std::make_unique<TSoubor>();
  table->Number = 3;
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

void FillRows(TSoubor& table) {
  std::mt19937 random(7);
  const std::string name = Utf8ToCp1250("Rohlík tukový ^ č. ");
  for (int i = 1; i <= SampleRows; ++i) {
    const auto ean = std::to_string(8590000000000ull + random() % 10000000ull);
    table.AddRow(-1, std::to_string(i) + "|" + ean + "|" + name + std::to_string(i % 100) + "|" +
                         std::to_string(random() % 1000000) + "|" + std::to_string(random() % 99999) +
                         "|1|0|2|0|0|1|0|0|9|A5|");
  }
}

void BM_EncodePluRow(benchmark::State& state) {
  const auto table = PluTable();
  FillRows(*table);
  for (auto _ : state) {
    for (const auto& row : table->Rows) benchmark::DoNotOptimize(table->Interpreter->EncodeRow(row, false));
  }
  state.SetItemsProcessed(state.iterations() * SampleRows);
}
BENCHMARK(BM_EncodePluRow);

void BM_DecodePluRecord(benchmark::State& state) {
  const auto table = PluTable();
  FillRows(*table);
  std::vector<std::string> records;
  for (const auto& row : table->Rows) records.push_back(table->Interpreter->EncodeRow(row, false));
  for (auto _ : state) {
    for (const auto& record : records) benchmark::DoNotOptimize(table->Interpreter->DecodeRecord(record));
  }
  state.SetItemsProcessed(state.iterations() * SampleRows);
}
BENCHMARK(BM_DecodePluRecord);

}  // namespace
