#include "journal/print_document.h"

#include <algorithm>

#include "base/code_page.h"
#include "base/joined_text.h"
#include "base/localized_texts.h"
#include "journal/journal_file.h"

namespace {

constexpr int JournalTitleText = 69;

struct PrintSize {
  std::string_view FontLine;
  std::string_view PageHeading;
  std::string_view Token;
  int Columns;
  std::string_view TableHead;
};

// Index 0 small, 1 medium, 2 large.
constexpr PrintSize Sizes[] = {
    {"TSKS1F[Courier New,5][", "[TB0W100[CCW100]PF+02[[", "+08B", 3, "[[[TB1W100[LTW033,LTW033,LTW034]"},
    {"TSKS1F[Courier New,7][", "[TB0W100[CCW100]PF+00[[", "+06B", 2, "[[[TB1W100[LTW050,LTW050]"},
    {"TSKS1F[Courier New,9][", "[TB0W100[CCW100]PF-01[[", "+04B", 1, "[[[TB1W100[LTW100]"},
};

const PrintSize& SizeOf(int fontSize) { return Sizes[fontSize == 1 || fontSize == 2 ? fontSize : 0]; }

constexpr std::string_view ReceiptCopiesTitle = "Kopie účtenek";
constexpr std::string_view TaxpayerLabel = "Povinný subjekt (DIČ, DKP):";
constexpr std::string_view DetailTableHead = "[[[TB0W100[LCWMAX000]D[FTFBW050]";
constexpr std::string_view JournalTableHead = "[[[TB0W100[LCW100]D[FTFBW050]";
constexpr std::string_view EmptyRow = "[[]]";
constexpr std::string_view TableEnd = "]]]";
constexpr std::size_t EntryPrefix = 3;

// Where a journal text stands in the document: right after the "[" that
// opens a cell, or after a size token or a "$" inside one.
enum class TextPlace { OpensCell, InsideCell };

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// A "]" before "[" or "]", or at the text's end (the cell's own "]" follows),
// ends the cell.
bool EndsCell(std::string_view text, std::size_t at) {
  return at + 1 == text.size() || text[at + 1] == '[' || text[at + 1] == ']';
}

// "[[", "[PA[" and "[TB" begin a row or a table; so does any "[" that opens
// a cell, and a "~" there begins a size token.
bool BeginsMarkup(std::string_view text, std::size_t at, TextPlace place) {
  const std::string_view rest = text.substr(at);
  if (at == 0 && place == TextPlace::OpensCell) return rest.front() == '[' || rest.front() == '~';
  return rest.starts_with("[[") || rest.starts_with("[PA[") || rest.starts_with("[TB");
}

// The viewer's mark-up has no escape, and it refuses a document with control
// characters: the text is changed as little as keeps it text, one character
// for one, so that the columns of a receipt stay where they are. Control
// characters become blanks, a "]" that would end the cell ")", a "[" or "~"
// that would begin mark-up "(" or "-".
std::string ShownAsText(std::string_view text, TextPlace place) {
  std::string shown(text);
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (IsControl(text[at])) {
      shown[at] = ' ';
    } else if (text[at] == ']' && EndsCell(text, at)) {
      shown[at] = ')';
    } else if ((text[at] == '[' || text[at] == '~') && BeginsMarkup(text, at, place)) {
      shown[at] = text[at] == '[' ? '(' : '-';
    }
  }
  return shown;
}

std::string Cell(std::string_view text) { return "[[" + ShownAsText(text, TextPlace::OpensCell) + "]]"; }

std::string_view CodeOf(const std::string& entry) { return std::string_view(entry).substr(1, 2); }
std::string TextOf(const std::string& entry) { return entry.substr(EntryPrefix); }
std::string CellOpeningTextOf(const std::string& entry) { return ShownAsText(TextOf(entry), TextPlace::OpensCell); }
std::string FurtherTextOf(const std::string& entry) { return ShownAsText(TextOf(entry), TextPlace::InsideCell); }

std::string CodeOfRecord(const std::string& record) {
  std::string code = record.substr(0, 2);
  code.resize(2, ' ');
  return code;
}

// Marks each line for which `opens(index)` holds as the start of a receipt
// ("#") and every line after it up to its "80" as belonging to it ("*").
template <typename Opens>
void MarkReceiptsOpenedBy(std::vector<std::string>& list, Opens opens) {
  bool inside = false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    auto& entry = list[i];
    if (opens(i)) {
      entry[0] = '#';
      inside = true;
    } else if (inside) {
      entry[0] = '*';
    }
    if (CodeOf(entry) == "80") inside = false;
  }
}

// "40" opens a sales receipt, every line up to its "80" belongs to it.
void MarkSalesReceipts(std::vector<std::string>& list) {
  MarkReceiptsOpenedBy(list, [&](std::size_t i) { return CodeOf(list[i]) == "40"; });
}

// The last "41" before an "80" opens an account receipt, unless an "81"
// came between them.
void MarkAccountReceipts(std::vector<std::string>& list) {
  std::size_t start = list.size();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto code = CodeOf(list[i]);
    if (code == "41") start = i;
    if (code == "81") start = list.size();
    if (code == "80" && start < list.size()) {
      list[start][0] = '#';
      for (std::size_t j = start + 1; j <= i; ++j) list[j][0] = '*';
      start = list.size();
    }
  }
}

