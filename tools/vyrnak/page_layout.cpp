#include "tools/vyrnak/page_layout.h"

#include <algorithm>
#include <cmath>

namespace {

using G = TPageGeometry;

constexpr double SmallestSize = 4;
constexpr double FramePadding = 3;       // between a frame and its text, in points
constexpr double HeadingGapLines = 0.8;  // below the page heading's rule, in heading lines
constexpr double BaselineShare = 0.8;    // of a line's height, above the baseline

double ContentWidth() { return G::Width - 2 * G::Margin; }
double ContentBottom() { return G::Height - G::Margin; }

double SizeWith(double base, int delta) { return std::max(SmallestSize, base + delta); }

// Pieces of at most `capacity` characters; an empty line stays one empty piece.
std::vector<std::string> Wrapped(const std::string& line, std::size_t capacity) {
  if (line.size() <= capacity) return {line};
  std::vector<std::string> pieces;
  for (std::size_t start = 0; start < line.size(); start += capacity) pieces.push_back(line.substr(start, capacity));
  return pieces;
}

// Where a text of `textWidth` starts in a cell; never left of the cell.
double AlignedX(TAlignment alignment, double cellX, double cellWidth, double padding, double textWidth) {
  double x = cellX + padding;
  if (alignment == TAlignment::Centre) x = cellX + (cellWidth - textWidth) / 2;
  if (alignment == TAlignment::Right) x = cellX + cellWidth - padding - textWidth;
  return std::max(x, cellX);
}

void ReplaceAll(std::string& text, std::string_view field, const std::string& value) {
  for (auto at = text.find(field); at != std::string::npos; at = text.find(field, at + value.size()))
    text.replace(at, field.size(), value);
}

}  // namespace

TPageLayout::TPageLayout(std::string date, std::string time) : date_(std::move(date)), time_(std::move(time)) {}

double TPageLayout::TBlock::Height() const {
  double height = 0;
  for (const auto& band : bands) height += band.height;
  return height;
}

std::vector<TLaidOutPage> TPageLayout::LayOut(const TPrintDocument& document) {
  fontSize_ = document.fontSize;
  pages_.clear();
  const auto& page = document.page;
  headingHeight_ = 0;
  if (page.hasPageHeading) {
    const double size = SizeWith(fontSize_, page.headingSizeDelta);
    const TBox box{G::Margin, ContentWidth()};
    headingHeight_ =
        MakeBlock(page.pageHeading, page, box, page.headingSizeDelta).Height() + size * G::Leading * HeadingGapLines;
  }
  StartPage();
  PlaceRows(page, TBox{G::Margin, ContentWidth()});
  AddHeadings(page);
  return std::move(pages_);
}

// A row holding nothing but a nested table places that table's rows; any other
// row is one block.
void TPageLayout::PlaceRows(const TTable& table, TBox box) {
  const TBox tableBox{box.x, box.width * table.widthPercent / 100.0};
  for (const auto& row : table.rows) {
    const auto cells = CellBoxes(row, table, tableBox);
    if (row.cells.size() == 1 && row.cells.front().table) {
      PlaceRows(*row.cells.front().table, cells.front());
      continue;
    }
    Place(MakeBlock(row, table, tableBox));
  }
}

// Columns take their percentage of the table; columns without one share the
// rest. A row with more cells than the table has columns spreads them evenly.
std::vector<TPageLayout::TBox> TPageLayout::CellBoxes(const TRow& row, const TTable& table, TBox box) const {
  std::vector<TBox> boxes;
  const std::size_t count = row.cells.size();
  if (count > table.columns.size() || table.columns.empty()) {
    const auto share = static_cast<double>(count);
    for (std::size_t i = 0; i < count; ++i)
      boxes.push_back({box.x + box.width * static_cast<double>(i) / share, box.width / share});
    return boxes;
  }
  double fixed = 0;
  std::size_t open = 0;
  for (const auto& column : table.columns) {
    fixed += column.widthPercent;
    open += column.widthPercent == 0 ? 1 : 0;
  }
  const double openPercent = open == 0 ? 0 : std::max(0.0, 100 - fixed) / static_cast<double>(open);
  double x = box.x;
  for (std::size_t i = 0; i < count; ++i) {
    const auto& column = table.columns[i];
    const double width = box.width * (column.widthPercent == 0 ? openPercent : column.widthPercent) / 100.0;
    boxes.push_back({x, width});
    x += width;
  }
  return boxes;
}

