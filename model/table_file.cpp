#include "model/table_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "base/communication_log.h"
#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/safe_output_file.h"
#include "model/table_numbers.h"
#include "model/tlumocnik_sloupce.h"
#include "model/value_conversions.h"

namespace {

constexpr char Separator = ';';
constexpr char CellEnd = '|';
constexpr std::string_view LineEnd = "\r\n";
// Blanks around a separated cell are allowed, so a separated line may be
// longer than its cells: up to twice each cell's width plus this much.
constexpr std::size_t SeparatedLineSlack = 256;
// Key layout lines carry free texts and picture names.
constexpr std::size_t KeyLayoutLineLimit = 4096;
constexpr std::size_t ReadChunk = 1 << 16;
// Far beyond the largest table (30,000 PLU rows take a few megabytes).
constexpr std::uint64_t MaxTableFileSize = std::uint64_t{1} << 30;

// Layout 2 width of every cell: its column's raw text width (twice the bytes
// of a number, the bytes of a text). Callers read these files by position.
int RawWidthOf(const TSloupec& column) { return column.RawTextWidth(); }

// Layout 2 width of a cell of a writable table holding a value that its raw
// width cannot take. A binary column's decimal value can be longer than twice
// its bytes (a one-byte "192" in two characters), so here its cell is as
// wide as the largest value its bytes hold: 3 characters for one byte, 5 for
// two, 10 for four. Every other column keeps its raw text width, so the line
// is longer than a raw one whenever the table has a binary column, and its
// length tells a loader which widths it was written with.
int WidenedWidthOf(const TSloupec& column) {
  if (column.Type != ColumnType::Binary || column.Width <= 0) return column.RawTextWidth();
  constexpr double DecimalDigitsPerBit = 0.30102999566398120;  // log10(2)
  return static_cast<int>(8 * column.Width * DecimalDigitsPerBit) + 1;
}

using CellWidth = int (*)(const TSloupec&);

bool KeepsRecordNumber(int tableNumber) { return TableNumber::HasRecordNumbers(tableNumber); }

[[noreturn]] void ThrowFileError(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), "table file " + path);
}

// ---------------------------------------------------------------- saving

// The file being written: TSafeOutputFile puts it under the target's name
// only when complete; each line ends in CR LF.
class TableFileWriter {
public:
  // The table file is the one the caller named (/FILE=): a link there is followed once.
  explicit TableFileWriter(const std::string& target) : file_(target, LinkRule::FollowOnce) {}

  void WriteLine(std::string_view line) {
    file_.Write(line);
    file_.Write(LineEnd);
  }

  void Commit() { file_.Commit(); }
  void Discard() noexcept { file_.Discard(); }

private:
  TSafeOutputFile file_;
};

// Decimal value of the hex digits of a marked cell.
std::string MarkedCellAsDecimal(std::string_view cell) {
  unsigned value = 0;
  for (const char digit : cell.substr(0, 2)) value = value * 16 + HexDigitValue(digit);
  return std::to_string(value);
}

// The widths a table is saved with in layout 2: the raw widths whenever every
// cell fits them, so that a file comes out as it always did; the widened
// widths only for a writable table holding a value too wide for its raw cell.
// A report table's file is never read back: it keeps the raw widths.
CellWidth FixedWidthsFor(const TSoubor& table, int firstColumn) {
  if (!table.Writable) return &RawWidthOf;
  for (const TRadek& row : table.Rows) {
    for (int index = firstColumn; index < static_cast<int>(table.Columns.size()); ++index) {
      const TSloupec& column = table.Columns[static_cast<std::size_t>(index)];
      const std::string& cell = row.Cell(index);
      const std::size_t length = column.Mark ? MarkedCellAsDecimal(cell).size() : cell.size();
      if (length > static_cast<std::size_t>(RawWidthOf(column))) return &WidenedWidthOf;
    }
  }
  return &RawWidthOf;
}

std::string SeparatedLine(const TSoubor& table, const TRadek& row, int firstColumn) {
  std::string line;
  for (int index = firstColumn; index < static_cast<int>(table.Columns.size()); ++index) {
    line += FileCellText(table.Columns[static_cast<std::size_t>(index)], row.Cell(index));
    line += CellEnd;
  }
  return line;
}

[[noreturn]] void ThrowCellTooWide(int rowIndex, int columnIndex, const std::string& cell, int width) {
  throw std::length_error("Radek " + std::to_string(rowIndex) + " sloupec " + std::to_string(columnIndex) + ": \"" +
                          cell + "\" je delsi nez " + std::to_string(width) + " znaku");
}

