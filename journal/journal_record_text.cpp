#include "journal/journal_record_text.h"

#include <stdexcept>
#include <string>

#include "model/value_conversions.h"

TJournalRecordText::TJournalRecordText(std::string_view hex) : hex_(hex) {
  if (hex_.size() != DigitCount) {
    throw std::invalid_argument("journal record of " + std::to_string(hex_.size()) + " characters, " +
                                std::to_string(DigitCount) + " expected");
  }
}

std::string_view TJournalRecordText::Bytes(int first, int last) const {
  if (first < 1 || last > ByteCount || first > last) {
    throw std::out_of_range("journal record bytes " + std::to_string(first) + "-" + std::to_string(last));
  }
  return hex_.substr(static_cast<std::size_t>(2 * (first - 1)), static_cast<std::size_t>(2 * (last - first + 1)));
}

std::int64_t TJournalRecordText::Decimal(int first, int last) const { return StrToInt64(Bytes(first, last)); }

int TJournalRecordText::Binary(int k) const {
  const std::string_view digits = Byte(k);
  return HexPairToByte(digits[0], digits[1]);
}

bool TJournalRecordText::AllDigitsAre(int first, int last, char digit) const {
  return Bytes(first, last).find_first_not_of(digit) == std::string_view::npos;
}
