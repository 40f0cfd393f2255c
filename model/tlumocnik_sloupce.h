#pragma once
// TTlumocnikSloupce: the column interpreter of the programming tables. It
// turns a row into a raw record column by column, by each column's type and
// width, and back; the record ends with the two check bytes (check_bytes.h).
//
// Cell encodings (w = column width in bytes):
//   0 packed decimal: leading zeros dropped, the leftmost 2w characters kept,
//     left-padded with "0", each pair one byte ("1234", w 2 -> 12 34);
//   1 binary: the cell as a 64-bit integer, w bytes, least significant first;
//   2 packed thousandths: the digits without leading zeros, left-padded to
//     2w, the first digit 8 when negative ("-1.250", w 4 -> 80 00 12 50); a
//     cell of more than 2w - 1 digits raises EConvertError, as its first
//     digit would take the sign's place; on decoding any non-zero sign
//     half-byte means negative;
//   3 text: the first w characters, "^" as byte FFh, blank-padded, in the
//     register's character set;
//   4 hexadecimal bytes: the leftmost 2w hex digits, left-padded with "0".
// Decoding gives the canonical cell: packed numbers without leading zeros,
// thousandths with three decimals, text without trailing blanks, hex bytes
// as two capital digits each. A packed field with a half-byte above 9 (the
// sign half-byte excepted), or a record too short for a column, raises
// EConvertError; CheckRecord reports such columns.
//
// The interpreter points to its table's column list; the table owns both.
#include <string>
#include <string_view>
#include <vector>

#include "model/sloupec.h"
#include "model/tlumocnik.h"

class TTlumocnikSloupce : public TTlumocnik {
public:
  /// Over the first `columnCount` columns of the list; -1 takes as many as
  /// the list has now.
  explicit TTlumocnikSloupce(const std::vector<TSloupec>& columns, int columnCount = -1);

  /// Columns the records hold (never more than the list has).
  int ColumnCount() const;

  /// Sum of the column widths + 2 check bytes.
  int RecordLength() const override;
  /// Each column's cell encoded by its type, then the check bytes. With
  /// `zeroRecordNumber` a binary column 0 is written as 0. A binary cell that
  /// is not a number raises EConvertError.
  std::string EncodeRow(const TRadek& row, bool zeroRecordNumber) const override;
  /// Each column decoded by its type, followed by "|"; bytes after the last
  /// column (the check bytes) are ignored.
  std::string DecodeRecord(std::string_view record) const override;
  /// For every column whose decoding fails, one line: text 991 + the table's
  /// name + " - #" + the record number (column 0 decoded) + " - " + the
  /// column's heading + ": \"" + hex dump of the column's bytes + "\"" + CR.
  std::string CheckRecord(const TSoubor& table, std::string_view record) const override;

private:
  const std::vector<TSloupec>* columns_;
  int columnCount_;
};

/// Whether the value of a cell goes into the column's bytes without being
/// cut. A binary cell: digits without sign, no more than its bytes hold and,
/// from eight bytes on, no more than the signed 64-bit number the encoding
/// reads it as. A thousandths cell: at most 2w - 1 digits after its leading
/// zeros, as the first half-byte is the sign. Cells of the other types are
/// cut to their field by design and always pass.
bool CellFitsField(const TSloupec& column, std::string_view cell);
/// Appends the raw bytes of one cell of the column (see above).
void AppendEncodedCell(const TSloupec& column, std::string_view cell, std::string& record);
/// Appends the cell text of the column's raw bytes (exactly its width).
void AppendDecodedCell(const TSloupec& column, std::string_view bytes, std::string& text);
