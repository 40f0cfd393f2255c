#include "app/error_explanation.h"

#include <utility>

#include "base/error_table.h"

namespace {

// A table cell of Markdown: "|" would end the cell.
std::string MarkdownCell(std::string_view text) {
  std::string cell;
  for (const char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

// Text for roff: a backslash is written twice, a line must not begin with "." or "'".
std::string RoffText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

// `head`, then what `rowText` makes of each number of the error table and
// its explanation for the documents (which serve every platform).
template <typename RowText>
std::string WithEveryError(std::string head, RowText rowText) {
  for (const TErrorEntry& row : ErrorTable()) head += rowText(row.Number, *ExplainErrorOnEveryPlatform(row.Number));
  return head;
}

}  // namespace

std::string ExplanationText(int number) {
  if (number == 0) return "Error 0: the command succeeded.\n";
  const auto explanation = ExplainError(number);
  if (!explanation) return {};
  std::string text = "Error " + std::to_string(number) + ": " + explanation->Meaning + "\n";
  if (!explanation->Czech.empty()) text += "  Text (Czech): " + explanation->Czech + "\n";
  return text + "  Check: " + explanation->Advice + "\n";
}

std::optional<int> OutcomeNumberOf(std::string_view errorDat) {
  const auto first = errorDat.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  int number = 0;
  std::size_t at = first;
  for (; at < errorDat.size() && at < first + 3 && errorDat[at] >= '0' && errorDat[at] <= '9'; ++at) {
    number = number * 10 + (errorDat[at] - '0');
  }
  if (at == first) return std::nullopt;
  if (at < errorDat.size() && errorDat[at] != '\r' && errorDat[at] != '\n') return std::nullopt;
  return number;
}

std::string ErrorDocument() {
  std::string text =
      "# Error numbers\n"
      "\n"
      "A command writes its outcome to `error.dat` in the program folder of its\n"
      "line (the executable's folder, or the line folder that `MERV_PROGRAM_DIR`\n"
      "names: a launcher of `mervmodul-instance`, a line's service): the error\n"
      "number on the first line (` 0` for success) and the interface version on the\n"
      "second. `mervmodul --explain N` prints one of the rows below, and\n"
      "`mervmodul --explain` the one of the `error.dat` in the program folder. The\n"
      "Czech text is the one the communication log shows after `ERROR: #nn:`\n"
      "(read the log with `kllog`).\n"
      "\n"
      "This file is made from the error table of the program (`base/error_table.cpp`);\n"
      "a test fails when the two differ.\n"
      "\n"
      "| number | Czech text | meaning | what to check |\n"
      "|---:|---|---|---|\n";
  return WithEveryError(std::move(text), [](int number, const TErrorExplanation& explanation) {
    return "| " + std::to_string(number) + " | " + MarkdownCell(explanation.Czech) + " | " +
           MarkdownCell(explanation.Meaning) + " | " + MarkdownCell(explanation.Advice) + " |\n";
  });
}

std::string ErrorManSection() {
  std::string text =
      ".SH ERRORS\n"
      "The first line of\n"
      ".I error.dat\n"
      "holds the error number, 0 for success;\n"
      ".B mervmodul \\-\\-explain\n"
      ".I N\n"
      "prints the explanation of one.\n";
  return WithEveryError(std::move(text), [](int number, const TErrorExplanation& explanation) {
    return ".TP\n.B " + std::to_string(number) + "\n" + RoffText(explanation.Meaning) +
           "\nCheck: " + RoffText(explanation.Advice) + "\n";
  });
}
