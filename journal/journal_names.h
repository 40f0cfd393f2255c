#pragma once
// TJournalNames: the names the journal decoding puts in place of numbers,
// read from the journal name tables of the catalogue. A name by number n is
// column 1 of row n (rows counted from 1), found only when n is above 0 and
// the table has n rows. A PLU name is found by code: every row whose column 1
// reads as that decimal number matches, the last match wins, and the name is
// column 2 (rows whose column 1 is no number match nothing).
//
// PLU lookups go through an index of code to row, built at the first lookup
// and built again when the table's rows move or their number changes, or
// when an indexed row no longer carries its code. A table whose cells are
// rewritten in place between lookups, keeping its row count, is not noticed
// for codes the index does not hold: the journal save fills the name tables
// before it decodes.
//
// Borrows the catalogue, which must outlive it.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TSoubor;
class TSoubory;

class TJournalNames {
public:
  explicit TJournalNames(const TSoubory& catalogue);

  /// One of the catalogue's journal name tables whose names go by number
  /// (departments, link PLU, operators, payments, currencies, VAT rates).
  using NumberedTable = TSoubor& (TSoubory::*)() const;

  /// The name of `number` in the catalogue's `table`: column 1 of row
  /// `number` (for the VAT table, the rate of that group, a whole number).
  std::optional<std::string> Numbered(NumberedTable table, std::int64_t number) const;
  std::optional<std::string> Plu(std::int64_t code) const;
  std::optional<std::string> LongPluName(std::int64_t code) const;

private:
  class TCodeIndex {
  public:
    std::optional<std::string> Find(const TSoubor& table, std::int64_t code);

  private:
    bool Current(const TSoubor& table) const;
    void Build(const TSoubor& table);
    std::optional<std::size_t> Lookup(const TSoubor& table, std::int64_t code) const;

    const void* rows_ = nullptr;
    std::size_t rowCount_ = 0;
    bool built_ = false;
    std::unordered_map<std::int64_t, std::size_t> rowOfCode_;
  };

  const TSoubory& catalogue_;
  mutable TCodeIndex pluIndex_;
  mutable TCodeIndex longNameIndex_;
};

/// Column 1 of row `number` of the table, or none.
std::optional<std::string> RowName(const TSoubor& table, std::int64_t number);