// A cell wider than its field cannot be cut without losing data; a report
// table's file is never read back, so there the whole cell is written, while
// a writable table's file must load again and the save is refused. (Decoded
// cells always fit the widened widths: binary cells have room for their
// largest value.)
std::string FixedWidthLine(const TSoubor& table, int rowIndex, int firstColumn, CellWidth widthOf) {
  const TRadek& row = table.Rows[static_cast<std::size_t>(rowIndex)];
  std::string line;
  for (int index = firstColumn; index < static_cast<int>(table.Columns.size()); ++index) {
    const TSloupec& column = table.Columns[static_cast<std::size_t>(index)];
    const std::string cell = FileCellText(column, row.Cell(index));
    const int fieldWidth = widthOf(column);
    const auto width = static_cast<std::size_t>(fieldWidth);
    if (cell.size() > width && table.Writable) ThrowCellTooWide(rowIndex, index, cell, fieldWidth);
    const std::string padding(width > cell.size() ? width - cell.size() : 0, ' ');
    line += column.Type == ColumnType::Text ? cell + padding : padding + cell;
  }
  return line;
}

void WriteKeyLayouts(TableFileWriter& file, const TKeyLayouts& keyLayouts) {
  file.WriteLine(KeyLayoutSectionMark + std::to_string(keyLayouts.size()));
  for (const auto& design : keyLayouts) file.WriteLine(design->ToLine());
}

// `widthOf` gives the layout 2 widths; none for layout 1.
void WriteRow(TableFileWriter& file, const TSoubor& table, int rowIndex, int firstColumn, int codePage,
              CellWidth widthOf) {
  const bool fixedWidth = widthOf != nullptr;
  LogLine((fixedWidth ? "Format2 radek " : "Format1 radek ") + std::to_string(rowIndex));
  std::string line = fixedWidth ? FixedWidthLine(table, rowIndex, firstColumn, widthOf)
                                : SeparatedLine(table, table.Rows[static_cast<std::size_t>(rowIndex)], firstColumn);
  LogLine("Kodovani");
  if (codePage == TableFileCodePage::Register) line = ToRegisterCharset(line);
  LogLine("Write");
  if (!fixedWidth) line = ReplaceByte(line, CellEnd, Separator);
  file.WriteLine(line);
}

void WriteContents(TableFileWriter& file, const TSoubor& table, int codePage, bool reverse,
                   const TKeyLayouts& keyLayouts, int layout, int firstColumn) {
  if (table.Number == TableNumber::Keyboard) WriteKeyLayouts(file, keyLayouts);
  const CellWidth widthOf = layout == TableFileLayout::FixedWidth ? FixedWidthsFor(table, firstColumn) : nullptr;
  const int rowCount = static_cast<int>(table.Rows.size());
  InLogBurst([&] {
    for (int step = 0; step < rowCount; ++step) {
      WriteRow(file, table, reverse ? rowCount - 1 - step : step, firstColumn, codePage, widthOf);
    }
  });
}

// ---------------------------------------------------------------- loading

// Reads a table file line by line (lines end in LF or CR LF; a last line
// without its end counts too). Only a regular file is read: a device or a
// FIFO could deliver without end or block. A line longer than its limit
// raises error 22 as soon as that is known, without reading further.
class TableFileReader {
public:
  explicit TableFileReader(const std::string& path) : path_(path), file_(Open(path)) {}

  /// The next line without its end; false at the end of the file.
  bool Next(std::string& line, std::size_t limit) {
    for (;;) {
      const auto end = buffer_.find('\n', start_);
      if (end != std::string::npos) return Take(line, end, end + 1, limit);
      if (buffer_.size() - start_ > limit + 1) RaiseError(ErrorNumber::BadTableFile);
      if (!ReadMore()) return start_ < buffer_.size() && Take(line, buffer_.size(), buffer_.size(), limit);
    }
  }

private:
  bool Take(std::string& line, std::size_t end, std::size_t next, std::size_t limit) {
    line.assign(buffer_, start_, end - start_);
    start_ = next;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > limit) RaiseError(ErrorNumber::BadTableFile);
    return true;
  }

  bool ReadMore() {
    buffer_.erase(0, start_);
    start_ = 0;
    char chunk[ReadChunk];
    const std::size_t count = std::fread(chunk, 1, sizeof chunk, file_->Stream());
    if (count == 0 && std::ferror(file_->Stream())) ThrowFileError(errno, path_);
    buffer_.append(chunk, count);
    return count > 0;
  }

  static std::unique_ptr<TInputFile> Open(const std::string& path) {
    try {
      return std::make_unique<TInputFile>(path, MaxTableFileSize);
    } catch (const std::system_error& failure) {
      const int error = failure.code().value();
      ThrowFileError(error, error == EINVAL ? path + " (not a regular file)" : path);
    }
  }

  std::string path_;
  std::unique_ptr<TInputFile> file_;
  std::string buffer_;
  std::size_t start_ = 0;
};

