#include "model/soubor.h"

#include <stdexcept>
#include <utility>

#include "model/table_numbers.h"
#include "model/value_conversions.h"

namespace {

// A register may hold more rows than the catalogue says (more memory, newer
// firmware): a table takes up to twice its capacity plus this many.
constexpr int RowMargin = 100;

}  // namespace

TSloupec& TSoubor::AddColumn(std::uint8_t type, int width) { return Columns.emplace_back(type, width); }

TSloupec* TSoubor::Column(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= Columns.size()) return nullptr;
  return &Columns[static_cast<std::size_t>(index)];
}

const TSloupec* TSoubor::Column(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= Columns.size()) return nullptr;
  return &Columns[static_cast<std::size_t>(index)];
}

TRadek& TSoubor::AddRow(int position, std::string_view rowText) {
  TRadek row(static_cast<int>(Columns.size()));
  row.SetDefaults(Columns);
  row.ReadRowText(rowText, Columns);
  if (position == -1 || Rows.empty()) {
    Rows.push_back(std::move(row));
    return Rows.back();
  }
  if (position < 0 || static_cast<std::size_t>(position) > Rows.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(position) + ")");
  }
  return *Rows.insert(Rows.begin() + position, std::move(row));
}

int TSoubor::CheckKeyOrder(bool skipPlu) const {
  if (KeyColumn < 0 || Rows.empty() || (Number == TableNumber::Plu && skipPlu)) return 0;
  auto previous = StrToInt64(Rows.front().Cell(KeyColumn));
  for (std::size_t i = 1; i < Rows.size(); ++i) {
    const auto key = StrToInt64(Rows[i].Cell(KeyColumn));
    if (key == previous) return static_cast<int>(i);
    if (key < previous) return -static_cast<int>(i);
    previous = key;
  }
  return 0;
}

int TSoubor::RowLimit() const { return Capacity > 0 ? 2 * Capacity + RowMargin : RowsWithoutCapacity; }