TPageLayout::TBlock TPageLayout::MakeBlock(const TRow& row, const TTable& table, TBox box, int sizeDelta) const {
  TBlock block;
  block.keepTogether = row.keepTogether;
  const auto boxes = CellBoxes(row, table, box);
  const double padding = table.framed ? FramePadding : 0;
  const bool spread = row.cells.size() > table.columns.size();

  double bandHeight = 0;
  std::vector<std::vector<std::string>> lines;
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    const double size = SizeWith(fontSize_, sizeDelta + row.cells[i].sizeDelta);
    bandHeight = std::max(bandHeight, size * G::Leading);
    lines.push_back(CellLines(row.cells[i], size, boxes[i].width - 2 * padding));
  }
  std::size_t bandCount = 0;
  for (const auto& cellLines : lines) bandCount = std::max(bandCount, cellLines.size());

  if (table.framed) block.bands.push_back({padding, {}});
  for (std::size_t b = 0; b < bandCount; ++b) {
    TBand band{bandHeight, {}};
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      if (b >= lines[i].size() || lines[i][b].empty()) continue;
      const auto& cell = row.cells[i];
      const double size = SizeWith(fontSize_, sizeDelta + cell.sizeDelta);
      const double textWidth = static_cast<double>(lines[i][b].size()) * size * G::CharWidth;
      auto alignment = i < table.columns.size() ? table.columns[i].alignment : TAlignment::Left;
      if (spread)
        alignment = i == 0 ? TAlignment::Left : i + 1 == row.cells.size() ? TAlignment::Right : TAlignment::Centre;
      const double x = AlignedX(alignment, boxes[i].x, boxes[i].width, padding, textWidth);
      band.texts.push_back({x, bandHeight * BaselineShare, size, cell.bold, lines[i][b]});
    }
    block.bands.push_back(std::move(band));
  }
  if (table.framed) {
    block.bands.push_back({padding, {}});
    for (const auto& cellBox : boxes) block.frameColumns.emplace_back(cellBox.x, cellBox.width);
  }
  return block;
}

// The cell's lines with date and time filled in, wrapped at the width.
std::vector<std::string> TPageLayout::CellLines(const TCell& cell, double size, double width) const {
  const auto capacity = static_cast<std::size_t>(std::max(1.0, std::floor(width / (size * G::CharWidth) + 1e-9)));
  std::vector<std::string> lines;
  for (const auto& line : cell.lines) {
    for (auto& piece : Wrapped(WithDateAndTime(line), capacity)) lines.push_back(std::move(piece));
  }
  return lines;
}

std::string TPageLayout::WithDateAndTime(std::string text) const {
  if (text.find('#') == std::string::npos) return text;
  ReplaceAll(text, "#DT", date_);
  ReplaceAll(text, "#TM", time_);
  return text;
}

void TPageLayout::StartPage() {
  constexpr std::size_t LinesOfAFullPage = 160;
  pages_.emplace_back().texts.reserve(LinesOfAFullPage);
  cursor_ = G::Margin + headingHeight_;
}

double TPageLayout::SpaceLeft() const { return ContentBottom() - cursor_; }

void TPageLayout::Place(TBlock&& block) {
  const double height = block.Height();
  const double pageSpace = ContentBottom() - G::Margin - headingHeight_;
  const bool pageStarted = cursor_ > G::Margin + headingHeight_;
  if (block.keepTogether && height > SpaceLeft() && height <= pageSpace && pageStarted) StartPage();
  double frameTop = cursor_;
  for (auto& band : block.bands) {
    if (band.height > SpaceLeft() && cursor_ > G::Margin + headingHeight_) {
      CloseFrames(block, frameTop, cursor_);
      StartPage();
      frameTop = cursor_;
    }
    const double top = cursor_;
    cursor_ += band.height;
    PlaceBand(std::move(band), top);
  }
  CloseFrames(block, frameTop, cursor_);
}

void TPageLayout::PlaceBand(TBand&& band, double top) {
  auto& texts = pages_.back().texts;
  for (auto& text : band.texts) {
    text.baseline += top;
    texts.push_back(std::move(text));
  }
}

void TPageLayout::CloseFrames(const TBlock& block, double top, double bottom) {
  if (bottom <= top) return;
  for (const auto& [x, width] : block.frameColumns) pages_.back().frames.push_back({x, top, width, bottom - top});
}

// The heading row with its page number and count, over a rule, on every page.
void TPageLayout::AddHeadings(const TTable& page) {
  if (!page.hasPageHeading) return;
  const std::string count = std::to_string(pages_.size());
  const TBox box{G::Margin, ContentWidth()};
  for (std::size_t number = 0; number < pages_.size(); ++number) {
    TRow heading;
    for (const auto& cell : page.pageHeading.cells) {
      TCell& copy = heading.cells.emplace_back();
      copy.lines = cell.lines;
      copy.sizeDelta = cell.sizeDelta;
      copy.bold = cell.bold;
      for (auto& line : copy.lines) {
        ReplaceAll(line, "#PP", std::to_string(number + 1));
        ReplaceAll(line, "#PT", count);
      }
    }
    const TBlock block = MakeBlock(heading, page, box, page.headingSizeDelta);
    auto& texts = pages_[number].texts;
    double top = G::Margin;
    for (const auto& band : block.bands) {
      for (const auto& text : band.texts) {
        texts.push_back(text);
        texts.back().baseline += top;
      }
      top += band.height;
    }
    pages_[number].frames.push_back({G::Margin, top + 2, ContentWidth(), 0});
  }
}
