#include "journal/print_document.h"

#include <gtest/gtest.h>

#include "journal/journal_file.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

std::string Record(const std::string& code) { return code + std::string(38, '0'); }

TJournalFile Journal(const std::vector<std::pair<std::string, std::string>>& codesAndLines, bool current = true) {
  TJournalFile file;
  file.CurrentVersion = current;
  if (current) file.HeaderLines = {"OBCHOD^U^NADRAZI", "DIC: CZ1"};
  for (const auto& [code, line] : codesAndLines) file.Entries.push_back({Record(code), {line, "", ""}});
  return file;
}

// Marks of a list given by its codes, e.g. {"01", "40", "21", "80"} -> " #**".
std::string MarksOf(const std::vector<std::string>& codes) {
  std::vector<std::string> list;
  for (const auto& code : codes) list.push_back(" " + code + "x");
  TJournalPrintDocument::MarkReceipts(list);
  std::string marks;
  for (const auto& entry : list) marks += entry[0];
  return marks;
}

TEST(PrintDocument, MarkingPassesPickOutReceipts) {
  struct Case {
    const char* name;
    std::vector<std::string> codes;
    const char* marks;
  };
  const std::vector<Case> cases{
      {"sales receipt", {"01", "40", "21", "22", "80", "01"}, " #*** "},
      {"sales receipt open at the end", {"40", "21"}, "#*"},
      {"account receipt: last 41 before 80", {"41", "21", "41", "21", "80"}, "  #**"},
      {"account receipt cancelled by 81", {"41", "21", "81", "21", "80"}, "     "},
      {"void not followed by a 4x line", {"43", "21", "80", "01"}, "#** "},
      {"void followed by a sale is a receipt of its own", {"43", "40", "21", "80"}, "##**"},
      {"void at the end", {"01", "43"}, " #"},
      {"lines outside receipts stay out", {"01", "02", "60", "70"}, "    "},
      {"every void is a first line", {"40", "43", "21", "80"}, "##**"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MarksOf(c.codes), c.marks);
  }
}

