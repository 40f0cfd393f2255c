// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/journal_record.h"

#include <algorithm>
#include <stdexcept>

#include "tools/mervsim/data/report_record.h"
#include "tools/mervsim/data/record_field.h"

namespace {

constexpr std::uint64_t HundredthsPerUnit = 100;
constexpr std::int64_t LargestQuantity = 9'999'999;
constexpr int AmountWholeBytes = 5;
constexpr int QuantityBytes = 4;
constexpr char NegativeAmount = '\x01';
constexpr char NegativeQuantityMark = '\x80';

std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
}

}  // namespace

TJournalRecord::TJournalRecord(std::uint8_t code) : bytes_(Length, '\0') { bytes_[0] = static_cast<char>(code); }

TJournalRecord& TJournalRecord::Digits(int position, std::uint64_t value, int byteCount) {
  Put(position, PackDecimal(value, byteCount));
  return *this;
}

TJournalRecord& TJournalRecord::Amount(int position, std::int64_t hundredths) {
  const std::uint64_t magnitude = Magnitude(hundredths);
  std::string field(1, hundredths < 0 ? NegativeAmount : '\0');
  field += PackDecimal(magnitude / HundredthsPerUnit, AmountWholeBytes);
  field += PackDecimal(magnitude % HundredthsPerUnit, 1);
  Put(position, field);
  return *this;
}

TJournalRecord& TJournalRecord::Quantity(int position, std::int64_t thousandths) {
  const auto magnitude = static_cast<std::int64_t>(Magnitude(thousandths));
  std::string field = PackDecimal(static_cast<std::uint64_t>(std::min(magnitude, LargestQuantity)), QuantityBytes);
  if (thousandths < 0) field[0] = static_cast<char>(field[0] | NegativeQuantityMark);
  Put(position, field);
  return *this;
}

TJournalRecord& TJournalRecord::Stamp(int position, const TJournalStamp& stamp) {
  std::string field = PackDecimal(static_cast<std::uint64_t>(stamp.Year % 100), 1);
  field += PackDecimal(static_cast<std::uint64_t>(stamp.Month), 1);
  field += PackDecimal(static_cast<std::uint64_t>(stamp.Day), 1);
  field += '\0';
  field += PackDecimal(static_cast<std::uint64_t>(stamp.Hour), 1);
  field += PackDecimal(static_cast<std::uint64_t>(stamp.Minute), 1);
  Put(position, field);
  return *this;
}

TJournalRecord& TJournalRecord::Raw(int position, const std::string& bytes) {
  Put(position, bytes);
  return *this;
}

std::string TJournalRecord::Hex() const {
  static constexpr char HexDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char byte : bytes_) {
    const auto code = static_cast<std::uint8_t>(byte);
    text += HexDigits[code >> 4];
    text += HexDigits[code & 0x0F];
  }
  return text;
}

void TJournalRecord::Put(int position, const std::string& bytes) {
  PutRecordField(bytes_, position, bytes, 2, Length, "journal");
}
