#include "tools/mervfleet/csv_fields.h"

#include <stdexcept>

namespace {

constexpr char Separator = ',';
constexpr char Quote = '"';

// Reads a quoted field from just after its opening quote; returns the
// position after its closing quote.
std::size_t ReadQuoted(std::string_view line, std::size_t position, std::string& field) {
  for (;;) {
    const auto quote = line.find(Quote, position);
    if (quote == std::string_view::npos) throw std::invalid_argument("a quoted field is not closed");
    field.append(line.substr(position, quote - position));
    if (quote + 1 < line.size() && line[quote + 1] == Quote) {
      field += Quote;
      position = quote + 2;
      continue;
    }
    return quote + 1;
  }
}

}  // namespace

std::vector<std::string> SplitCsvLine(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t position = 0;
  for (;;) {
    std::string field;
    if (position < line.size() && line[position] == Quote) {
      position = ReadQuoted(line, position + 1, field);
      if (position < line.size() && line[position] != Separator) {
        throw std::invalid_argument("text after the closing quote of a field");
      }
    } else {
      const auto end = std::min(line.find(Separator, position), line.size());
      field.assign(line.substr(position, end - position));
      position = end;
    }
    fields.push_back(std::move(field));
    if (position >= line.size()) return fields;
    ++position;  // the separator
  }
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted(1, Quote);
  for (const char c : text) {
    if (c == Quote) quoted += Quote;
    quoted += c;
  }
  return quoted + Quote;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += Separator;
    line += CsvField(fields[i]);
  }
  return line;
}
