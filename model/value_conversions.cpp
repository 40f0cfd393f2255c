#include "model/value_conversions.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "base/hex_text.h"
#include "model/convert_error.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool IsBlankOrNul(char c) { return c == ' ' || c == '\0'; }

// The 44 letters as (code page 1250, code page 852) pairs:
// Š Ť Ž š ť ž Ľ ľ Ŕ Á Ä Ĺ Č É Ě Í Ď Ň Ó Ô Ö Ř Ů Ú Ü Ý ŕ á ä ĺ č é ě í ď ň ó ô ö ř ů ú ü ý
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 44> RegisterLetters = {{
    {0x8A, 0xE6}, {0x8D, 0x9B}, {0x8E, 0xA6}, {0x9A, 0xE7}, {0x9D, 0x9C}, {0x9E, 0xA7}, {0xBC, 0x95}, {0xBE, 0x96},
    {0xC0, 0xE8}, {0xC1, 0xB5}, {0xC4, 0x8E}, {0xC5, 0x91}, {0xC8, 0xAC}, {0xC9, 0x90}, {0xCC, 0xB7}, {0xCD, 0xD6},
    {0xCF, 0xD2}, {0xD2, 0xD5}, {0xD3, 0xE0}, {0xD4, 0xE2}, {0xD6, 0x99}, {0xD8, 0xFC}, {0xD9, 0xDE}, {0xDA, 0xE9},
    {0xDC, 0x9A}, {0xDD, 0xED}, {0xE0, 0xEA}, {0xE1, 0xA0}, {0xE4, 0x84}, {0xE5, 0x92}, {0xE8, 0x9F}, {0xE9, 0x82},
    {0xEC, 0xD8}, {0xED, 0xA1}, {0xEF, 0xD4}, {0xF2, 0xE5}, {0xF3, 0xA2}, {0xF4, 0x93}, {0xF6, 0x94}, {0xF8, 0xFD},
    {0xF9, 0x85}, {0xFA, 0xA3}, {0xFC, 0x81}, {0xFD, 0xEC},
}};

using ByteMap = std::array<char, 256>;

// Each letter moves to its code in the other page. A byte that is no letter
// of its own page but is a letter's code in the other one would turn into
// that letter and could not come back: a box-drawing character or "°" of a
// code page 852 file would reach the register as a Czech letter. Such a byte
// takes instead the one code no letter lands on, found by following the
// letters back from it, so that each map is a permutation and the two undo
// each other. Every byte that is no letter's code in either page stays.
constexpr ByteMap BuildMap(bool toRegister) {
  std::array<int, 256> letterTo{};
  std::array<int, 256> letterFrom{};
  letterTo.fill(-1);
  letterFrom.fill(-1);
  for (const auto& [cp1250, cp852] : RegisterLetters) {
    const int from = toRegister ? cp1250 : cp852;
    const int to = toRegister ? cp852 : cp1250;
    letterTo[static_cast<std::size_t>(from)] = to;
    letterFrom[static_cast<std::size_t>(to)] = from;
  }
  ByteMap map{};
  for (int i = 0; i < 256; ++i) {
    int target = letterTo[static_cast<std::size_t>(i)];
    if (target < 0) {
      target = i;
      while (letterFrom[static_cast<std::size_t>(target)] >= 0) target = letterFrom[static_cast<std::size_t>(target)];
    }
    map[static_cast<std::size_t>(i)] = static_cast<char>(target);
  }
  return map;
}

constexpr ByteMap ToRegisterMap = BuildMap(true);
constexpr ByteMap FromRegisterMap = BuildMap(false);

std::string MapBytes(std::string_view text, const ByteMap& map) {
  std::string result(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) result[i] = map[static_cast<std::uint8_t>(text[i])];
  return result;
}

}  // namespace

std::int64_t StrToInt64(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  if (pos == text.size()) RaiseInvalidInteger(text);
  // Accumulated as a negative number so that the most negative value fits.
  constexpr auto Min = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) RaiseInvalidInteger(text);
    const int digit = text[pos] - '0';
    if (value < (Min + digit) / 10) RaiseInvalidInteger(text);
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == Min) RaiseInvalidInteger(text);
    value = -value;
  }
  return value;
}

std::int32_t StrToInt(std::string_view text) {
  const auto value = StrToInt64(text);
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    RaiseInvalidInteger(text);
  }
  return static_cast<std::int32_t>(value);
}

std::uint8_t HexDigitValue(char digit) {
  if (IsDigit(digit)) return static_cast<std::uint8_t>(digit - '0');
  if (digit >= 'A' && digit <= 'F') return static_cast<std::uint8_t>(digit - 'A' + 10);
  if (digit >= 'a' && digit <= 'f') return static_cast<std::uint8_t>(digit - 'a' + 10);
  return 0;
}

std::uint8_t HexPairToByte(char high, char low) {
  return static_cast<std::uint8_t>(HexDigitValue(high) << 4 | HexDigitValue(low));
}

