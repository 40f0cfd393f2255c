#pragma once
// TJournalRecordText: read access to one electronic-journal record in its
// text form, 40 capital hexadecimal digits, two per byte. Bytes are counted
// from 1 as the register documents them: byte k is the two digits at text
// positions 2k-1 and 2k. Most numeric bytes are packed decimal, so their two
// digits read as two decimal digits as they stand.
//
// The view borrows the text; the text must outlive it.
#include <cstdint>
#include <string_view>

class TJournalRecordText {
public:
  static constexpr int ByteCount = 20;
  static constexpr std::size_t DigitCount = 2 * ByteCount;

  /// A text of any other length than 40 characters raises std::invalid_argument.
  explicit TJournalRecordText(std::string_view hex);

  /// The record code: the two digits of byte 1.
  std::string_view Code() const { return Bytes(1, 1); }
  /// The two digits of byte k.
  std::string_view Byte(int k) const { return Bytes(k, k); }
  /// The digits of bytes first..last, bounds included.
  std::string_view Bytes(int first, int last) const;
  /// The digits of bytes first..last read as a decimal number; a digit that
  /// is not 0-9 raises EConvertError.
  std::int64_t Decimal(int first, int last) const;
  /// Byte k read as a binary number, 0 to 255.
  int Binary(int k) const;
  /// Whether every digit of bytes first..last is `digit`.
  bool AllDigitsAre(int first, int last, char digit) const;

private:
  std::string_view hex_;
};
