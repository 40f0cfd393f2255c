// The comparison of "Dnn" and "Wnn /VERIFY" alone: a full PLU table (30,000
// rows, table 3 layout) as a file holds it against the register's rows, one
// price changed, one row only in the register, one only in the file. The
// read of the table is not in it: the comparison must add at most 50 ms to
// the read.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <vector>

#include "bench/plu_sample.h"
#include "model/table_comparison.h"

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

}  // namespace

BENCHMARK(BM_ComparePluTable)->Unit(benchmark::kMillisecond);
