#include "base/hex_text.h"

namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";

}  // namespace

std::string ByteToHex(std::uint8_t byte) { return {HexDigits[byte >> 4], HexDigits[byte & 0x0F]}; }

std::string BytesToHex(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char byte : bytes) text.append(ByteToHex(static_cast<std::uint8_t>(byte)));
  return text;
}

std::string HexDump(std::string_view bytes) {
  std::string dump;
  dump.reserve(bytes.size() * 3);
  for (const char byte : bytes) dump.append(ByteToHex(static_cast<std::uint8_t>(byte))).push_back(' ');
  return dump;
}
