// The module's print documents of a stored journal, read by the viewer's
// parser: whatever a journal line holds, the document stays well-formed and
// the line stays text.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "journal/journal_file.h"
#include "journal/print_document.h"
#include "tools/vyrnak/document_parser.h"

namespace {

using PrintedLines = std::vector<std::string>;

// Every text line of every cell, nested tables included.
void CollectTexts(const TTable& table, PrintedLines& texts) {
  for (const auto& row : table.rows) {
    for (const auto& cell : row.cells) {
      if (cell.table) CollectTexts(*cell.table, texts);
      texts.insert(texts.end(), cell.lines.begin(), cell.lines.end());
    }
  }
}

// The printed text is the journal's, apart from brackets, tildes and control
// characters, which may be replaced one for one.
bool SameApartFromMarkup(const std::string& journal, const std::string& printed) {
  if (journal.size() != printed.size()) return false;
  for (std::size_t i = 0; i < journal.size(); ++i) {
    const auto byte = static_cast<unsigned char>(journal[i]);
    const bool replaceable = byte < 0x20 || byte == 0x7F || journal[i] == '[' || journal[i] == ']' || journal[i] == '~';
    if (journal[i] != printed[i] && !replaceable) return false;
  }
  return true;
}

std::string Record(const std::string& code) { return code + std::string(38, '0'); }

// The line as the receipt header and as the text of two receipts of three
// lines each.
TJournalFile JournalOf(const std::string& line) {
  TJournalFile file;
  file.HeaderLines = {line};
  for (int receipt = 0; receipt < 2; ++receipt) {
    for (const char* code : {"40", "21", "80"}) file.Entries.push_back({Record(code), {line, "", ""}});
  }
  return file;
}

std::string CrLfText(const PrintedLines& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

TEST(JournalPrintMarkup, HostileJournalTextStaysText) {
  const TJournalPrintDocument printer(0, "MERV Modul");
  const struct {
    const char* name;
    std::function<PrintedLines(const std::string&)> build;
    std::size_t copies;  // of the line in the printed texts
  } documents[] = {
      {"journal", [&](const std::string& line) { return printer.Journal(JournalOf(line), true); }, 7},
      {"receipt copies", [&](const std::string& line) { return printer.ReceiptCopies(JournalOf(line), true); }, 7},
      {"plain text", [&](const std::string& line) { return printer.PlainText({line}); }, 1},
  };
  const std::string lines[] = {"SLEVA]]10", "A][B",      "A[[B",        "A[TB1W100",
                               "A[PA[B",    "CENA 5]",   "]",           "]]",
                               "[",         "[[",        "[ZACATEK",    "~+04B~VELKE",
                               "~VLNKA",    "[TB0W100[", "[PA[X]][PA[", std::string("NUL\0X", 5),
                               "CR\rX",     "LF\nX",     "DEL\x7FX",    "A ] B [ C"};
  for (const auto& document : documents) {
    for (const auto& line : lines) {
      SCOPED_TRACE(std::string(document.name) + ": \"" + line + "\"");
      TPrintDocument parsed;
      try {
        parsed = TDocumentParser::Parse(CrLfText(document.build(line)));
      } catch (const EMalformedDocument& failure) {
        ADD_FAILURE() << failure.what();
        continue;
      }
      PrintedLines texts;
      CollectTexts(parsed.page, texts);
      const auto survives = [&](const std::string& text) { return SameApartFromMarkup(line, text); };
      EXPECT_EQ(static_cast<std::size_t>(std::count_if(texts.begin(), texts.end(), survives)), document.copies);
    }
  }
}

}  // namespace
