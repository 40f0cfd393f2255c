#include "base/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

constexpr std::string_view Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
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

void AppendDecodedBase64(std::string_view text, std::string& bytes) {
  if (text.size() % 4 != 0) RejectBase64("length is not a multiple of four");
  bytes.reserve(bytes.size() + text.size() / 4 * 3);
  for (std::size_t pos = 0; pos < text.size(); pos += 4) {
    const bool isLast = pos + 4 == text.size();
    // A full quantum of four alphabet characters needs no padding checks;
    // anything else takes the careful way, which names what is wrong.
    const int first = DecodeTable[static_cast<std::uint8_t>(text[pos])];
    const int second = DecodeTable[static_cast<std::uint8_t>(text[pos + 1])];
    const int third = DecodeTable[static_cast<std::uint8_t>(text[pos + 2])];
    const int fourth = DecodeTable[static_cast<std::uint8_t>(text[pos + 3])];
    if (!isLast && (first | second | third | fourth) >= 0) {
      const auto group = static_cast<std::uint32_t>(first << 18 | second << 12 | third << 6 | fourth);
      bytes += static_cast<char>(group >> 16);
      bytes += static_cast<char>((group >> 8) & 0xFF);
      bytes += static_cast<char>(group & 0xFF);
      continue;
    }
    const std::size_t padding = PaddingOfQuantum(text, pos, isLast);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      group = (group << 6) | (i < 4 - padding ? SextetAt(text, pos + i) : 0);
    }
    const std::size_t count = 3 - padding;
    if (padding > 0 && (group & ((1u << (8 * padding)) - 1)) != 0) RejectBase64("unused bits are not zero");
    for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>((group >> (16 - 8 * i)) & 0xFF);
  }
}
