#include "model/radek.h"

#include <utility>

#include "base/communication_log.h"

namespace {

const std::string EmptyCell;

bool Inside(int index, std::size_t count) { return index >= 0 && static_cast<std::size_t>(index) < count; }

}  // namespace

TRadek::TRadek(int cellCount) : cells_(cellCount > 0 ? static_cast<std::size_t>(cellCount) : 0) {}

const std::string& TRadek::Cell(int index) const {
  return Inside(index, cells_.size()) ? cells_[static_cast<std::size_t>(index)] : EmptyCell;
}

void TRadek::SetCell(int index, std::string text) {
  if (!Inside(index, cells_.size())) {
    LogLine("ZADAVANO DO SLOUPCE, KTERY NEEXISTUJE!!!");
    return;
  }
  cells_[static_cast<std::size_t>(index)] = std::move(text);
}

void TRadek::SetDefaults(const std::vector<TSloupec>& columns) {
  for (std::size_t i = 0; i < cells_.size() && i < columns.size(); ++i) cells_[i] = columns[i].DefaultCell();
}

void TRadek::ReadRowText(std::string_view text, const std::vector<TSloupec>& columns) {
  std::size_t index = 0;
  std::size_t start = 0;
  for (auto bar = text.find('|'); bar != std::string_view::npos && index < cells_.size();
       start = bar + 1, bar = text.find('|', start), ++index) {
    auto cell = text.substr(start, bar - start);
    if (index < columns.size()) cell = columns[index].CutToDisplay(cell);
    cells_[index].assign(cell);
  }
}

std::string TRadek::WriteRowText(int firstCell) const {
  std::string text;
  for (std::size_t i = firstCell > 0 ? static_cast<std::size_t>(firstCell) : 0; i < cells_.size(); ++i) {
    text += cells_[i];
    text += '|';
  }
  return text;
}
