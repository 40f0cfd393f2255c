#include "base/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char Padding = '=';
constexpr std::int8_t NotInAlphabet = -1;

constexpr std::array<std::int8_t, 256> BuildDecodeTable() {
  std::array<std::int8_t, 256> table{};
  table.fill(NotInAlphabet);
  for (std::size_t i = 0; i < Alphabet.size(); ++i) {
    table[static_cast<std::uint8_t>(Alphabet[i])] = static_cast<std::int8_t>(i);
  }
  return table;
}

constexpr std::array<std::int8_t, 256> DecodeTable = BuildDecodeTable();

[[noreturn]] void RejectBase64(std::string_view reason) {
  throw std::invalid_argument("malformed Base64: " + std::string(reason));
}

std::uint32_t SextetAt(std::string_view text, std::size_t pos) {
  const std::int8_t value = DecodeTable[static_cast<std::uint8_t>(text[pos])];
  if (value == NotInAlphabet) RejectBase64("character outside the alphabet at " + std::to_string(pos));
  return static_cast<std::uint32_t>(value);
}

// Number of padding characters closing the quantum that starts at `pos`.
std::size_t PaddingOfQuantum(std::string_view text, std::size_t pos, bool isLast) {
  const std::string_view quantum = text.substr(pos, 4);
  std::size_t padding = 0;
  if (quantum[3] == Padding) padding = quantum[2] == Padding ? 2 : 1;
  const std::size_t firstPad = quantum.find(Padding);
  if (firstPad != std::string_view::npos && firstPad != 4 - padding) RejectBase64("misplaced padding");
  if (padding > 0 && !isLast) RejectBase64("padding before the end");
  return padding;
}

constexpr std::size_t NotQuick = 4;

// Decodes one quantum of four alphabet characters, or a last one padded as
// a canonical encoder pads it, into `out`; the count of bytes, or NotQuick
// for anything else.
std::size_t QuickQuantum(std::string_view quantum, bool isLast, char* out) {
  const std::size_t padding = isLast && quantum[3] == Padding ? (quantum[2] == Padding ? 2 : 1) : 0;
  const int first = DecodeTable[static_cast<std::uint8_t>(quantum[0])];
  const int second = DecodeTable[static_cast<std::uint8_t>(quantum[1])];
  const int third = padding == 2 ? 0 : DecodeTable[static_cast<std::uint8_t>(quantum[2])];
  const int fourth = padding > 0 ? 0 : DecodeTable[static_cast<std::uint8_t>(quantum[3])];
  if ((first | second | third | fourth) < 0) return NotQuick;
  const auto group = static_cast<std::uint32_t>(first << 18 | second << 12 | third << 6 | fourth);
  if (padding > 0 && (group & ((1u << (8 * padding)) - 1)) != 0) return NotQuick;
  out[0] = static_cast<char>(group >> 16);
  out[1] = static_cast<char>((group >> 8) & 0xFF);
  out[2] = static_cast<char>(group & 0xFF);
  return 3 - padding;
}

// Names what is wrong with a quantum that the quick way refused.
[[noreturn]] void RejectQuantum(std::string_view text, std::size_t pos, bool isLast) {
  const std::size_t padding = PaddingOfQuantum(text, pos, isLast);
  for (std::size_t i = 0; i < 4 - padding; ++i) SextetAt(text, pos + i);
  RejectBase64("unused bits are not zero");
}

// Decodes every quantum of `text` into `out`: the count of bytes. Throws at
// the first malformed quantum.
std::size_t DecodeQuanta(std::string_view text, char* out) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += 4) {
    const bool isLast = pos + 4 == text.size();
    const std::size_t quantum = QuickQuantum(text.substr(pos, 4), isLast, out + count);
    if (quantum == NotQuick) RejectQuantum(text, pos, isLast);
    count += quantum;
  }
  return count;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  std::string text;
  AppendEncodedBase64(bytes, text);
  return text;
}

void AppendEncodedBase64(std::string_view bytes, std::string& text) {
  text.reserve(text.size() + (bytes.size() + 2) / 3 * 4);
  for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - pos);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      const std::uint32_t byte = i < count ? static_cast<std::uint8_t>(bytes[pos + i]) : 0;
      group = (group << 8) | byte;
    }
    for (std::size_t i = 0; i < 4; ++i) {
      text += i <= count ? Alphabet[(group >> (18 - 6 * i)) & 0x3F] : Padding;
    }
  }
}

std::string DecodeBase64(std::string_view text) {
  std::string bytes;
  AppendDecodedBase64(text, bytes);
  return bytes;
}

// A short text (the ten-byte pieces of enciphered files) is decoded on the
// stack and appended once; a long one straight into the grown string.
void AppendDecodedBase64(std::string_view text, std::string& bytes) {
  if (text.size() % 4 != 0) RejectBase64("length is not a multiple of four");
  constexpr std::size_t ShortText = 64;
  if (text.size() <= ShortText) {
    char decoded[ShortText / 4 * 3];
    bytes.append(decoded, DecodeQuanta(text, decoded));
    return;
  }
  const std::size_t size = bytes.size();
  bytes.resize(size + text.size() / 4 * 3);
  try {
    bytes.resize(size + DecodeQuanta(text, bytes.data() + size));
  } catch (const std::invalid_argument&) {
    bytes.resize(size);
    throw;
  }
}
