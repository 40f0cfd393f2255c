#include "model/tlumocnik_sloupce.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

#include "base/communication_log.h"
#include "base/hex_text.h"
#include "base/localized_texts.h"
#include "model/check_bytes.h"
#include "model/convert_error.h"
#include "model/radek.h"
#include "model/soubor.h"
#include "model/value_conversions.h"

namespace {

constexpr char RegisterCaret = '\xFF';

bool IsPackedDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::size_t WidthOf(const TSloupec& column) { return column.Width > 0 ? static_cast<std::size_t>(column.Width) : 0; }

// Packs 2w digit characters, the first `pad` of them implied zeros, into w bytes.
void AppendPackedDigits(std::string_view digits, std::size_t width, std::string& record) {
  const std::size_t pad = 2 * width - digits.size();
  auto digitAt = [&](std::size_t i) -> char { return i < pad ? '0' : digits[i - pad]; };
  for (std::size_t i = 0; i < 2 * width; i += 2) record += static_cast<char>(HexPairToByte(digitAt(i), digitAt(i + 1)));
}

std::string_view WithoutLeadingZeros(std::string_view text) {
  const auto first = text.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

void EncodePacked(std::string_view cell, std::size_t width, std::string& record) {
  AppendPackedDigits(WithoutLeadingZeros(cell).substr(0, 2 * width), width, record);
}

void EncodeHex(std::string_view cell, std::size_t width, std::string& record) {
  AppendPackedDigits(cell.substr(0, 2 * width), width, record);
}

void EncodeBinary(std::int64_t value, std::size_t width, std::string& record) {
  const auto bits = static_cast<std::uint64_t>(value);
  const char extension = value < 0 ? '\xFF' : '\0';
  for (std::size_t i = 0; i < width; ++i) record += i < 8 ? static_cast<char>(bits >> (8 * i) & 0xFF) : extension;
}

// The digits a thousandths cell puts into its field: every packed digit after
// the leading zeros, without sign and point.
std::string ThousandthsDigits(std::string_view cell) {
  std::string digits;
  for (const char c : cell) {
    if (IsPackedDigit(c) && (c != '0' || !digits.empty())) digits += c;
  }
  return digits;
}

// Digits a thousandths field holds: all its half-bytes but the sign.
std::size_t ThousandthsDigitRoom(std::size_t width) { return width > 0 ? 2 * width - 1 : 0; }

void EncodeThousandths(std::string_view cell, std::size_t width, std::string& record) {
  const bool negative = !cell.empty() && cell.front() == '-';
  std::string digits = ThousandthsDigits(cell);
  if (digits.size() > ThousandthsDigitRoom(width)) {
    throw EConvertError("'" + std::string(cell) + "' has more than " + std::to_string(ThousandthsDigitRoom(width)) +
                        " digits");
  }
  digits.insert(0, 2 * width - digits.size(), '0');
  if (negative && !digits.empty()) digits[0] = '8';
  AppendPackedDigits(digits, width, record);
}

void EncodeText(std::string_view cell, std::size_t width, std::string& record) {
  std::string text(cell.substr(0, width));
  std::replace(text.begin(), text.end(), '^', RegisterCaret);
  text.resize(width, ' ');
  record += ToRegisterCharset(text);
}

// The digits of packed bytes. A half-byte above 9 (unprogrammed memory holds
// FF) is shown as its hex digit: a programming table keeps every record, and
// writing the row back restores the same bytes.
std::string PackedDigits(std::string_view bytes) { return BytesToHex(bytes); }

void DecodePacked(std::string_view bytes, std::string& text) {
  const auto digits = PackedDigits(bytes);
  const auto significant = WithoutLeadingZeros(digits);
  if (significant.empty()) {
    text += '0';
  } else {
    text += significant;
  }
}

// Little-endian unsigned bytes of any length in decimal.
std::string UnsignedDecimal(std::string_view bytes) {
  if (bytes.size() <= 8) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
    return std::to_string(value);
  }
  std::vector<std::uint8_t> number(bytes.begin(), bytes.end());
  std::string reversed;
  while (std::any_of(number.begin(), number.end(), [](std::uint8_t b) { return b != 0; })) {
    unsigned remainder = 0;
    for (std::size_t i = number.size(); i-- > 0;) {
      const unsigned current = remainder << 8 | number[i];
      number[i] = static_cast<std::uint8_t>(current / 10);
      remainder = current % 10;
    }
    reversed += static_cast<char>('0' + remainder);
  }
  if (reversed.empty()) return "0";
  return std::string(reversed.rbegin(), reversed.rend());
}

void DecodeThousandths(std::string_view bytes, std::string& text) {
  const auto digits = PackedDigits(bytes);
  if (digits.empty()) {
    text += ThousandthsText("0");
    return;
  }
  const bool negative = digits.front() != '0';
  auto value = std::string(WithoutLeadingZeros(std::string_view(digits).substr(1)));
  if (value.empty()) value.assign(1, '0');
  if (negative) value.insert(value.begin(), '-');
  text += ThousandthsText(value);
}

void DecodeText(std::string_view bytes, std::string& text) {
  auto cell = TrimTrailingBlanks(bytes);
  std::replace(cell.begin(), cell.end(), RegisterCaret, '^');
  text += FromRegisterCharset(cell);
}

// The bytes of column `index`, or EConvertError when the record ends inside it.
std::string_view ColumnBytes(std::string_view record, std::size_t offset, const TSloupec& column) {
  const auto width = WidthOf(column);
  if (offset + width > record.size()) {
    throw EConvertError("Record of " + std::to_string(record.size()) + " bytes ends inside a field of " +
                        std::to_string(width) + " bytes at byte " + std::to_string(offset));
  }
  return record.substr(offset, width);
}

void EncodeBinaryCell(std::string_view cell, std::size_t width, std::string& record) {
  EncodeBinary(StrToInt64(cell), width, record);
}

// The largest binary cell a field of `width` bytes takes. The encoding reads
// a cell as a signed 64-bit number, so from eight bytes on that is the limit.
std::uint64_t LargestBinaryCell(std::size_t width) {
  if (width >= sizeof(std::int64_t)) return static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return (std::uint64_t{1} << (8 * width)) - 1;
}

bool BinaryCellFits(std::string_view cell, std::size_t width) {
  const char* const end = cell.data() + cell.size();
  std::uint64_t value = 0;
  const auto [stop, error] = std::from_chars(cell.data(), end, value);
  return error == std::errc() && stop == end && value <= LargestBinaryCell(width);
}

void DecodeBinary(std::string_view bytes, std::string& text) { text += UnsignedDecimal(bytes); }

void DecodeHex(std::string_view bytes, std::string& text) { text += BytesToHex(bytes); }

/// How a cell of one column type goes into a record and comes back out as
/// row text.
struct TCellCodec {
  void (*Encode)(std::string_view cell, std::size_t width, std::string& record);
  void (*Decode)(std::string_view bytes, std::string& text);
};

/// The codecs in the order of the ColumnType values.
constexpr std::array<TCellCodec, 5> CellCodecs = {{
    {EncodePacked, DecodePacked},
    {EncodeBinaryCell, DecodeBinary},
    {EncodeThousandths, DecodeThousandths},
    {EncodeText, DecodeText},
    {EncodeHex, DecodeHex},
}};
static_assert(ColumnType::Packed == 0 && ColumnType::Binary == 1 && ColumnType::Thousandths == 2 &&
              ColumnType::Text == 3 && ColumnType::Hex == 4);

/// The codec of the column's type; none for an unknown type, whose cells
/// write no bytes and show no text.
const TCellCodec* CodecOf(const TSloupec& column) {
  return column.Type < CellCodecs.size() ? &CellCodecs[column.Type] : nullptr;
}

}  // namespace

