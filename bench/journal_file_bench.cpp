// The journal save and read-back for a journal of 100,000 records: the save
// decodes every record, writes the enciphered file with its doubled lines,
// forces it to the disk and renames it into place; the read checks every
// line against its copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "model/model_list.h"
#include "model/catalogue_builder.h"
#include "app/journal_activities.h"
#include "base/process_values.h"
#include "journal/journal_file.h"
#include "model/soubory.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

constexpr int JournalRecords = 100000;

// One receipt of eight records: sale, three PLU lines, VAT, total, payment,
// receipt end; packed-decimal fields varying with the receipt number.
std::string Record(int index) {
  static const char* const codes[] = {"40", "05", "05", "05", "10", "20", "21", "80"};
  const int receipt = index / 8;
  char digits[40];
  std::snprintf(digits, sizeof digits, "01%08d%010d%08d%06d", receipt % 100000000, (index * 7919) % 1000000000,
                receipt % 10000000, index % 1000000);
  return codes[index % 8] + std::string(digits).substr(0, 38);
}

std::unique_ptr<TSoubory> CatalogueWithJournal() {
  auto catalogue = BuildCatalogue(ModelNameOfCode("465"));
  TSoubor& journal = *catalogue->Table(87);
  for (int i = 0; i < JournalRecords; ++i) {
    journal.AddRow(-1, std::to_string(i + 1) + "|" + Record(i) + "|" + std::to_string(i + 1) + "|");
  }
  catalogue->Table(31)->AddRow(-1, "1|OBCHOD U NADRAZI|");
  return catalogue;
}

std::filesystem::path Folder() {
  const auto folder = std::filesystem::temp_directory_path() / "merv_journal_bench";
  std::filesystem::create_directories(folder);
  return folder;
}

// The bytes the cipher handles for a file: every data line twice, markers once.
std::size_t TextBytes(const TJournalFile& file) {
  std::size_t bytes = 0;
  for (const auto& line : file.HeaderLines) bytes += 2 * line.size();
  for (const auto& entry : file.Entries) {
    bytes += 2 * (entry.Record.size() + entry.Lines.Main.size() + entry.Lines.Second.size() + entry.Lines.Third.size());
    if (!entry.Lines.Second.empty()) bytes += 6;
    if (!entry.Lines.Third.empty()) bytes += 5;
  }
  return bytes;
}

void BM_SaveJournal(benchmark::State& state) {
  const auto catalogue = CatalogueWithJournal();
  CommandParameters parameters;
  parameters.JournalFile = (Folder() / "save.zur").string();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(parameters.JournalFile);
    ErrorCode = 0;
    state.ResumeTiming();
    // The download already happened: the table holds the records.
    SaveJournal(*catalogue, parameters, false, [](const TTransferRequest&) {});
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(parameters.JournalFile));
  state.SetItemsProcessed(state.iterations() * JournalRecords);
  std::filesystem::remove(parameters.JournalFile);
}
BENCHMARK(BM_SaveJournal)->Unit(benchmark::kMillisecond);

void BM_ReadJournal(benchmark::State& state) {
  const auto catalogue = CatalogueWithJournal();
  CommandParameters parameters;
  parameters.JournalFile = (Folder() / "read.zur").string();
  std::filesystem::remove(parameters.JournalFile);
  ErrorCode = 0;
  SaveJournal(*catalogue, parameters, false, [](const TTransferRequest&) {});
  std::size_t textBytes = 0;
  for (auto _ : state) {
    const TJournalFile file = TJournalFile::Read(parameters.JournalFile, true);
    if (file.Entries.size() != JournalRecords) state.SkipWithError("records lost");
    textBytes = TextBytes(file);
  }
  state.counters["text_bytes"] = static_cast<double>(textBytes);
  state.SetItemsProcessed(state.iterations() * JournalRecords);
  std::filesystem::remove(parameters.JournalFile);
}
BENCHMARK(BM_ReadJournal)->Unit(benchmark::kMillisecond);

// The floor of both directions: the cipher alone over ten-byte pieces (one
// Blowfish block per byte in its 8-bit feedback mode), in bytes per second.
void BM_TextCipherPieces(benchmark::State& state) {
  TTextCipher cipher(TextCipherKey);
  const std::string piece = "0123456789";
  constexpr int Pieces = 10000;
  for (auto _ : state) {
    for (int i = 0; i < Pieces; ++i) benchmark::DoNotOptimize(cipher.EncryptString(piece));
  }
  state.SetBytesProcessed(state.iterations() * Pieces * static_cast<std::int64_t>(piece.size()));
}
BENCHMARK(BM_TextCipherPieces);

}  // namespace