std::string TrimLeadingBlanks(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && IsBlankOrNul(text[first])) ++first;
  return std::string(text.substr(first));
}

std::string TrimTrailingBlanks(std::string_view text) {
  std::size_t length = text.size();
  while (length > 0 && IsBlankOrNul(text[length - 1])) --length;
  return std::string(text.substr(0, length));
}

std::string StripLeadingZeros(std::string_view text, std::size_t keep) {
  std::size_t first = 0;
  while (text.size() - first > keep && text[first] == '0') ++first;
  return std::string(text.substr(first));
}

std::int64_t PackedToInteger(std::string_view bytes, bool isSigned) {
  const auto digits = isSigned && !bytes.empty() ? bytes.substr(1) : bytes;
  const bool negative = isSigned && !bytes.empty() && bytes[0] != 0;
  constexpr auto Max = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  bool valid = true;
  for (const char byte : digits) {
    const auto code = static_cast<std::uint8_t>(byte);
    for (const int half : {code >> 4, code & 0x0F}) {
      if (half > 9 || value > (Max - half) / 10) {
        valid = false;
      } else {
        value = value * 10 + half;
      }
    }
  }
  if (!valid) {
    RaiseInvalidInteger(BytesToHex(digits));
  }
  return negative ? -value : value;
}

std::string ThousandthsText(std::string_view integerText) {
  const bool negative = !integerText.empty() && integerText[0] == '-';
  auto digits = std::string(negative ? integerText.substr(1) : integerText);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  digits.insert(digits.size() - 3, 1, '.');
  return negative ? "-" + digits : digits;
}

std::string ToRegisterCharset(std::string_view text) { return MapBytes(text, ToRegisterMap); }

std::string FromRegisterCharset(std::string_view text) { return MapBytes(text, FromRegisterMap); }

std::string EuroToText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (static_cast<std::uint8_t>(c) == 0x80) {
      result += "EUR";
    } else {
      result += c;
    }
  }
  return result;
}

std::string ReplaceByte(std::string_view text, char from, char to) {
  std::string result(text);
  for (char& c : result) {
    if (c == from) c = to;
  }
  return result;
}

std::string FitText(std::string_view text, std::size_t width) {
  std::string result(text.substr(0, width));
  result.resize(width, ' ');
  return result;
}

std::string ZeroPadNumber(std::uint16_t number, int digits) {
  return ZeroPadNumber(static_cast<std::int32_t>(number), digits);
}

std::string ZeroPadNumber(std::int32_t number, int digits) {
  const bool negative = number < 0;
  auto text = std::to_string(negative ? -static_cast<std::int64_t>(number) : static_cast<std::int64_t>(number));
  if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  return negative ? "-" + text : text;
}

bool CellPassesInputCheck(std::uint8_t columnType, std::string_view cell) {
  auto allOf = [](std::string_view text, bool (*test)(char)) {
    for (const char c : text) {
      if (!test(c)) return false;
    }
    return true;
  };
  // Packed fields of unprogrammed register memory (FF FF) decode to their
  // hex digits; such cells load back as they were saved.
  const auto isPackedDigit = [](char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); };
  switch (columnType) {
    case 0:
      return allOf(cell, isPackedDigit);
    case 1:
      return !cell.empty() && allOf(cell, IsDigit);
    case 2: {
      if (cell.size() <= 4) return false;
      const auto point = cell.size() - 4;
      if (cell[point] != '.' || !allOf(cell.substr(point + 1), isPackedDigit)) return false;
      auto whole = cell.substr(0, point);
      if (!whole.empty() && whole[0] == '-') whole.remove_prefix(1);
      return allOf(whole, isPackedDigit);
    }
    case 3:
      return true;
    case 4:
      return allOf(cell, IsHexDigit);
    default:
      return false;
  }
}

namespace {

bool AllDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), IsDigit); }

// "[sign]digits" before the separator and "digits" after it, with at least
// one digit: a price as it is typed. Anything else (a thousands separator,
// letters after the number) is no such price and must not be read as one.
bool IsTypedPrice(std::string_view whole, std::string_view decimals) {
  if (!whole.empty() && (whole.front() == '-' || whole.front() == '+')) whole.remove_prefix(1);
  return AllDigits(whole) && AllDigits(decimals) && whole.size() + decimals.size() > 0;
}

}  // namespace

std::string PriceToRegisterForm(std::uint8_t columnType, std::string_view cell) {
  if (columnType != 0) return std::string(cell);
  auto separator = cell.find('.');
  if (separator == std::string_view::npos) separator = cell.find(',');
  if (separator == std::string_view::npos) return std::string(cell);
  const std::string_view whole = cell.substr(0, separator);
  const std::string_view decimals = cell.substr(separator + 1);
  if (!IsTypedPrice(whole, decimals)) return std::string(cell);
  auto twoDecimals = std::string(decimals.substr(0, 2));
  twoDecimals.resize(2, '0');
  return std::string(whole) + twoDecimals;
}
