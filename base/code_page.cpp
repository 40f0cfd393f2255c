#include "base/code_page.h"

#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>

namespace {

constexpr char32_t Undefined = 0xFFFD;

// Unicode code points of the bytes 80h to FFh; 00h to 7Fh are ASCII.
constexpr std::array<char32_t, 128> HighHalf = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,  // 80h
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88h
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90h
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98h
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0h
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8h
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0h
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8h
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0h
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8h
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0h
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8h
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0h
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8h
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0h
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8h
};

const std::unordered_map<char32_t, char>& ReverseTable() {
  static const auto table = [] {
    std::unordered_map<char32_t, char> map;
    for (std::size_t i = 0; i < HighHalf.size(); ++i) {
      if (HighHalf[i] != Undefined) map.emplace(HighHalf[i], static_cast<char>(0x80 + i));
    }
    return map;
  }();
  return table;
}

// Decodes one UTF-8 sequence at `pos`, advancing it; Undefined when malformed.
// Overlong forms count as malformed, so that no disguised ASCII byte (an
// overlong quote or NUL) slips through.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(text[pos++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return Undefined;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size()) return Undefined;
    const auto next = static_cast<std::uint8_t>(text[pos]);
    if ((next & 0xC0) != 0x80) return Undefined;
    cp = (cp << 6) | (next & 0x3F);
    ++pos;
  }
  constexpr char32_t SmallestOfLength[] = {0, 0x80, 0x800, 0x10000};
  if (cp < SmallestOfLength[extra]) return Undefined;
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = NextCodePoint(utf8, pos);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    const auto& reverse = ReverseTable();
    const auto found = reverse.find(cp);
    out += found == reverse.end() ? '?' : found->second;
  }
  return out;
}

namespace {

// Looks texts up by a string_view without making a string of it.
struct TTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

}  // namespace

const std::string& KeptUtf8ToCp1250(std::string_view utf8) {
  thread_local std::unordered_map<std::string, std::string, TTextHash, std::equal_to<>> kept;
  auto found = kept.find(utf8);
  if (found == kept.end()) found = kept.emplace(std::string(utf8), Utf8ToCp1250(utf8)).first;
  return found->second;
}

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() * 2);
  for (const char c : cp1250) {
    const auto byte = static_cast<std::uint8_t>(c);
    AppendUtf8(out, byte < 0x80 ? char32_t{byte} : HighHalf[byte - 0x80]);
  }
  return out;
}
