// Speed of the enciphered communication log: whole LogLine calls appending to
// a file, and the parts of a call on their own.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "base/ciphered_log_line.h"
#include "base/communication_log.h"
#include "base/run_context.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

// A typical port line: a short message and a record of 16 bytes.
const std::string Message = "write: ";
const std::string Record("\x02\x31\x30\x33\x00\x01\x15\x45\x9F\xA0\xFF\x10\x20\x30\x40\x03", 16);

std::filesystem::path BenchLogPath() {
  return std::filesystem::temp_directory_path() / ("merv-bench-" + std::to_string(getpid()) + "-KL.log");
}

void EncipheredLogLine(benchmark::State& state) {
  const auto path = BenchLogPath();
  {
    TCommunicationLog log;
    const TRunContext run({}, log);
    log.CipheredPath = path.string();
    for (auto _ : state) LogLine(Message, Record);
    state.SetItemsProcessed(state.iterations());
  }
  std::filesystem::remove(path);
}
BENCHMARK(EncipheredLogLine);

void EncipherOneLineWithTheKeptCipher(benchmark::State& state) {
  const std::string text = BuildLogText("08.12.2025 18:24:00", Message, Record);
  TTextCipher cipher(TextCipherKey);
  for (auto _ : state) benchmark::DoNotOptimize(EncipherLogLine(text, cipher));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EncipherOneLineWithTheKeptCipher);

// What each line would cost if the cipher were keyed anew for it.
void EncipherOneLineKeyingAnew(benchmark::State& state) {
  const std::string text = BuildLogText("08.12.2025 18:24:00", Message, Record);
  for (auto _ : state) {
    TTextCipher cipher(TextCipherKey);
    benchmark::DoNotOptimize(EncipherLogLine(text, cipher));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EncipherOneLineKeyingAnew);

}  // namespace
