#include "model/table_comparison.h"

#include <optional>
#include <unordered_map>

#include "model/table_file.h"

namespace {

constexpr char Separator = ';';

class RowComparison {
public:
  RowComparison(const TSoubor& table, const std::vector<TRadek>& fileRows, const std::vector<TRadek>& registerRows)
      : table_(table), fileRows_(fileRows), registerRows_(registerRows), firstColumn_(FirstFileColumn(table)),
        keyed_(table.KeyColumn >= firstColumn_ && table.KeyColumn < static_cast<int>(table.Columns.size())) {}

  std::vector<std::string> Run() {
    IndexFileRows();
    std::vector<bool> paired(fileRows_.size(), false);
    for (std::size_t index = 0; index < registerRows_.size(); ++index) {
      const TRadek& registerRow = registerRows_[index];
      const auto fileIndex = TakeFileRow(KeyOf(registerRow, index));
      if (!fileIndex) {
        lines_.push_back("+ " + RowText(registerRow, true));
        continue;
      }
      paired[*fileIndex] = true;
      CompareCells(fileRows_[*fileIndex], registerRow, index);
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

  void IndexFileRows() {
    keys_.reserve(fileRows_.size());
    for (std::size_t index = 0; index < fileRows_.size(); ++index) {
      keys_[KeyOf(fileRows_[index], index)].push_back(index);
    }
  }

  std::optional<std::size_t> TakeFileRow(const std::string& key) {
    const auto found = keys_.find(key);
    if (found == keys_.end() || found->second.empty()) return std::nullopt;
    const std::size_t index = found->second.front();
    found->second.erase(found->second.begin());
    return index;
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
      const std::string old = CellText(fileRow, column, false);
      const std::string now = CellText(registerRow, column, true);
      if (old == now) continue;
      changes += Separator;
      changes += table_.Columns[static_cast<std::size_t>(column)].Heading + ": " + old + " -> " + now;
    }
    if (!changes.empty()) lines_.push_back("~ " + KeyOf(registerRow, index) + changes);
  }

  int ColumnCount() const { return static_cast<int>(table_.Columns.size()); }

  const TSoubor& table_;
  const std::vector<TRadek>& fileRows_;
  const std::vector<TRadek>& registerRows_;
  const int firstColumn_;
  const bool keyed_;
  std::unordered_map<std::string, std::vector<std::size_t>> keys_;
  std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> CompareTableRows(const TSoubor& table, const std::vector<TRadek>& fileRows,
                                          const std::vector<TRadek>& registerRows) {
  return RowComparison(table, fileRows, registerRows).Run();
}
