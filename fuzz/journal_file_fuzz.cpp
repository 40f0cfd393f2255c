// Journal files as the module probes and reads them, plain and enciphered.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "journal/journal_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/merv_journal_fuzz_" + std::to_string(getpid()) + ".txt";
  TFuzzInput input(data, size);
  const bool enciphered = input.Byte() & 1;
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(input.Rest().data(), static_cast<std::streamsize>(input.Rest().size()));
  }
  TJournalFile::Probe(path);
  try {
    TJournalFile::Read(path, enciphered).PlainText();
  } catch (const EKomError&) {
    // A missing, damaged or wrongly enciphered journal is refused with #53 or #54.
  }
  std::remove(path.c_str());
  return 0;
}