// Decimal count after the section mark; 0 when it is not a number.
std::size_t KeyLayoutCount(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::size_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  return error == std::errc() && end == text.data() + text.size() ? count : 0;
}

// The key layout lines after the section mark, as many as `countText` says,
// replace `keyLayouts`. A count above `limit` raises error 22 before a line
// is read, the key layouts left as they were.
void ReadKeyLayouts(TableFileReader& reader, std::string_view countText, std::size_t limit, TKeyLayouts& keyLayouts) {
  const std::size_t count = KeyLayoutCount(countText);
  if (count > limit) RaiseError(ErrorNumber::BadTableFile);
  keyLayouts.clear();
  std::string layoutLine;
  for (std::size_t read = 0; read < count && reader.Next(layoutLine, KeyLayoutLineLimit); ++read) {
    keyLayouts.push_back(std::make_unique<TKlavesaDesign>(TKlavesaDesign::FromLine(layoutLine)));
  }
}

int FixedWidthLength(const TSoubor& table, int firstColumn, CellWidth widthOf) {
  int length = 0;
  for (std::size_t index = static_cast<std::size_t>(firstColumn); index < table.Columns.size(); ++index) {
    length += widthOf(table.Columns[index]);
  }
  return length;
}

// The cell widths a line of this length was written with, or error 22.
CellWidth WidthsOfLine(const TSoubor& table, int firstColumn, std::size_t lineLength) {
  for (const CellWidth widthOf : {&RawWidthOf, &WidenedWidthOf}) {
    if (static_cast<int>(lineLength) == FixedWidthLength(table, firstColumn, widthOf)) return widthOf;
  }
  RaiseError(ErrorNumber::BadTableFile);
}

// The longest row line the table's columns allow in the layout.
std::size_t RowLineLimit(const TSoubor& table, int firstColumn, int layout) {
  const auto cells = static_cast<std::size_t>(std::max(FixedWidthLength(table, firstColumn, &WidenedWidthOf),
                                                       FixedWidthLength(table, firstColumn, &RawWidthOf)));
  if (layout == TableFileLayout::FixedWidth) return cells;
  const std::size_t separators = table.Columns.size() - std::min(table.Columns.size(), std::size_t{1});
  return 2 * cells + separators + SeparatedLineSlack;
}

// A cell that would not reach the register as written raises error 22: one
// of the wrong kind for its column, or a value its field cannot hold.
void CheckCellValue(const TSloupec& column, std::string_view cell) {
  if (!CellPassesInputCheck(column.Type, cell) || !CellFitsField(column, cell)) RaiseError(ErrorNumber::BadTableFile);
}

std::vector<std::string> FixedWidthCells(const TSoubor& table, std::string line, int firstColumn, int codePage) {
  if (codePage == TableFileCodePage::Register) line = FromRegisterCharset(line);
  const CellWidth widthOf = WidthsOfLine(table, firstColumn, line.size());
  std::vector<std::string> cells;
  std::size_t position = 0;
  for (std::size_t index = static_cast<std::size_t>(firstColumn); index < table.Columns.size(); ++index) {
    const TSloupec& column = table.Columns[index];
    const auto width = static_cast<std::size_t>(widthOf(column));
    const std::string_view field = std::string_view(line).substr(position, width);
    position += width;
    std::string cell = column.Type == ColumnType::Text ? TrimTrailingBlanks(field) : TrimLeadingBlanks(field);
    CheckCellValue(column, cell);
    cells.push_back(std::move(cell));
  }
  return cells;
}

