#pragma once
// Table text files: a register table exchanged with the parent application as
// lines of text ending in CR LF, one line per row.
//
// Layout 1 (separated): the cells each followed by ";".
// Layout 2 (fixed width): the cells without separators, each exactly as wide
//   as its column's raw text width; text cells padded with blanks on the
//   right, all others on the left. Only a writable table holding a binary
//   value too long for its raw width (an address part "192" in a one-byte
//   column) is written with its binary cells as wide as their largest value
//   (3, 5, 10 characters); loading accepts both, the line length tells.
// Code page 852 converts the Czech and Slovak letters to the register's
// character set; 1250 writes the program's text unchanged.
//
// The record number (column 0) is left out for writable tables other than
// 1, 2, 4, 5 and 66; loading then numbers the rows 1, 2, 3 ... in line order.
// A marked column is written as the decimal value of its hex digits. The
// keyboard table (15) carries its key layouts before the rows: a line
// "~KLAVESYDESIGN" + count, then that many key layout lines.
//
// The functions borrow the table and the catalogue's key layouts; nothing is
// kept after they return.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "model/klavesa_design.h"
#include "model/soubor.h"

/// The key layouts as the model catalogue owns them.
using TKeyLayouts = std::vector<std::unique_ptr<TKlavesaDesign>>;

namespace TableFileLayout {
constexpr int Separated = 1;
constexpr int FixedWidth = 2;
}  // namespace TableFileLayout

namespace TableFileCodePage {
constexpr int Register = 852;
constexpr int Windows = 1250;
}  // namespace TableFileCodePage

/// Text that opens the key layout section of a table file.
inline constexpr const char* KeyLayoutSectionMark = "~KLAVESYDESIGN";

/// The most key layouts a keyboard table's file may carry: one for each key
/// code its rows can hold (the hexadecimal columns of up to
/// TSoubor::RowLimit rows, a key code in KeyCodeBytes bytes).
std::size_t KeyLayoutLimit(const TSoubor& keyboard);

/// 1 when the file leaves out the record number of this table, else 0.
int FirstFileColumn(const TSoubor& table);

/// A cell as a table file writes it: a marked column's hex digits as their
/// decimal value, every other cell unchanged.
std::string FileCellText(const TSloupec& column, const std::string& cell);

/// Writes the table's rows (from the last to the first when `reverse` is set)
/// to the file at `path`, in layout 1 or 2 and code page 852 or 1250, with
/// the key layouts before them for table 15. Each step goes to the
/// communication log. The file is written through TSafeOutputFile (a random
/// temporary name beside the target, renamed over it only when complete; a
/// link is followed, a device or FIFO written in place, a read-only file
/// refused), so a failed save leaves an existing file as it was. Failures:
/// std::system_error for input/output and a refused target;
/// std::length_error when a cell of a writable table does not fit its field
/// in layout 2 (the file could not be loaded back).
void SaveTable(const TSoubor& table, const std::string& path, int codePage, bool reverse, const TKeyLayouts& keyLayouts,
               int layout);

/// Replaces the table's rows with the records of the file at `path`.
/// `firstColumn` is FirstFileColumn of the table: 1 numbers the rows from 1.
/// A key layout section replaces the catalogue's key layouts; one of more
/// than KeyLayoutLimit lines raises error 22 and leaves them. A line that
/// breaks the layout's rules, a cell whose value its field cannot hold
/// (CellFitsField), and a row beyond the table's RowLimit raise error 22;
/// the rows read before it stay.
/// So does a line longer than the table's columns allow (in layout 1 up to
/// twice the cells' widths, blanks around cells included), found before the
/// rest of the file is read. Only a regular file is read; anything else, and
/// a file that cannot be read, raises std::system_error.
void LoadTable(TSoubor& table, const std::string& path, int codePage, TKeyLayouts& keyLayouts, int firstColumn,
               int layout);