bool CellFitsField(const TSloupec& column, std::string_view cell) {
  switch (column.Type) {
    case ColumnType::Binary:
      return BinaryCellFits(cell, WidthOf(column));
    case ColumnType::Thousandths:
      return ThousandthsDigits(cell).size() <= ThousandthsDigitRoom(WidthOf(column));
    default:
      return true;
  }
}

void AppendEncodedCell(const TSloupec& column, std::string_view cell, std::string& record) {
  if (const TCellCodec* codec = CodecOf(column)) codec->Encode(cell, WidthOf(column), record);
}

void AppendDecodedCell(const TSloupec& column, std::string_view bytes, std::string& text) {
  if (const TCellCodec* codec = CodecOf(column)) codec->Decode(bytes, text);
}

TTlumocnikSloupce::TTlumocnikSloupce(const std::vector<TSloupec>& columns, int columnCount)
    : columns_(&columns), columnCount_(columnCount < 0 ? static_cast<int>(columns.size()) : columnCount) {}

int TTlumocnikSloupce::ColumnCount() const { return std::min(columnCount_, static_cast<int>(columns_->size())); }

int TTlumocnikSloupce::RecordLength() const {
  int length = 2;
  for (int i = 0; i < ColumnCount(); ++i) length += static_cast<int>(WidthOf((*columns_)[static_cast<std::size_t>(i)]));
  return length;
}

std::string TTlumocnikSloupce::EncodeRow(const TRadek& row, bool zeroRecordNumber) const {
  std::string record;
  record.reserve(static_cast<std::size_t>(RecordLength()));
  for (int i = 0; i < ColumnCount(); ++i) {
    const auto& column = (*columns_)[static_cast<std::size_t>(i)];
    if (i == 0 && zeroRecordNumber && column.Type == ColumnType::Binary) {
      EncodeBinary(0, WidthOf(column), record);
    } else {
      AppendEncodedCell(column, row.Cell(i), record);
    }
  }
  AddCheckBytes(record);
  return record;
}

std::string TTlumocnikSloupce::DecodeRecord(std::string_view record) const {
  std::string text;
  text.reserve(record.size() * 2 + static_cast<std::size_t>(ColumnCount()));
  std::size_t offset = 0;
  for (int i = 0; i < ColumnCount(); ++i) {
    const auto& column = (*columns_)[static_cast<std::size_t>(i)];
    AppendDecodedCell(column, ColumnBytes(record, offset, column), text);
    text += '|';
    offset += WidthOf(column);
  }
  return text;
}

std::string TTlumocnikSloupce::CheckRecord(const TSoubor& table, std::string_view record) const {
  std::string errors;
  std::string scratch;
  std::string recordNumber;
  std::size_t offset = 0;
  for (int i = 0; i < ColumnCount(); ++i) {
    const auto& column = (*columns_)[static_cast<std::size_t>(i)];
    const auto bytes = record.substr(std::min(offset, record.size()), WidthOf(column));
    scratch.clear();
    try {
      AppendDecodedCell(column, ColumnBytes(record, offset, column), scratch);
      if (i == 0) recordNumber = scratch;
    } catch (const EConvertError&) {
      if (i == 0) recordNumber = TrimTrailingBlanks(HexDump(bytes));
      errors += LoadText(RecordDataErrorText) + table.Name + " - #" + recordNumber + " - " + column.Heading + ": \"" +
                HexDump(bytes) + "\"\r";
    }
    offset += WidthOf(column);
  }
  return errors;
}
