#include "print_document_samples.h"

#include <cstdio>

#include "base/code_page.h"

namespace {

const std::string JournalTitle = "Elektronický žurnál";
const std::string ReceiptsTitle = "Kopie účtenek";
const std::string ProgramTitle = "MERV Modul Fiskální";

struct TSizeLines {
  std::string fontLine;
  std::string pageHeading;
  std::string sizeToken;
  std::string receiptHead;
};

TSizeLines SizeLinesOf(int font) {
  if (font == 2) return {"TSKS1F[Courier New,9][", "[TB0W100[CCW100]PF-01[[", "+04B", "[[[TB1W100[LTW100]"};
  if (font == 1) return {"TSKS1F[Courier New,7][", "[TB0W100[CCW100]PF+00[[", "+06B", "[[[TB1W100[LTW050,LTW050]"};
  return {"TSKS1F[Courier New,5][", "[TB0W100[CCW100]PF+02[[", "+08B", "[[[TB1W100[LTW033,LTW033,LTW034]"};
}

// Lines 1 to 6 of a document read from a journal file with a header.
std::vector<std::string> Opening(const TSizeLines& size, const std::string& title,
                                 const std::vector<std::string>& headerLines) {
  std::vector<std::string> lines{size.fontLine + title + "]",
                                 size.pageHeading + ProgramTitle + "][#PP/#PT][#DT #TM]]",
                                 "[[~" + size.sizeToken + "~" + title + "]]",
                                 "[[]]",
                                 "[[[TB0W100[LCWMAX000]D[FTFBW050]",
                                 "[[~" + size.sizeToken + "~Povinný subjekt (DIČ, DKP):]]"};
  for (auto line : headerLines) {
    for (auto& c : line)
      if (c == '^') c = ' ';
    lines.push_back("[[~" + size.sizeToken + "~" + line + "]]");
  }
  lines.insert(lines.end(), {"]]]", "[[]]", "[[]]", "[[]]"});
  return lines;
}

}  // namespace

int ReceiptColumnsOfFont(int font) { return font == 2 ? 1 : font == 1 ? 2 : 3; }

std::string DocumentText(const std::vector<std::string>& utf8Lines) {
  std::string text;
  for (const auto& line : utf8Lines) text += Utf8ToCp1250(line) + "\r\n";
  return text;
}

std::string JournalDocument(int font, const std::vector<std::string>& headerLines,
                            const std::vector<std::string>& journalLines) {
  auto lines = Opening(SizeLinesOf(font), JournalTitle, headerLines);
  lines.push_back("[[[TB0W100[LCW100]D[FTFBW050]");
  for (const auto& line : journalLines) lines.push_back("[[" + line + "]]");
  lines.insert(lines.end(), {"[[]]", "]]]", "]"});
  return DocumentText(lines);
}

std::string ReceiptDocument(int font, const std::vector<std::string>& headerLines,
                            const std::vector<std::vector<std::string>>& receipts) {
  const auto size = SizeLinesOf(font);
  const int columns = ReceiptColumnsOfFont(font);
  auto lines = Opening(size, ReceiptsTitle, headerLines);
  lines.front() = size.fontLine + ReceiptsTitle + "]";
  lines.push_back(size.receiptHead);
  int cells = 0;
  for (const auto& receipt : receipts) {
    for (std::size_t i = 0; i < receipt.size(); ++i) {
      if (i > 0) {
        lines.push_back("$" + receipt[i]);
      } else if (cells == 0) {
        lines.push_back("[PA[" + receipt[i]);
        cells = 1;
      } else if (cells == columns) {
        lines.push_back("]][PA[" + receipt[i]);
        cells = 1;
      } else {
        lines.push_back("][" + receipt[i]);
        ++cells;
      }
    }
  }
  if (cells == 0) {
    lines.push_back("[[");
    cells = 1;
  }
  lines.push_back(columns - cells == 2 ? "][][]]" : columns - cells == 1 ? "][]]" : "]]");
  lines.insert(lines.end(), {"]]]", "]"});
  return DocumentText(lines);
}

std::string NumberedJournalLine(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%06d", number);
  return std::string("Položka ") + digits + " žluťoučký kůň 12,50 Kč";
}
