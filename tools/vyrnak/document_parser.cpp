#include "tools/vyrnak/document_parser.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view FontLinePrefix = "TSKS1F[";
constexpr int DeepestNesting = 8;
constexpr int LargestFontSize = 72;

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

// Splits at LF; a CR before it belongs to the line end.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    auto line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Printable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("\"") + c + "\"";
  static constexpr char Hex[] = "0123456789ABCDEF";
  return std::string("byte ") + Hex[byte >> 4] + Hex[byte & 0xF] + "h";
}

void CheckFontLineText(std::string_view line) {
  if (const auto bad = std::find_if(line.begin(), line.end(), IsControl); bad != line.end())
    throw EMalformedDocument("line 1: control character (" + Printable(*bad) + ") in the font line");
}

// "TSKS1F[Courier New,9][Title]"
void ParseFontLine(std::string_view line, TPrintDocument& document) {
  CheckFontLineText(line);
  if (!line.starts_with(FontLinePrefix))
    throw EMalformedDocument("line 1: the document does not begin with a font line (\"TSKS1F[\")");
  line.remove_prefix(FontLinePrefix.size());
  const auto comma = line.find(',');
  const auto close = line.find("][");
  if (comma == std::string_view::npos || close == std::string_view::npos || comma > close || !line.ends_with("]"))
    throw EMalformedDocument("line 1: the font line is not \"TSKS1F[font,size][title]\"");
  document.fontName = std::string(line.substr(0, comma));
  const auto size = line.substr(comma + 1, close - comma - 1);
  if (size.empty() || size.size() > 2 || !std::all_of(size.begin(), size.end(), IsDecimalDigit))
    throw EMalformedDocument("line 1: font size \"" + std::string(size) + "\" is not a number");
  document.fontSize = std::stoi(std::string(size));
  if (document.fontSize < 1 || document.fontSize > LargestFontSize)
    throw EMalformedDocument("line 1: font size " + std::string(size) + " is out of range");
  document.title = std::string(line.substr(close + 2, line.size() - close - 3));
}

}  // namespace

TPrintDocument TDocumentParser::Parse(std::string_view bytes) {
  const auto lines = SplitLines(bytes);
  if (lines.empty()) throw EMalformedDocument("the document is empty");
  TPrintDocument document;
  ParseFontLine(lines.front(), document);

  TDocumentParser parser({}, 2);
  parser.text_.reserve(bytes.size());
  parser.lineStarts_.reserve(lines.size());
  for (std::size_t i = 1; i < lines.size(); ++i) {
    parser.lineStarts_.push_back(parser.text_.size());
    parser.text_ += lines[i];
  }
  if (parser.AtEnd()) throw EMalformedDocument("line 2: the document has no page table after its font line");
  parser.ParseTable(document.page);
  while (!parser.AtEnd() && (parser.Peek() == ' ' || parser.Peek() == '\t')) ++parser.position_;
  if (!parser.AtEnd()) parser.Fail("text after the end of the page table");
  return document;
}

TDocumentParser::TDocumentParser(std::string_view body, std::size_t firstLineNumber)
    : text_(body), firstLineNumber_(firstLineNumber) {}

char TDocumentParser::Peek(std::size_t ahead) const {
  return position_ + ahead < text_.size() ? text_[position_ + ahead] : '\0';
}

bool TDocumentParser::LookingAt(std::string_view word) const {
  return std::string_view(text_).substr(position_).starts_with(word);
}

void TDocumentParser::Expect(std::string_view word, std::string_view what) {
  if (!LookingAt(word)) Fail("expected " + std::string(what));
  position_ += word.size();
}

int TDocumentParser::ReadDigits(std::size_t count, std::string_view what) {
  int value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!IsDecimalDigit(Peek())) Fail("expected " + std::string(what));
    value = value * 10 + (Peek() - '0');
    ++position_;
  }
  return value;
}

std::string TDocumentParser::Describe(std::size_t at) const {
  const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at);
  const auto index = static_cast<std::size_t>(next - lineStarts_.begin());
  const auto line = firstLineNumber_ + (index == 0 ? 0 : index - 1);
  return "line " + std::to_string(line);
}

void TDocumentParser::Fail(std::string_view what) const {
  const std::string found = AtEnd() ? "the end of the document" : Printable(Peek());
  throw EMalformedDocument(Describe(position_) + ": " + std::string(what) + ", found " + found);
}

void TDocumentParser::ParseTable(TTable& table) {
  if (++depth_ > DeepestNesting) Fail("tables nested too deeply");
  Expect("[TB", "a table (\"[TB\")");
  if (Peek() != '0' && Peek() != '1') Fail("unknown table border (0 or 1)");
  table.framed = Peek() == '1';
  ++position_;
  Expect("W", "the table width (\"W\")");
  table.widthPercent = std::clamp(ReadDigits(3, "three digits of the table width"), 1, 100);
  ParseColumns(table);
  while (ParseTableOption(table)) {
  }
  while (Peek() == '[') table.rows.push_back(ParseRow());
  if (AtEnd()) Fail("unbalanced brackets: a table is not closed");
  Expect("]", "a row (\"[\") or the end of the table (\"]\")");
  --depth_;
}

