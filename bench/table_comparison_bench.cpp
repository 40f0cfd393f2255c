// The comparison of "Dnn" and "Wnn /VERIFY" alone: a full PLU table (30,000
// rows, table 3 layout) as a file holds it against the register's rows, one
// price changed, one row only in the register, one only in the file. The
// read of the table is not in it: the comparison must add at most 50 ms to
// the read.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/communication_log.h"
#include "bench/plu_sample.h"
#include "model/table_comparison.h"
#include "model/table_file.h"

namespace {

constexpr int PluRows = 30000;

void BM_ComparePluTable(benchmark::State& state) {
  const auto table = SamplePluTable();
  table->KeyColumn = 1;
  FillSamplePluRows(*table, PluRows, 11);
  std::vector<TRadek> fileRows = table->Rows;
  std::vector<TRadek> registerRows = table->Rows;
  registerRows[100].SetCell(3, "999999");
  registerRows.erase(registerRows.begin() + 200);
  fileRows.erase(fileRows.begin() + 300);
  std::size_t lines = 0;
  for (auto _ : state) {
    const auto differences = CompareTableRows(*table, fileRows, registerRows);
    lines = differences.size();
    benchmark::DoNotOptimize(differences.data());
  }
  if (lines != 3) throw std::logic_error("the comparison did not find the three differences");
  state.SetItemsProcessed(state.iterations() * PluRows);
}

// What "D03" does besides the read that "R03" does too: the file loaded
// (layout 1, code page 852) and compared with the rows read. ("R03" writes
// the whole file where "D03" writes only the differences.)
void BM_LoadAndComparePluFile(benchmark::State& state) {
  const auto held = SamplePluTable();
  held->KeyColumn = 1;
  FillSamplePluRows(*held, PluRows, 11);
  TKeyLayouts keyLayouts;
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("merv-comparison-bench-" + std::to_string(std::random_device()()) + ".txt"))
                               .string();
  SaveTable(*held, path, 852, false, keyLayouts, 1);
  const auto file = SamplePluTable();
  file->KeyColumn = 1;
  std::size_t lines = 1;
  for (auto _ : state) {
    LoadTable(*file, path, 852, keyLayouts, FirstFileColumn(*file), 1);
    lines = CompareTableRows(*held, file->Rows, held->Rows).size();
  }
  std::filesystem::remove(path);
  if (lines != 0) throw std::logic_error("the file read back differs from the rows saved");
  state.SetItemsProcessed(state.iterations() * PluRows);
}

}  // namespace

BENCHMARK(BM_ComparePluTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndComparePluFile)->Unit(benchmark::kMillisecond);
