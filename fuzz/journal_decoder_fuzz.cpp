// Journal records as the decoder turns them into lines, for every model:
// either 20 bytes written as capital hexadecimal digits, or any text.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "journal/journal_decoder.h"

namespace {

constexpr std::size_t RecordBytes = 20;

std::string CapitalHex(std::string_view bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::size_t i = 0; i < RecordBytes; ++i) {
    const auto byte = i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
    hex += Digits[byte >> 4];
    hex += Digits[byte & 0x0F];
  }
  return hex;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const std::uint8_t choices = input.Byte();
  const TJournalDecoder decoder(FuzzCatalogue(input.Byte()));
  const std::string record = (choices & 1) ? std::string(input.Rest()) : CapitalHex(input.Rest());
  decoder.Decode(record, (choices & 2) != 0);
  return 0;
}