TEST(PrintDocument, ReceiptCellsFillRowsOfOneToThreeColumns) {
  struct Case {
    int receipts;
    int columns;
    Lines body;
  };
  const std::vector<Case> cases{
      {0, 1, {"[[", "]]", "]]]"}},
      {0, 2, {"[[", "][]]", "]]]"}},
      {0, 3, {"[[", "][][]]", "]]]"}},
      {1, 3, {"[PA[r0", "$e0", "][][]]", "]]]"}},
      {2, 2, {"[PA[r0", "$e0", "][r1", "$e1", "]]", "]]]"}},
      {4, 3, {"[PA[r0", "$e0", "][r1", "$e1", "][r2", "$e2", "]][PA[r3", "$e3", "][][]]", "]]]"}},
      {2, 1, {"[PA[r0", "$e0", "]][PA[r1", "$e1", "]]", "]]]"}},
      {2, 3, {"[PA[r0", "$e0", "][r1", "$e1", "][]]", "]]]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.receipts) + " receipts in " + std::to_string(c.columns) + " columns");
    Lines list{" 01report"};
    for (int i = 0; i < c.receipts; ++i) {
      list.push_back("#40r" + std::to_string(i));
      list.push_back("*80e" + std::to_string(i));
    }
    EXPECT_EQ(TJournalPrintDocument::ReceiptCells(list, c.columns), c.body);
  }
}

TEST(PrintDocument, LineListCarriesTheRecordCodeOnEveryLine) {
  TJournalFile file;
  file.Entries = {{Record("40"), {"DOKLAD", "POKLADNA 1", ""}}, {Record("21"), {"ROHLIK", "", "SLEVA"}}};
  EXPECT_EQ(TJournalPrintDocument::LineList(file), (Lines{" 40DOKLAD", " 40POKLADNA 1", " 21ROHLIK", " 21SLEVA"}));
}

struct Size {
  int font;
  std::string fontLine, heading, token, tableHead;
};

const std::vector<Size> Sizes{
    {2, "TSKS1F[Courier New,9][", "[TB0W100[CCW100]PF-01[[", "+04B", "[[[TB1W100[LTW100]"},
    {1, "TSKS1F[Courier New,7][", "[TB0W100[CCW100]PF+00[[", "+06B", "[[[TB1W100[LTW050,LTW050]"},
    {0, "TSKS1F[Courier New,5][", "[TB0W100[CCW100]PF+02[[", "+08B", "[[[TB1W100[LTW033,LTW033,LTW034]"},
    {7, "TSKS1F[Courier New,5][", "[TB0W100[CCW100]PF+02[[", "+08B", "[[[TB1W100[LTW033,LTW033,LTW034]"},
};

Lines Opening(const Size& size, const std::string& title) {
  return {size.fontLine + title + "]", size.heading + "MERV Modul][#PP/#PT][#DT #TM]]",
          "[[~" + size.token + "~" + title + "]]", "[[]]", "[[[TB0W100[LCWMAX000]D[FTFBW050]"};
}

Lines Header(const Size& size) {
  return {"[[~" + size.token + "~" + Cp("Povinný subjekt (DIČ, DKP):") + "]]",
          "[[~" + size.token + "~OBCHOD U NADRAZI]]",
          "[[~" + size.token + "~DIC: CZ1]]",
          "]]]",
          "[[]]",
          "[[]]",
          "[[]]"};
}

Lines Joined(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(PrintDocument, WholeJournalInEveryPrintSizeAndVersion) {
  const std::string title = Cp("Elektronický žurnál");
  for (const auto& size : Sizes) {
    SCOPED_TRACE("FONT=" + std::to_string(size.font));
    const TJournalPrintDocument document(size.font, "MERV Modul");
    const Lines body{"[[[TB0W100[LCW100]D[FTFBW050]", "[[DOKLAD]]", "[[CELKEM]]", "[[]]", "]]]", "]"};
    EXPECT_EQ(document.Journal(Journal({{"40", "DOKLAD"}, {"80", "CELKEM"}}), true),
              Joined({Opening(size, title), Header(size), body}));
    EXPECT_EQ(document.Journal(Journal({{"40", "DOKLAD"}, {"80", "CELKEM"}}, false), true),
              Joined({Opening(size, title), body}))
        << "the older version has no header";
  }
}

TEST(PrintDocument, ReceiptCopiesInEveryPrintSize) {
  const std::string title = Cp("Kopie účtenek");
  const auto file = Journal({{"01", "PRIHLASEN"},
                             {"40", "DOKLAD 1"},
                             {"80", "CELKEM 1"},
                             {"60", "ZPRAVA"},
                             {"40", "DOKLAD 2"},
                             {"80", "CELKEM 2"}});
  const std::vector<Lines> bodies{
      {"[PA[DOKLAD 1", "$CELKEM 1", "]][PA[DOKLAD 2", "$CELKEM 2", "]]", "]]]", "]"},
      {"[PA[DOKLAD 1", "$CELKEM 1", "][DOKLAD 2", "$CELKEM 2", "]]", "]]]", "]"},
      {"[PA[DOKLAD 1", "$CELKEM 1", "][DOKLAD 2", "$CELKEM 2", "][]]", "]]]", "]"},
      {"[PA[DOKLAD 1", "$CELKEM 1", "][DOKLAD 2", "$CELKEM 2", "][]]", "]]]", "]"},
  };
  for (std::size_t i = 0; i < Sizes.size(); ++i) {
    const Size& size = Sizes[i];
    SCOPED_TRACE("FONT=" + std::to_string(size.font));
    EXPECT_EQ(TJournalPrintDocument(size.font, "MERV Modul").ReceiptCopies(file, true),
              Joined({Opening(size, title), Header(size), {size.tableHead}, bodies[i]}));
  }
  const Lines withoutLabel = TJournalPrintDocument(2, "MERV Modul").ReceiptCopies(file, false);
  EXPECT_EQ(withoutLabel[5], "[[~+04B~OBCHOD U NADRAZI]]") << "outside command-line mode no taxpayer label";
}

TEST(PrintDocument, PlainTextFileIsShownUnchanged) {
  const std::string title = Cp("Elektronický žurnál");
  for (const auto& size : Sizes) {
    SCOPED_TRACE("FONT=" + std::to_string(size.font));
    EXPECT_EQ(TJournalPrintDocument(size.font, "MERV Modul").PlainText({"a ^ line", ""}),
              Joined({Opening(size, title), {"[[a ^ line]]", "[[]]", "]]]", "]"}}));
  }
}

}  // namespace
