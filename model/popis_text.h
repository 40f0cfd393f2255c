#pragma once
// TPopisText: one descriptive text of table 24 ("Popisné texty"). The
// register keeps these texts one after another in table 24, whose rows hold
// 40 characters each in column 1; an entry knows its place in that
// 40-column grid: a row index (line, from 0) and a character position
// (column, from 1). An entry may run over the end of a row into the next.
// The model catalogue owns the list; entries are addressed by position.
//
// Description row: "index;text;width;flag", e.g. "0;%PŘIRÁŽKA;18" or
// "134;Z-ČÍTAČ;14;N". The index is not stored. With an empty index a text
// "LNG" + number stands for the user text of that number (";LNG1012;0;G").
#include <string>
#include <string_view>
#include <vector>

class TSoubor;

class TPopisText {
public:
  /// Characters a row of table 24 holds.
  static constexpr int GridWidth = 40;

  std::string Text;
  int Width = 0;
  /// "N", "G" or empty, as written in the description.
  std::string Flag;
  /// Row of table 24, from 0.
  int Line = 0;
  /// Character position in the row, from 1.
  int Column = 1;

  /// The entry's text as it stands in a downloaded table 24, trailing
  /// blanks removed: empty when its line is beyond the rows; otherwise
  /// Width characters from Column, continued at the start of the next row
  /// when they run past position 40. Rows are read as 40 characters (a row
  /// whose trailing blanks were dropped counts as blank-padded).
  std::string TextIn(const TSoubor& table24) const;
};

/// "LNG" + number stands for the user text of that number (LoadText); any
/// other text is returned unchanged. A number that is not an integer raises
/// EConvertError.
std::string ResolveTextReference(std::string_view text);

/// Appends the entry of a description row to the list, placed in the grid
/// right after the previous entry (the first at line 0, column 1). The
/// width must be an integer (EConvertError otherwise).
void AppendDescriptiveText(std::vector<TPopisText>& list, std::string_view row);
