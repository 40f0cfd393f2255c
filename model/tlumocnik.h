#pragma once
// TTlumocnik: the interpreter between a table's raw register records and its
// text rows. Every table (TSoubor) owns one: the column interpreter
// (TTlumocnikSloupce) for the programming tables, a member of the report
// family (TTlumocnikReport) for the report tables. Raw records are byte
// strings; rows are row texts (cells each followed by "|", see radek.h).
//
// The base is the neutral interpreter: no record length, rows pass as their
// row text, records pass unchanged, every record is valid, no row names.
#include <string>
#include <string_view>

/// The text that begins every message line of CheckRecord.
inline constexpr int RecordDataErrorText = 991;

class TRadek;
class TSoubor;

class TTlumocnik {
public:
  TTlumocnik() = default;
  TTlumocnik(const TTlumocnik&) = delete;
  TTlumocnik& operator=(const TTlumocnik&) = delete;
  virtual ~TTlumocnik();

  /// Bytes of one raw record, the two check bytes included.
  virtual int RecordLength() const;
  /// The raw record of a row; `zeroRecordNumber` writes the record number as 0.
  virtual std::string EncodeRow(const TRadek& row, bool zeroRecordNumber) const;
  /// The row text of a raw record that CheckRecord has accepted.
  virtual std::string DecodeRecord(std::string_view record) const;
  /// One message line (ending in CR) per bad field; empty for a valid record.
  virtual std::string CheckRecord(const TSoubor& table, std::string_view record) const;
  /// Row names of reports, read from the table descriptions.
  virtual void ClearRowNames();
  virtual void AddRowName(std::string_view line);
  virtual std::string RowName(int kind, int number) const;
};
