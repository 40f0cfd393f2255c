#include "journal/journal_names.h"

#include <charconv>

#include "model/soubor.h"
#include "model/soubory.h"

namespace {

constexpr int NameColumn = 1;
constexpr int CodeColumn = 1;
constexpr int PluNameColumn = 2;

std::optional<std::int64_t> CodeOfRow(const TRadek& row) {
  const std::string& cell = row.Cell(CodeColumn);
  std::int64_t code = 0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), code);
  if (cell.empty() || error != std::errc() || end != cell.data() + cell.size()) return std::nullopt;
  return code;
}

}  // namespace

std::optional<std::string> RowName(const TSoubor& table, std::int64_t number) {
  if (number < 1 || static_cast<std::uint64_t>(number) > table.Rows.size()) return std::nullopt;
  return table.Rows[static_cast<std::size_t>(number - 1)].Cell(NameColumn);
}

TJournalNames::TJournalNames(const TSoubory& catalogue) : catalogue_(catalogue) {}

std::optional<std::string> TJournalNames::Numbered(NumberedTable table, std::int64_t number) const {
  return RowName((catalogue_.*table)(), number);
}

std::optional<std::string> TJournalNames::Plu(std::int64_t code) const {
  return pluIndex_.Find(catalogue_.JournalPlu(), code);
}

std::optional<std::string> TJournalNames::LongPluName(std::int64_t code) const {
  return longNameIndex_.Find(catalogue_.JournalLongNames(), code);
}

std::optional<std::string> TJournalNames::TCodeIndex::Find(const TSoubor& table, std::int64_t code) {
  if (!Current(table)) Build(table);
  auto row = Lookup(table, code);
  if (!row && rowOfCode_.contains(code)) {
    Build(table);
    row = Lookup(table, code);
  }
  if (!row) return std::nullopt;
  return table.Rows[*row].Cell(PluNameColumn);
}

bool TJournalNames::TCodeIndex::Current(const TSoubor& table) const {
  return built_ && rows_ == table.Rows.data() && rowCount_ == table.Rows.size();
}

void TJournalNames::TCodeIndex::Build(const TSoubor& table) {
  rowOfCode_.clear();
  for (std::size_t i = 0; i < table.Rows.size(); ++i) {
    if (const auto code = CodeOfRow(table.Rows[i])) rowOfCode_.insert_or_assign(*code, i);
  }
  rows_ = table.Rows.data();
  rowCount_ = table.Rows.size();
  built_ = true;
}

// The indexed row of the code, when it still carries that code.
std::optional<std::size_t> TJournalNames::TCodeIndex::Lookup(const TSoubor& table, std::int64_t code) const {
  const auto found = rowOfCode_.find(code);
  if (found == rowOfCode_.end() || found->second >= table.Rows.size()) return std::nullopt;
  if (CodeOfRow(table.Rows[found->second]) != code) return std::nullopt;
  return found->second;
}