void TDocumentParser::ParseColumns(TTable& table) {
  Expect("[", "the column list (\"[\")");
  do {
    TColumn column;
    switch (Peek()) {
      case 'L':
        column.alignment = TAlignment::Left;
        break;
      case 'C':
        column.alignment = TAlignment::Centre;
        break;
      case 'R':
        column.alignment = TAlignment::Right;
        break;
      default:
        Fail("unknown column alignment (L, C or R)");
    }
    ++position_;
    while (std::isupper(static_cast<unsigned char>(Peek())) && !LookingAt("WMAX") && Peek() != 'W') ++position_;
    Expect("W", "the column width (\"W\")");
    if (LookingAt("MAX")) {
      position_ += 3;
      ReadDigits(3, "three digits after \"MAX\"");
    } else {
      column.widthPercent = std::clamp(ReadDigits(3, "three digits of the column width"), 0, 100);
    }
    table.columns.push_back(column);
  } while (Peek() == ',' && ++position_);
  Expect("]", "the end of the column list (\"]\")");
}

bool TDocumentParser::ParseTableOption(TTable& table) {
  if (LookingAt("PF")) {
    position_ += 2;
    const char sign = Peek();
    if (sign != '+' && sign != '-') Fail("a sign of the page heading size (\"+\" or \"-\")");
    ++position_;
    const int change = ReadDigits(2, "two digits of the page heading size");
    table.headingSizeDelta = sign == '-' ? -change : change;
    if (Peek() != '[') Fail("expected the page heading row (\"[\")");
    table.pageHeading = ParseRow();
    table.hasPageHeading = true;
    return true;
  }
  if (LookingAt("D[")) {
    position_ += 2;
    while (std::isalnum(static_cast<unsigned char>(Peek()))) ++position_;
    Expect("]", "the end of the detail format (\"]\")");
    return true;
  }
  if (Peek() != '[' && Peek() != ']' && !AtEnd()) Fail("unknown table option");
  return false;
}

TRow TDocumentParser::ParseRow() {
  const auto start = position_;
  Expect("[", "a row (\"[\")");
  TRow row;
  if (LookingAt("PA[")) {
    row.keepTogether = true;
    position_ += 2;
  } else if (Peek() != '[') {
    Fail("unknown row attribute (only \"PA\")");
  }
  ++position_;  // the cell's "["
  do {
    TCell& cell = row.cells.emplace_back();
    ParseCellInner(cell);
  } while (Peek() == '[' && ++position_);
  if (AtEnd()) {
    position_ = start;
    Fail("unbalanced brackets: this row is not closed");
  }
  Expect("]", "the end of the row (\"]\")");
  return row;
}

void TDocumentParser::ParseCellInner(TCell& cell) {
  if (Peek() == '[') {
    if (!LookingAt("[TB")) Fail("unknown token at the start of a cell (only a table \"[TB\")");
    cell.table = std::make_unique<TTable>();
    ParseTable(*cell.table);
    Expect("]", "the end of the cell holding a table (\"]\")");
    return;
  }
  if (Peek() == '~') ParseSizeToken(cell);
  ParseCellText(cell);
}

// "~+04B~": the text four points larger, in bold.
void TDocumentParser::ParseSizeToken(TCell& cell) {
  ++position_;
  const char sign = Peek();
  if (sign != '+' && sign != '-') Fail("unknown size token (\"~+04B~\" and the like)");
  ++position_;
  const int change = ReadDigits(2, "two digits of the size token");
  cell.sizeDelta = sign == '-' ? -change : change;
  if (Peek() == 'B') {
    cell.bold = true;
    ++position_;
  }
  Expect("~", "the end of the size token (\"~\")");
}

void TDocumentParser::ParseCellText(TCell& cell) {
  while (!AtEnd()) {
    const char c = Peek();
    if (c == ']' && (Peek(1) == '[' || Peek(1) == ']' || position_ + 1 == text_.size())) {
      ++position_;
      return;
    }
    if (c == '[' && (Peek(1) == '[' || LookingAt("[PA[") || LookingAt("[TB")))
      Fail("unbalanced brackets: a cell is not closed before the next row or table");
    if (IsControl(c)) Fail("control character in the text");
    if (c == '$') {
      cell.lines.emplace_back();
    } else {
      cell.lines.back() += c;
    }
    ++position_;
  }
  Fail("unbalanced brackets: a cell is not closed");
}
