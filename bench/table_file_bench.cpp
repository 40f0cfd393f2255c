// Round trip of a full PLU table (30,000 rows, table 3 layout) through a
// table text file: saved and loaded back, per layout and code page. Both log
// sinks are off, as in a command run without a log.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/communication_log.h"
#include "bench/plu_sample.h"
#include "model/soubor.h"
#include "model/table_file.h"

namespace {

constexpr int PluRows = 30000;

std::string BenchFilePath() {
  return (std::filesystem::temp_directory_path() /
          ("merv-table-file-bench-" + std::to_string(std::random_device()()) + ".txt"))
      .string();
}

void BM_PluTableFileRoundTrip(benchmark::State& state) {
  const int layout = static_cast<int>(state.range(0));
  const int codePage = static_cast<int>(state.range(1));
  const auto source = SamplePluTable();
  FillSamplePluRows(*source, PluRows, 11);
  const auto target = SamplePluTable();
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
