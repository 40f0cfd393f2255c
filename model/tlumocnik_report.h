#pragma once
// TTlumocnikReport: the base of the report interpreters. A register hands out
// a report as 49-byte records (byte 1 the kind, byte 2 the number within the
// kind, bytes 3 to 47 packed decimal fields, bytes 48 and 49 the check bytes
// of the link protocol); each member of the family turns one record into one
// row text whose fields fill the report table's columns in order.
//
// A member describes its row as a list of fields (ReportField); the base
// decodes, checks and names rows from that list, so DecodeRecord and
// CheckRecord always agree on which fields a record shows.
//
// Row names come from the "~RADKY" lines of the table's description. They are
// kept in the register's character set, as the register's own texts are, and
// every decoded row is converted back to the program's code page. The
// interpreter owns its row-name list; the table owns the interpreter.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tlumocnik.h"

/// One row-name line: every record whose kind lies in FirstKind..LastKind and
/// whose number lies in FirstNumber..LastNumber, bounds included.
struct TNazevRadku {
  int FirstKind = 0;
  int FirstNumber = 0;
  int LastKind = 0;
  int LastNumber = 0;
  std::string Name;

  bool Covers(int kind, int number) const;
};

/// One field of a report row: a fixed text, or a packed number taken from the
/// record's bytes First..Last (positions counted from 1, bounds included).
struct ReportField {
  enum class Shape {
    Text,      // the fixed text as it is
    Amount,    // signed, whole number, "-" when negative
    Quantity,  // signed, with three decimals
    Count,     // unsigned, whole number
  };

  Shape FieldShape = Shape::Text;
  std::string Text;
  int First = 0;
  int Last = 0;

  static ReportField Fixed(std::string text);
  static ReportField Empty();
  static ReportField Amount(int first, int last);
  static ReportField Quantity(int first, int last);
  static ReportField Count(int first, int last);

  bool IsNumeric() const { return FieldShape != Shape::Text; }
  /// The shown text of a numeric field; EConvertError when the field holds a
  /// half-byte above 9 or lies beyond the end of the record.
  std::string Convert(std::string_view record) const;
  /// The field's bytes, as many of them as the record holds.
  std::string_view Bytes(std::string_view record) const;
};

class TTlumocnikReport : public TTlumocnik {
public:
  static constexpr int ReportRecordLength = 49;

  /// 49 for every member.
  int RecordLength() const override;
  /// The fields of the row, each followed by "|", converted from the
  /// register's character set. Only for records that CheckRecord accepted:
  /// a bad field raises EConvertError.
  std::string DecodeRecord(std::string_view record) const override;
  /// One message per numeric field that does not convert, in row order:
  /// text 991 + the table's name + " " + the record identifier + " " + the
  /// heading of the column the field fills + ": \"" + hex dump of the field's
  /// bytes + "\"" + CR. Members without an identifier leave out the
  /// identifier and the blank after it.
  std::string CheckRecord(const TSoubor& table, std::string_view record) const override;
  void ClearRowNames() override;
  /// Reads "KK NN name" (one kind and number) or "KK NN - KK NN name" (a
  /// range). A line whose four numbers are all 0 sets the default row name
  /// instead. The numbers must be decimal (EConvertError otherwise).
  void AddRowName(std::string_view line) override;
  /// The name of the last line covering kind and number; else of the last
  /// line of kind 0 covering the number; else the default row name.
  std::string RowName(int kind, int number) const override;

  const std::vector<TNazevRadku>& RowNames() const { return rowNames_; }
  const std::string& DefaultRowName() const { return defaultRowName_; }

protected:
  /// The fields of the row for this record, in column order.
  virtual std::vector<ReportField> RowFields(std::string_view record) const = 0;
  /// How messages name the record; none for a member without identifier.
  /// Texts in the program's code page.
  virtual std::optional<std::string> RecordIdentifier(const TSoubor& table, std::string_view record) const = 0;

  /// Byte 1 and byte 2 of the record (0 when the record is shorter).
  static int KindOf(std::string_view record);
  static int NumberOf(std::string_view record);
  /// kind "-" number.
  static std::string KindNumberText(std::string_view record);
  /// kind "-" number " (" name ")", with the name in the program's code page.
  static std::string KindNumberNameText(std::string_view record, std::string_view registerName);
  /// The row most members begin with (kind, number, default row name), then
  /// the member's own fields.
  std::vector<ReportField> KindNumberNameFields(std::string_view record, const std::vector<ReportField>& own) const;

private:
  std::vector<TNazevRadku> rowNames_;
  std::string defaultRowName_;
};
