#pragma once
// Reads the print document the module writes (code page 1250, CR LF or LF
// lines) into a TPrintDocument. The mark-up, as this viewer reads it:
//
//   document  = font-line NL table                      (nothing after the table)
//   font-line = "TSKS1F[" font-name "," size "][" title "]"
//   table     = "[TB" border width "[" column ("," column)* "]" option* row* "]"
//                 border: "0" none, "1" framed cells; width: three digits, percent
//   column    = alignment letter (L, C, R) more letters "W" (three digits | "MAX000")
//   option    = "PF" sign two-digits row    the page heading, its size change
//             | "D[" letters-and-digits "]" accepted, no effect
//   row       = "[" ["PA"] cell ("][" cell-inner)* "]"    "PA": kept on one page
//   cell      = "[" cell-inner
//   cell-inner= table "]" | ["~" sign two-digits ["B"] "~"] text "]"
//
// Line ends between document lines carry no meaning: a cell may run over
// several lines. In a cell's text "$" breaks the line, "#PP", "#PT", "#DT" and
// "#TM" are the page number, page count, date and time (filled in by the
// layout), and a "]" ends the cell only when "[", "]" or the end of the
// document follows it, so that brackets in a journal line stay text; a "["
// stays text too unless a row ("[[", "[PA[") or a table ("[TB") follows,
// which means the cell before it was never closed. Control
// characters other than tab are refused: a document holding them is not text.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/vyrnak/print_document.h"

/// A document that breaks the mark-up; the message names the line.
class EMalformedDocument : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TDocumentParser {
public:
  /// Throws EMalformedDocument.
  static TPrintDocument Parse(std::string_view bytes);

private:
  explicit TDocumentParser(std::string_view body, std::size_t firstLineNumber);

  void ParseTable(TTable& table);
  void ParseColumns(TTable& table);
  bool ParseTableOption(TTable& table);
  TRow ParseRow();
  void ParseCellInner(TCell& cell);
  void ParseSizeToken(TCell& cell);
  void ParseCellText(TCell& cell);

  bool AtEnd() const { return position_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const;
  bool LookingAt(std::string_view word) const;
  void Expect(std::string_view word, std::string_view what);
  int ReadDigits(std::size_t count, std::string_view what);
  [[noreturn]] void Fail(std::string_view what) const;
  std::string Describe(std::size_t at) const;

  std::string text_;                     // the document after its font line, line ends removed
  std::vector<std::size_t> lineStarts_;  // offset in text_ where each line begins
  std::size_t firstLineNumber_ = 2;
  std::size_t position_ = 0;
  int depth_ = 0;  // open tables, to refuse absurd nesting
};