// A "43" not followed by another "4x" line opens a voided receipt.
void MarkVoidedReceipts(std::vector<std::string>& list) {
  MarkReceiptsOpenedBy(list, [&](std::size_t i) {
    const bool lastOrNotFollowedBy4 = i + 1 == list.size() || list[i + 1][1] != '4';
    return CodeOf(list[i]) == "43" && lastOrNotFollowedBy4;
  });
}

void MarkEveryVoid(std::vector<std::string>& list) {
  for (auto& entry : list) {
    if (CodeOf(entry) == "43") entry[0] = '#';
  }
}

}  // namespace

TJournalPrintDocument::TJournalPrintDocument(int fontSize, std::string programTitle)
    : size_(fontSize), programTitle_(std::move(programTitle)) {}

std::vector<std::string> TJournalPrintDocument::LineList(const TJournalFile& file) {
  std::vector<std::string> list;
  list.reserve(file.Entries.size());
  for (const auto& entry : file.Entries) {
    const std::string prefix = JoinedText({" ", CodeOfRecord(entry.Record)});
    list.push_back(prefix + entry.Lines.Main);
    if (!entry.Lines.Second.empty()) list.push_back(prefix + entry.Lines.Second);
    if (!entry.Lines.Third.empty()) list.push_back(prefix + entry.Lines.Third);
  }
  return list;
}

void TJournalPrintDocument::MarkReceipts(std::vector<std::string>& list) {
  MarkSalesReceipts(list);
  MarkAccountReceipts(list);
  MarkVoidedReceipts(list);
  MarkEveryVoid(list);
}

std::vector<std::string> TJournalPrintDocument::ReceiptCells(const std::vector<std::string>& markedList, int columns) {
  std::vector<std::string> lines;
  int cells = 0;
  for (const auto& entry : markedList) {
    if (entry[0] == '#') {
      if (cells == 0) {
        lines.push_back("[PA[" + CellOpeningTextOf(entry));
        cells = 1;
      } else if (cells == columns) {
        lines.push_back("]][PA[" + CellOpeningTextOf(entry));
        cells = 1;
      } else {
        lines.push_back("][" + CellOpeningTextOf(entry));
        ++cells;
      }
    } else if (entry[0] == '*') {
      lines.push_back(JoinedText({"$", FurtherTextOf(entry)}));
    }
  }
  if (cells == 0) {
    lines.emplace_back("[[");
    cells = 1;
  }
  const int emptyCells = columns - cells;
  lines.emplace_back(emptyCells == 2 ? "][][]]" : emptyCells == 1 ? "][]]" : "]]");
  lines.emplace_back(TableEnd);
  return lines;
}

std::vector<std::string> TJournalPrintDocument::Opening(std::string_view title) const {
  const PrintSize& size = SizeOf(size_);
  return {std::string(size.FontLine) + std::string(title) + "]",
          std::string(size.PageHeading) + programTitle_ + "][#PP/#PT][#DT #TM]]",
          "[[~" + std::string(size.Token) + "~" + std::string(title) + "]]", std::string(EmptyRow),
          std::string(DetailTableHead)};
}

void TJournalPrintDocument::AddHeader(std::vector<std::string>& lines, const TJournalFile& file,
                                      bool commandLineMode) const {
  if (!file.CurrentVersion) return;
  const std::string token(SizeOf(size_).Token);
  if (commandLineMode) lines.push_back("[[~" + token + "~" + Utf8ToCp1250(TaxpayerLabel) + "]]");
  for (std::string line : file.HeaderLines) {
    std::replace(line.begin(), line.end(), '^', ' ');
    lines.push_back("[[~" + token + "~" + ShownAsText(line, TextPlace::InsideCell) + "]]");
  }
  lines.emplace_back(TableEnd);
  for (int i = 0; i < 3; ++i) lines.emplace_back(EmptyRow);
}

std::vector<std::string> TJournalPrintDocument::Journal(const TJournalFile& file, bool commandLineMode) const {
  std::vector<std::string> lines = Opening(LoadText(JournalTitleText));
  AddHeader(lines, file, commandLineMode);
  lines.emplace_back(JournalTableHead);
  for (const auto& entry : LineList(file)) lines.push_back(Cell(TextOf(entry)));
  lines.emplace_back(EmptyRow);
  lines.emplace_back(TableEnd);
  lines.emplace_back("]");
  return lines;
}

std::vector<std::string> TJournalPrintDocument::ReceiptCopies(const TJournalFile& file, bool commandLineMode) const {
  std::vector<std::string> lines = Opening(Utf8ToCp1250(ReceiptCopiesTitle));
  AddHeader(lines, file, commandLineMode);
  const PrintSize& size = SizeOf(size_);
  lines.emplace_back(size.TableHead);
  std::vector<std::string> list = LineList(file);
  MarkReceipts(list);
  for (auto& line : ReceiptCells(list, size.Columns)) lines.push_back(std::move(line));
  lines.emplace_back("]");
  return lines;
}

std::vector<std::string> TJournalPrintDocument::PlainText(const std::vector<std::string>& fileLines) const {
  std::vector<std::string> lines = Opening(LoadText(JournalTitleText));
  for (const auto& line : fileLines) lines.push_back(Cell(line));
  lines.emplace_back(TableEnd);
  lines.emplace_back("]");
  return lines;
}
