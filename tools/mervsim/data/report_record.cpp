// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/report_record.h"

#include <stdexcept>

#include "base/joined_text.h"
#include "model/check_bytes.h"
#include "tools/mervsim/data/record_field.h"

namespace {

constexpr int DataLength = TReportRecord::Length - 2;
constexpr char NegativeSign = '\x80';

}  // namespace

std::string PackDecimal(std::uint64_t value, int byteCount) {
  std::string digits(static_cast<std::size_t>(2 * byteCount), '0');
  const std::string text = std::to_string(value);
  if (text.size() > digits.size()) {
    digits.assign(digits.size(), '9');
  } else {
    digits.replace(digits.size() - text.size(), text.size(), text);
  }
  std::string packed;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    packed += static_cast<char>((digits[i] - '0') << 4 | (digits[i + 1] - '0'));
  }
  return packed;
}

TReportRecord::TReportRecord() : bytes_(DataLength, '\0') {}

TReportRecord& TReportRecord::Kind(int kind, int number) {
  bytes_[0] = static_cast<char>(kind & 0xFF);
  bytes_[1] = static_cast<char>(number & 0xFF);
  return *this;
}

TReportRecord& TReportRecord::RecordNumber(int number) { return Kind(number & 0xFF, (number >> 8) & 0xFF); }

TReportRecord& TReportRecord::Signed(int first, int last, std::int64_t value) {
  const std::uint64_t magnitude =
      value < 0 ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
  const char sign = value < 0 ? NegativeSign : '\0';
  Put(first, JoinedText({std::string_view(&sign, 1), PackDecimal(magnitude, last - first)}));
  return *this;
}

TReportRecord& TReportRecord::Unsigned(int first, int last, std::uint64_t value) {
  Put(first, PackDecimal(value, last - first + 1));
  return *this;
}

std::string TReportRecord::Finish() const {
  std::string record = bytes_;
  AddCheckBytes(record);
  return record;
}

void TReportRecord::Put(int first, const std::string& bytes) {
  PutRecordField(bytes_, first, bytes, 1, DataLength, "report");
}
