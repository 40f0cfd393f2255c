#pragma once
// The rows of a table as a table file holds them compared with the rows the
// register holds, in the columns a table file carries (FirstFileColumn on).
// Rows are paired by the table's key column, or by their position when the
// key column is not in the file. One text line per differing row:
//   "+ cells;"                  a row only in the register,
//   "- cells;"                  a row only in the file,
//   "~ key;heading: old -> new" a row in both, each differing column named
//                               by its heading (several joined by ";"),
//                               the file's value first.
// The cells are written as a layout 1 line writes them (each followed by
// ";"), code page 1250. The "+" and "~" lines follow the register's row
// order, the "-" lines the file's. Of rows with the same key the first in
// the file pairs with the first in the register, and so on.
#include <string>
#include <vector>

#include "model/radek.h"
#include "model/soubor.h"

/// The difference lines; none when the rows agree. `table` gives the
/// columns, their headings and the key column.
std::vector<std::string> CompareTableRows(const TSoubor& table, const std::vector<TRadek>& fileRows,
                                          const std::vector<TRadek>& registerRows);
