#pragma once
// The row texts of a table, in order: what the table tests compare.
#include <string>
#include <vector>

#include "model/soubor.h"

inline std::vector<std::string> RowTexts(const TSoubor& table) {
  std::vector<std::string> texts;
  for (const auto& row : table.Rows) texts.push_back(row.WriteRowText());
  return texts;
}
