#include "base/hex_text.h"

namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";

// Writes the two digits of every byte into `text`, sized beforehand to
// `step` characters a byte (the rest of each step left as it is): these run
// for every byte of every record decoded and every frame logged.
void PutDigits(std::string& text, std::string_view bytes, std::size_t step) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto value = static_cast<std::uint8_t>(bytes[i]);
    text[i * step] = HexDigits[value >> 4];
    text[i * step + 1] = HexDigits[value & 0x0F];
  }
}

}  // namespace

std::string ByteToHex(std::uint8_t byte) { return {HexDigits[byte >> 4], HexDigits[byte & 0x0F]}; }

std::string BytesToHex(std::string_view bytes) {
  std::string text(bytes.size() * 2, ' ');
  PutDigits(text, bytes, 2);
  return text;
}

std::string HexDump(std::string_view bytes) {
  std::string dump(bytes.size() * 3, ' ');
  PutDigits(dump, bytes, 3);
  return dump;
}
