#pragma once
// The print document as vyrnak understands it: a font line, then one page
// table whose heading row repeats on every page and whose rows hold text
// cells or nested tables (the journal body, the receipt grid). Texts stay in
// code page 1250, as the document carries them. The model owns everything by
// value; a nested table is owned by the cell it sits in.
#include <memory>
#include <string>
#include <vector>

enum class TAlignment { Left, Centre, Right };

struct TColumn {
  TAlignment alignment = TAlignment::Left;
  int widthPercent = 0;  // 0: whatever the other columns leave
};

struct TTable;

/// One cell: its text lines ("$" in the document breaks a line) drawn larger
/// by `sizeDelta` points and in bold when a size token says so, or a nested table.
struct TCell {
  std::vector<std::string> lines{std::string()};
  int sizeDelta = 0;
  bool bold = false;
  std::unique_ptr<TTable> table;
};

struct TRow {
  bool keepTogether = false;  // "PA": never split across a page when it fits on one
  std::vector<TCell> cells;
};

struct TTable {
  bool framed = false;  // "TB1": every cell gets a frame
  int widthPercent = 100;
  std::vector<TColumn> columns;
  bool hasPageHeading = false;
  int headingSizeDelta = 0;  // "PF-01": the heading one point smaller than the text
  TRow pageHeading;
  std::vector<TRow> rows;
};

struct TPrintDocument {
  std::string fontName;
  int fontSize = 9;
  std::string title;
  TTable page;
};
