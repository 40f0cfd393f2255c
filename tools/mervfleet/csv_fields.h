#pragma once
// The CSV of mervfleet's registers file and results file: fields separated by
// ",", a field that holds a comma, a double quote or a line end is enclosed in
// double quotes, with its double quotes doubled.
#include <string>
#include <string_view>
#include <vector>

/// The fields of one line (without its line end). Throws
/// std::invalid_argument for a quoted field that is not closed, or text
/// after a closing quote.
std::vector<std::string> SplitCsvLine(std::string_view line);

/// The field as it is written into a line: quoted when it has to be.
std::string CsvField(std::string_view text);

/// The fields joined into one line, without a line end.
std::string CsvLine(const std::vector<std::string>& fields);
