#pragma once
// TRadek: one row of a register table, every cell as text (code page 1250),
// one cell per column. The table (TSoubor) owns its rows.
//
// Row text form: the cells in column order, each followed by "|" ("1|01|").
// Reading a row text takes each run of characters up to a "|" as the next
// cell; characters after the last "|" and cells beyond the row's cell count
// are ignored, missing cells keep their text.
#include <string>
#include <string_view>
#include <vector>

#include "model/sloupec.h"

class TRadek {
public:
  /// A row of `cellCount` empty cells.
  explicit TRadek(int cellCount);

  /// Free for the transfers; 0 at creation.
  int Tag = 0;
  /// Set to 1 by the upload when the register has accepted the row.
  int Accepted = 0;

  int CellCount() const { return static_cast<int>(cells_.size()); }
  /// The cell's text; empty text for an index outside the row.
  const std::string& Cell(int index) const;
  /// Sets a cell. An index outside the row changes nothing and writes
  /// "ZADAVANO DO SLOUPCE, KTERY NEEXISTUJE!!!" to the communication log.
  void SetCell(int index, std::string text);
  /// Every cell to the default text of its column's type.
  void SetDefaults(const std::vector<TSloupec>& columns);
  /// Reads a row text over the cells; a cell is cut to its column's display
  /// width (columns beyond the list leave the cell as read).
  void ReadRowText(std::string_view text, const std::vector<TSloupec>& columns);
  /// The cells from `firstCell` to the last, each followed by "|".
  std::string WriteRowText(int firstCell = 0) const;

private:
  std::vector<std::string> cells_;
};
