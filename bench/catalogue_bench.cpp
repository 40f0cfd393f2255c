// What every command does before it talks to the register: the model
// catalogue built with its tables, both description passes over the shipped
// blocks, the model layout and the model options.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "model/catalogue_builder.h"
#include "model/description_reader.h"
#include "model/model_layout.h"
#include "model/soubory.h"

namespace {

void BM_BuildCatalogueForModel(benchmark::State& state, std::string model) {
  for (auto _ : state) {
    auto catalogue = BuildCatalogue(model);
    benchmark::DoNotOptimize(catalogue.get());
  }
}

BENCHMARK_CAPTURE(BM_BuildCatalogueForModel, ECR465, std::string(ModelName::Ecr465))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildCatalogueForModel, CM840, std::string(ModelName::Cm840))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildCatalogueForModel, NoModel, std::string())->Unit(benchmark::kMillisecond);

// The parts: creating the empty catalogue, and one description pass.
void BM_CreateCatalogue(benchmark::State& state) {
  for (auto _ : state) {
    TSoubory catalogue;
    benchmark::DoNotOptimize(&catalogue);
  }
}
BENCHMARK(BM_CreateCatalogue)->Unit(benchmark::kMicrosecond);

void BM_ReadDescriptionsOnce(benchmark::State& state) {
  TSoubory catalogue;
  catalogue.CommandLineMode = true;
  for (auto _ : state) {
    ReadDescriptions(catalogue);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ReadDescriptionsOnce)->Unit(benchmark::kMicrosecond);

}  // namespace
