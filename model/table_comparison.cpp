#include "model/table_comparison.h"

#include <string_view>
#include <unordered_map>

#include "model/table_file.h"

namespace {

constexpr char Separator = ';';

constexpr std::size_t NoRow = static_cast<std::size_t>(-1);

class RowComparison {
public:
  RowComparison(const TSoubor& table, const std::vector<TRadek>& fileRows, const std::vector<TRadek>& registerRows)
      : table_(table),
        fileRows_(fileRows),
        registerRows_(registerRows),
        firstColumn_(FirstFileColumn(table)),
        keyed_(table.KeyColumn >= firstColumn_ && table.KeyColumn < static_cast<int>(table.Columns.size())) {}

  std::vector<std::string> Run() {
    if (keyed_) IndexFileRows();
    std::vector<bool> paired(fileRows_.size(), false);
    for (std::size_t index = 0; index < registerRows_.size(); ++index) {
      const TRadek& registerRow = registerRows_[index];
      const std::size_t fileIndex = TakeFileRow(registerRow, index);
      if (fileIndex == NoRow) {
        lines_.push_back("+ " + RowText(registerRow, true));
        continue;
      }
      paired[fileIndex] = true;
      CompareCells(fileRows_[fileIndex], registerRow, index);
    }
    for (std::size_t index = 0; index < fileRows_.size(); ++index) {
      if (!paired[index]) lines_.push_back("- " + RowText(fileRows_[index], false));
    }
    return std::move(lines_);
  }

private:
  // A row's key: its key cell, or its position from 1.
  std::string KeyOf(const TRadek& row, std::size_t index) const {
    return keyed_ ? row.Cell(table_.KeyColumn) : std::to_string(index + 1);
  }

  // The first file row of each key; the later rows of a key chained behind it.
  void IndexFileRows() {
    firstOfKey_.reserve(fileRows_.size());
    nextOfKey_.assign(fileRows_.size(), NoRow);
    std::vector<std::size_t> lastOfKey(fileRows_.size(), NoRow);
    for (std::size_t index = 0; index < fileRows_.size(); ++index) {
      const auto [found, added] = firstOfKey_.try_emplace(fileRows_[index].Cell(table_.KeyColumn), index);
      if (!added) nextOfKey_[lastOfKey[found->second]] = index;
      lastOfKey[found->second] = index;
    }
  }

  // The file row paired with the register row, or NoRow.
  std::size_t TakeFileRow(const TRadek& registerRow, std::size_t index) {
    if (!keyed_) return index < fileRows_.size() ? index : NoRow;
    const auto found = firstOfKey_.find(registerRow.Cell(table_.KeyColumn));
    if (found == firstOfKey_.end() || found->second == NoRow) return NoRow;
    const std::size_t taken = found->second;
    found->second = nextOfKey_[taken];
    return taken;
  }

  // A register cell as a table file writes it; file cells are kept so.
  std::string CellText(const TRadek& row, int column, bool fromRegister) const {
    const std::string& cell = row.Cell(column);
    return fromRegister ? FileCellText(table_.Columns[static_cast<std::size_t>(column)], cell) : cell;
  }

  std::string RowText(const TRadek& row, bool fromRegister) const {
    std::string text;
    for (int column = firstColumn_; column < ColumnCount(); ++column) {
      text += CellText(row, column, fromRegister);
      text += Separator;
    }
    return text;
  }

  void CompareCells(const TRadek& fileRow, const TRadek& registerRow, std::size_t index) {
    std::string changes;
    for (int column = firstColumn_; column < ColumnCount(); ++column) {
      const TSloupec& sloupec = table_.Columns[static_cast<std::size_t>(column)];
      // Only a marked cell is written otherwise than it is held.
      if (!sloupec.Mark && fileRow.Cell(column) == registerRow.Cell(column)) continue;
      const std::string old = CellText(fileRow, column, false);
      const std::string now = CellText(registerRow, column, true);
      if (old == now) continue;
      changes += Separator;
      changes.append(sloupec.Heading).append(": ").append(old).append(" -> ").append(now);
    }
    if (!changes.empty()) lines_.push_back("~ " + KeyOf(registerRow, index) + changes);
  }

  int ColumnCount() const { return static_cast<int>(table_.Columns.size()); }

  const TSoubor& table_;
  const std::vector<TRadek>& fileRows_;
  const std::vector<TRadek>& registerRows_;
  const int firstColumn_;
  const bool keyed_;
  std::unordered_map<std::string_view, std::size_t> firstOfKey_;
  std::vector<std::size_t> nextOfKey_;
  std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> CompareTableRows(const TSoubor& table, const std::vector<TRadek>& fileRows,
                                          const std::vector<TRadek>& registerRows) {
  return RowComparison(table, fileRows, registerRows).Run();
}