std::vector<std::string> SeparatedCells(const TSoubor& table, std::string line, int firstColumn, int codePage) {
  if (line.empty() || line.back() != Separator) line += Separator;
  line = ReplaceByte(line, Separator, CellEnd);
  if (codePage == TableFileCodePage::Register) line = FromRegisterCharset(line);
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (auto end = line.find(CellEnd); end != std::string::npos; end = line.find(CellEnd, start)) {
    cells.push_back(TrimTrailingBlanks(TrimLeadingBlanks(std::string_view(line).substr(start, end - start))));
    start = end + 1;
  }
  if (static_cast<int>(cells.size()) + firstColumn != static_cast<int>(table.Columns.size())) {
    RaiseError(ErrorNumber::BadTableFile);
  }
  for (std::size_t index = 0; index < cells.size(); ++index) {
    const TSloupec& column = table.Columns[index + static_cast<std::size_t>(firstColumn)];
    std::string& cell = cells[index];
    cell = PriceToRegisterForm(column.Type, cell);
    if (column.Type != ColumnType::Binary && static_cast<int>(cell.size()) > column.RawTextWidth()) {
      RaiseError(ErrorNumber::BadTableFile);
    }
    CheckCellValue(column, cell);
  }
  return cells;
}

// Cells are set one by one rather than through the row text, so a "|" inside
// a fixed-width text cell stays part of the cell.
void AppendRow(TSoubor& table, const std::vector<std::string>& cells, int firstColumn, int recordNumber) {
  TRadek& row = table.AddRow(-1, {});
  if (firstColumn == 1) row.SetCell(0, std::to_string(recordNumber));
  for (std::size_t index = 0; index < cells.size(); ++index) {
    const auto column = index + static_cast<std::size_t>(firstColumn);
    row.SetCell(static_cast<int>(column), std::string(table.Columns[column].CutToDisplay(cells[index])));
  }
}

}  // namespace

std::size_t KeyLayoutLimit(const TSoubor& keyboard) {
  int keyCodeBytes = 0;
  for (const TSloupec& column : keyboard.Columns) {
    if (column.Type == ColumnType::Hex) keyCodeBytes += column.Width;
  }
  const int keysPerRow = keyCodeBytes / TKlavesaDesign::KeyCodeBytes;
  return static_cast<std::size_t>(keyboard.RowLimit()) * static_cast<std::size_t>(std::max(keysPerRow, 0));
}

int FirstFileColumn(const TSoubor& table) { return table.Writable && !KeepsRecordNumber(table.Number) ? 1 : 0; }

std::string FileCellText(const TSloupec& column, const std::string& cell) {
  return column.Mark ? MarkedCellAsDecimal(cell) : cell;
}

void SaveTable(const TSoubor& table, const std::string& path, int codePage, bool reverse, const TKeyLayouts& keyLayouts,
               int layout) {
  LogLine("Uloz begin");
  const int firstColumn = FirstFileColumn(table);
  LogLine("AssignFile \"" + path + "\"");
  LogLine("Rewrite");
  std::unique_ptr<TableFileWriter> file;
  std::exception_ptr failure;
  try {
    file = std::make_unique<TableFileWriter>(path);
    LogLine("Rewrite OK");
    WriteContents(*file, table, codePage, reverse, keyLayouts, layout, firstColumn);
  } catch (...) {
    failure = std::current_exception();
  }
  // The closing steps are logged whether the saving succeeded or not.
  LogLine("Close");
  if (failure) {
    if (file) file->Discard();
  } else {
    file->Commit();
  }
  LogLine("Close OK");
  if (failure) std::rethrow_exception(failure);
}

void LoadTable(TSoubor& table, const std::string& path, int codePage, TKeyLayouts& keyLayouts, int firstColumn,
               int layout) {
  TableFileReader reader(path);
  table.Rows.clear();
  const std::string_view sectionMark = KeyLayoutSectionMark;
  const std::size_t lineLimit = std::max(RowLineLimit(table, firstColumn, layout), sectionMark.size() + 20);
  const auto rowLimit = static_cast<std::size_t>(table.RowLimit());
  int recordNumber = 1;
  std::string line;
  while (reader.Next(line, lineLimit)) {
    if (line.starts_with(sectionMark)) {
      ReadKeyLayouts(reader, std::string_view(line).substr(sectionMark.size()), KeyLayoutLimit(table), keyLayouts);
      continue;
    }
    // A file of more rows than the table takes is refused before it fills the memory.
    if (table.Rows.size() >= rowLimit) RaiseError(ErrorNumber::BadTableFile);
    const std::vector<std::string> cells = layout == TableFileLayout::FixedWidth
                                               ? FixedWidthCells(table, line, firstColumn, codePage)
                                               : SeparatedCells(table, line, firstColumn, codePage);
    AppendRow(table, cells, firstColumn, recordNumber);
    ++recordNumber;
  }
}
