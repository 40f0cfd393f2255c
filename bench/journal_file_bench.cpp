// The journal save and read-back for a journal of 100,000 records, beside
// the floor of the save: the save decodes every record, writes the
// enciphered file with its doubled lines, forces it to the disk and renames
// it into place; the read checks every line against its copy; the cipher
// chain alone enciphers the file's text bytes in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/model_list.h"
#include "model/catalogue_builder.h"
#include "app/journal_activities.h"
#include "base/process_values.h"
#include "journal/journal_file.h"
#include "journal/journal_format.h"
#include "base/data_stream.h"
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
  std::snprintf(digits, sizeof digits, "01%08d%010d%08d%010d", receipt % 100000000, (index * 7919) % 1000000000,
                receipt % 10000000, index % 1000000);
  return codes[index % 8] + std::string(digits);  // 40 digits, as every record a register sends
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

// The texts of a file as the cipher handles them, one after another: every
// data line twice, markers once.
std::string TextBytesOf(const std::string& path) {
  TDataStream stream(path, true);
  stream.OpenRead();
  std::string bytes;
  for (std::string text; text != JournalFormat::EndMarker;) {
    text = stream.ReadString();
    bytes += text;
  }
  return bytes;
}

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void SaveOnce(const TSoubory& catalogue, const CommandParameters& parameters) {
  std::filesystem::remove(parameters.JournalFile);
  // The download already happened: the table holds the records.
  SaveJournal(catalogue, parameters, false, [](const TTransferRequest&) { return TTransferOutcome{}; });
  if (!std::filesystem::exists(parameters.JournalFile)) throw std::runtime_error("journal not saved");
}

// The save, the read and the cipher chain alone over the file's text bytes,
// in turn in every iteration, so that all three meet the same load of the
// machine. The save cannot be faster than the chain: each byte's cipher
// waits for the one before. Counters: the medians in seconds, and the
// medians of each iteration's ratio to the chain.
void BM_SaveReadAndChain(benchmark::State& state) {
  const auto catalogue = CatalogueWithJournal();
  CommandParameters parameters;
  parameters.JournalFile = (Folder() / "save.zur").string();
  SaveOnce(*catalogue, parameters);
  const std::string textBytes = TextBytesOf(parameters.JournalFile);
  std::vector<double> saves, reads, chains, savePerChain, readPerChain;
  for (auto _ : state) {
    std::string bytes = textBytes;
    TTextCipher cipher(TextCipherKey);
    chains.push_back(SecondsOf([&] { cipher.EncryptBytes(bytes); }));
    benchmark::DoNotOptimize(bytes.data());
    saves.push_back(SecondsOf([&] { SaveOnce(*catalogue, parameters); }));
    reads.push_back(SecondsOf([&] {
      const TJournalFile file = TJournalFile::Read(parameters.JournalFile, true);
      if (file.Entries.size() != JournalRecords) state.SkipWithError("records lost");
    }));
    savePerChain.push_back(saves.back() / chains.back());
    readPerChain.push_back(reads.back() / chains.back());
  }
  state.counters["save_s"] = Median(saves);
  state.counters["read_s"] = Median(reads);
  state.counters["chain_s"] = Median(chains);
  state.counters["save/chain"] = Median(savePerChain);
  state.counters["read/chain"] = Median(readPerChain);
  state.counters["text_MB"] = static_cast<double>(textBytes.size()) / 1e6;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(parameters.JournalFile)) / 1e6;
  std::filesystem::remove(parameters.JournalFile);
}
BENCHMARK(BM_SaveReadAndChain)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

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
