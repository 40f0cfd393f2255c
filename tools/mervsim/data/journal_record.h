// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// TJournalRecord: builds one 20-byte electronic journal record. Byte 1 is the
// record code; the other fields sit at fixed bytes (counted from 1) and are
// packed decimal, two digits a byte. The journal tables (87, 88, 92) carry a
// record as 40 capital hexadecimal digits.
//
// Field forms used by the receipts the emulator writes:
//   amount (7 bytes): a sign byte (00 positive, 01 negative), five bytes of
//     whole money units, one byte of hundredths;
//   quantity (4 bytes): eight digits, three of them decimals, the first
//     digit 8 for a negative quantity;
//   date and time (6 bytes): year, month, day, one unused byte, hour, minute.
#include <cstdint>
#include <string>

struct TJournalStamp {
  int Year = 0;  // two digits
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
};

class TJournalRecord {
public:
  static constexpr int Length = 20;

  explicit TJournalRecord(std::uint8_t code);

  /// `value` as `byteCount` bytes of packed decimal starting at `position`.
  TJournalRecord& Digits(int position, std::uint64_t value, int byteCount);
  TJournalRecord& Amount(int position, std::int64_t hundredths);
  TJournalRecord& Quantity(int position, std::int64_t thousandths);
  TJournalRecord& Stamp(int position, const TJournalStamp& stamp);
  /// Bytes as they are, from `position` on.
  TJournalRecord& Raw(int position, const std::string& bytes);

  const std::string& Bytes() const { return bytes_; }
  /// The record as 40 capital hexadecimal digits.
  std::string Hex() const;

private:
  void Put(int position, const std::string& bytes);
  std::string bytes_;
};
