// Decoding a day's electronic journal: 100,000 records of receipts (sale
// start, PLU and department sales, VAT, total, payment, receipt number) and
// a few register events, decoded with names off and with names on against
// name tables of 30,000 PLU and as many long names.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "journal/journal_decoder.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"

namespace {

constexpr int JournalRecords = 100'000;
constexpr int PluCount = 30'000;

std::string Digits(std::uint64_t value, int count) {
  std::string text(static_cast<std::size_t>(count), '0');
  for (int i = count - 1; i >= 0 && value > 0; --i, value /= 10)
    text[static_cast<std::size_t>(i)] = char('0' + value % 10);
  return text;
}

std::int64_t PluCode(int number) { return 8'590'000'000'000 + number; }

// Receipts written until the journal holds `count` records.
std::vector<std::string> SampleJournal(int count) {
  std::mt19937 random(12);
  std::vector<std::string> records;
  const std::string stamp = "261209001530";
  const std::string blank(40, '0');
  auto record = [&](std::string head) {
    head.resize(40, '0');
    records.push_back(head);
  };
  for (int receipt = 1; static_cast<int>(records.size()) < count; ++receipt) {
    const std::string op = Digits(1 + random() % 4, 2);
    record("40" + op + "0000" + Digits(static_cast<std::uint64_t>(receipt), 8) + "000000" + stamp);
    const int lines = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < lines; ++i) {
      const std::string amount = "00" + Digits(random() % 100000, 12);
      record("05" + amount + "00001000" + Digits(static_cast<std::uint64_t>(PluCode(1 + random() % PluCount)), 14) +
             "02");
    }
    record("01" + std::string("00") + Digits(random() % 100000, 12) + "0302");
    record("10" + std::string("00") + Digits(random() % 100000, 12) + "00" + Digits(random() % 10000, 12) + "02");
    record("20" + std::string("00") + Digits(random() % 100000, 12));
    record("21" + std::string("00") + Digits(random() % 100000, 12) + "01");
    record("41" + op + "0123" + Digits(static_cast<std::uint64_t>(receipt), 8) + "0000000000" + "00" +
           Digits(random() % 100000, 12));
    if (receipt % 50 == 0) record("30" + stamp + op);
  }
  records.resize(static_cast<std::size_t>(count));
  return records;
}

std::unique_ptr<TSoubory> NamedCatalogue() {
  auto catalogue = BuildCatalogue("ECR 465T/465TF");
  for (int number = 1; number <= PluCount; ++number) {
    const std::string code = std::to_string(PluCode(number));
    catalogue->JournalPlu().AddRow(-1, std::to_string(number) + "|" + code + "|PLU " + std::to_string(number) + "|");
    catalogue->JournalLongNames().AddRow(-1, std::to_string(number) + "|" + code + "|Long name of PLU " +
                                                 std::to_string(number) + "|");
  }
  for (int number = 1; number <= 10; ++number) {
    catalogue->JournalDepartments().AddRow(-1, std::to_string(number) + "|Department|");
    catalogue->JournalOperators().AddRow(-1, std::to_string(number) + "|Operator|");
    catalogue->JournalPayments().AddRow(-1, std::to_string(number) + "|Payment|");
  }
  catalogue->JournalVat().AddRow(-1, "1|2100|1|");
  catalogue->JournalVat().AddRow(-1, "2|1200|1|");
  return catalogue;
}

void DecodeJournal(benchmark::State& state, bool namesOn) {
  const auto catalogue = NamedCatalogue();
  const auto journal = SampleJournal(JournalRecords);
  const TJournalDecoder decoder(*catalogue);
  for (auto _ : state) {
    for (const auto& record : journal) benchmark::DoNotOptimize(decoder.Decode(record, namesOn));
  }
  state.SetItemsProcessed(state.iterations() * JournalRecords);
}

void BM_DecodeJournalNamesOff(benchmark::State& state) { DecodeJournal(state, false); }
void BM_DecodeJournalNamesOn(benchmark::State& state) { DecodeJournal(state, true); }
BENCHMARK(BM_DecodeJournalNamesOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJournalNamesOn)->Unit(benchmark::kMillisecond);

}  // namespace
