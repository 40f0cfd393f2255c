#pragma once
// TSoubor: one register table in memory: its columns, its rows (every cell
// as text), its help lines, its register option flags and the interpreter
// that turns rows into raw records and back. The model catalogue creates and
// owns every table; the table owns everything it holds. The interpreter keeps
// a pointer to the column list, so a table is neither copied nor moved.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/pokl_registr.h"
#include "model/radek.h"
#include "model/sloupec.h"
#include "model/tlumocnik.h"

class TSoubor {
public:
  TSoubor() = default;
  TSoubor(const TSoubor&) = delete;
  TSoubor& operator=(const TSoubor&) = delete;

  std::string Name;
  int Group = 0;
  /// 1..99; the reset entries are numbered 0..18.
  int Number = 0;
  bool ResetMark = false;
  std::vector<TSloupec> Columns;
  std::vector<TRadek> Rows;
  std::vector<std::string> HelpLines;
  /// Records the register holds, as the model catalogue gives it; 0 when
  /// the catalogue gives none (the journal).
  int Capacity = 0;
  bool Writable = false;
  /// Index of the key column, -1 for none.
  int KeyColumn = -1;
  /// The upload announces the table with ENQ first.
  bool EnqMark = false;
  /// A running transfer of the table may end early at the user's request.
  bool Stoppable = false;
  std::unique_ptr<TTlumocnik> Interpreter;
  /// Register option flags; none for most tables.
  std::unique_ptr<TPoklRegistry> Registers;

  /// Appends a column with an empty heading, natural display and no mark.
  TSloupec& AddColumn(std::uint8_t type, int width);
  /// The column at `index`, or none beyond the last column.
  TSloupec* Column(int index);
  const TSloupec* Column(int index) const;
  /// A row of default cells with the row text read over them, inserted at
  /// `position`, or appended when the position is -1 or the table is empty.
  /// Any other position outside 0..row count raises std::out_of_range.
  TRadek& AddRow(int position, std::string_view rowText);
  /// 0 when the keys of the rows rise strictly; i when row i is the first
  /// whose key equals the key of row i - 1; -i when row i is the first whose
  /// key is smaller. Keys are read as 64-bit integers (EConvertError when one
  /// is not). 0 at once without a key column, without rows, or for table 3
  /// when `skipPlu` is set.
  int CheckKeyOrder(bool skipPlu) const;
  /// The most rows the table takes, from a register or from a table file: a
  /// register may hold more than the catalogue says (more memory, newer
  /// firmware), so twice the capacity plus 100; 100,000 without a capacity.
  int RowLimit() const;
};
