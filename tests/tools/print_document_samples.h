#pragma once
// Print documents written the way the module writes them for the journal and
// for copies of receipts, to feed the print viewer in tests. Texts are given
// in UTF-8 and written in code page 1250; lines end in CR LF.
#include <string>
#include <vector>

/// FONT= of the print: 2 (9 pt, one receipt a row), 1 (7 pt, two), 0 (5 pt, three).
int ReceiptColumnsOfFont(int font);

/// The whole journal: the register's header lines, then every journal line.
std::string JournalDocument(int font, const std::vector<std::string>& headerLines,
                            const std::vector<std::string>& journalLines);

/// Copies of receipts: each receipt is its lines, the first one opening it.
std::string ReceiptDocument(int font, const std::vector<std::string>& headerLines,
                            const std::vector<std::vector<std::string>>& receipts);

/// Lines joined with CR LF after each, converted to code page 1250.
std::string DocumentText(const std::vector<std::string>& utf8Lines);

/// A journal line of the given number that can be found again in extracted
/// text: "Položka 000123 žluťoučký kůň 12,50 Kč".
std::string NumberedJournalLine(int number);
