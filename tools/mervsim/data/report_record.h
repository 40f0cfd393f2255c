// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// TReportRecord: builds one 49-byte report record as the register hands it
// out: byte 1 the kind, byte 2 the number within the kind (or bytes 1-2 a
// 16-bit record number, low byte first), bytes 3 to 47 packed decimal fields
// at fixed positions, bytes 48 and 49 the check bytes. Positions are counted
// from 1, as the report layouts give them. Unused bytes stay 0.
//
// Packed decimal: two digits a byte, high half-byte first, most significant
// byte first. A signed field starts with a sign byte (0 positive, 80h
// negative) followed by the digit bytes. A value with more digits than the
// field holds is stored as the largest value the field can show (all nines).
#include <cstdint>
#include <string>

/// `value` as `byteCount` bytes of packed decimal (saturated at all nines).
std::string PackDecimal(std::uint64_t value, int byteCount);

class TReportRecord {
public:
  static constexpr int Length = 49;

  TReportRecord();

  /// Byte 1 and byte 2.
  TReportRecord& Kind(int kind, int number);
  /// Bytes 1-2 as one 16-bit number, low byte first.
  TReportRecord& RecordNumber(int number);
  /// Sign byte at `first`, digits in the bytes up to `last`.
  TReportRecord& Signed(int first, int last, std::int64_t value);
  /// Digits in the bytes `first` to `last`.
  TReportRecord& Unsigned(int first, int last, std::uint64_t value);

  /// The 47 data bytes followed by the two check bytes.
  std::string Finish() const;

private:
  void Put(int first, const std::string& bytes);
  std::string bytes_;
};
