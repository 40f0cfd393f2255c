// Round trip of a full PLU table (30,000 rows, table 3 layout) through a
// table text file: saved and loaded back, per layout and code page. Both log
// sinks are off, as in a command run without a log.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "model/code_page.h"
#include "model/soubor.h"
#include "model/table_file.h"
#include "transport/communication_log.h"

namespace {

constexpr int PluRows = 30000;

// Number, EAN, name, two prices, nine flags, status byte.
std::unique_ptr<TSoubor> PluTable() {
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
  return table;
}

void FillRows(TSoubor& table) {
  std::mt19937 random(11);
  const std::string name = Utf8ToCp1250("Rohlík tukový č.");
  for (int i = 1; i <= PluRows; ++i) {
    const auto ean = std::to_string(8590000000000ull + random() % 10000000ull);
    table.AddRow(-1, std::to_string(i) + "|" + ean + "|" + name + std::to_string(i % 100) + "|" +
                         std::to_string(random() % 1000000) + "|" + std::to_string(random() % 99999) +
                         "|1|0|2|0|0|1|0|0|9|A5|");
  }
}

std::string BenchFilePath() {
  return (std::filesystem::temp_directory_path() / ("merv-table-file-bench-" + std::to_string(std::random_device()()) + ".txt"))
      .string();
}

void BM_PluTableFileRoundTrip(benchmark::State& state) {
  const int layout = static_cast<int>(state.range(0));
  const int codePage = static_cast<int>(state.range(1));
  PlainLogPath.clear();
  CipheredLogPath.clear();
  const auto source = PluTable();
  FillRows(*source);
  const auto target = PluTable();
  TKeyLayouts keyLayouts;
  const std::string path = BenchFilePath();
  for (auto _ : state) {
    SaveTable(*source, path, codePage, false, keyLayouts, layout);
    LoadTable(*target, path, codePage, keyLayouts, FirstFileColumn(*target), layout);
  }
  if (target->Rows.size() != source->Rows.size()) throw std::logic_error("the round trip lost rows");
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * PluRows);
}

}  // namespace

BENCHMARK(BM_PluTableFileRoundTrip)
    ->ArgNames({"layout", "codepage"})
    ->Args({1, 852})
    ->Args({2, 852})
    ->Args({1, 1250})
    ->Args({2, 1250})
    ->Unit(benchmark::kMillisecond);
