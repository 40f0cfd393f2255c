// Journal files as the module probes and reads them, plain and enciphered.
#include <cstdint>

#include "base/data_stream.h"
#include "base/kom_error.h"
#include "fuzz_input.h"
#include "journal/journal_file.h"

namespace {

const TFuzzScratchFile JournalFile("merv_journal_fuzz");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const bool enciphered = input.Byte() & 1;
  const std::string& path = JournalFile.Hold(input.Rest());
  TJournalFile::Probe(path);
  try {
    TJournalFile::Read(path, enciphered).PlainText();
  } catch (const EKomError&) {
    // A missing, damaged or wrongly enciphered journal is refused with #53 or #54.
  } catch (const EDataStreamReadError&) {
    // A journal that ends early or cannot be read part-way (55 when printing).
  }
  return 0;
}
