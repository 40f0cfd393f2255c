// Throughput of the column interpreter on PLU records (table 3 layout): rows
// encoded to raw records and raw records decoded to rows, per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/plu_sample.h"
#include "model/soubor.h"
#include "model/tlumocnik_sloupce.h"

namespace {

constexpr int SampleRows = 1024;

void BM_EncodePluRow(benchmark::State& state) {
  const auto table = SamplePluTable();
  FillSamplePluRows(*table, SampleRows, 7);
  for (auto _ : state) {
    for (const auto& row : table->Rows) benchmark::DoNotOptimize(table->Interpreter->EncodeRow(row, false));
  }
  state.SetItemsProcessed(state.iterations() * SampleRows);
}
BENCHMARK(BM_EncodePluRow);

void BM_DecodePluRecord(benchmark::State& state) {
  const auto table = SamplePluTable();
  FillSamplePluRows(*table, SampleRows, 7);
  std::vector<std::string> records;
  for (const auto& row : table->Rows) records.push_back(table->Interpreter->EncodeRow(row, false));
  for (auto _ : state) {
    for (const auto& record : records) benchmark::DoNotOptimize(table->Interpreter->DecodeRecord(record));
  }
  state.SetItemsProcessed(state.iterations() * SampleRows);
}
BENCHMARK(BM_DecodePluRecord);

}  // namespace
