#include "model/popis_text.h"

#include "base/localized_texts.h"
#include "model/description_fields.h"
#include "model/soubor.h"
#include "model/table_numbers.h"
#include "model/value_conversions.h"

namespace {

// The text column of the row, blank-padded to the grid width.
std::string GridRow(const TSoubor& table, int line) {
  return FitText(table.Rows[static_cast<std::size_t>(line)].Cell(TextColumn), TPopisText::GridWidth);
}

}  // namespace

std::string ResolveTextReference(std::string_view text) {
  constexpr std::string_view Prefix = "LNG";
  if (!text.starts_with(Prefix)) return std::string(text);
  return LoadText(StrToInt(text.substr(Prefix.size())));
}

std::string TPopisText::TextIn(const TSoubor& table24) const {
  const int rowCount = static_cast<int>(table24.Rows.size());
  if (Line < 0 || Line >= rowCount || Column < 1 || Column > GridWidth || Width <= 0) return {};
  const auto start = static_cast<std::size_t>(Column - 1);
  const std::string row = GridRow(table24, Line);
  std::string text;
  if (Column + Width > GridWidth) {
    text = row.substr(start);
    if (Line + 1 < rowCount) {
      text += GridRow(table24, Line + 1).substr(0, static_cast<std::size_t>(Column + Width - GridWidth - 1));
    }
  } else {
    text = row.substr(start, static_cast<std::size_t>(Width));
  }
  return TrimTrailingBlanks(text);
}

void AppendDescriptiveText(std::vector<TPopisText>& list, std::string_view row) {
  const DescriptionFields fields(row);
  TPopisText entry;
  entry.Text = fields[0].empty() ? ResolveTextReference(fields[1]) : std::string(fields[1]);
  entry.Width = StrToInt(fields[2]);
  entry.Flag = std::string(fields[3]);
  if (!list.empty()) {
    const TPopisText& previous = list.back();
    entry.Line = previous.Line;
    entry.Column = previous.Column + previous.Width;
    while (entry.Column > TPopisText::GridWidth) {
      entry.Column -= TPopisText::GridWidth;
      ++entry.Line;
    }
  }
  list.push_back(std::move(entry));
}
