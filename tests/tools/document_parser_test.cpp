// Reads print documents of the journal and of receipt copies into the model,
// and refuses malformed ones with the line at fault.
#include "tools/vyrnak/document_parser.h"

#include <gtest/gtest.h>

#include "print_document_samples.h"
#include "test_support.h"

namespace {

// The table holding the journal or the receipts: the last row of the page.
const TTable& BodyTable(const TPrintDocument& document) {
  const auto& rows = document.page.rows;
  EXPECT_FALSE(rows.empty());
  EXPECT_TRUE(rows.back().cells.front().table != nullptr);
  return *rows.back().cells.front().table;
}

TEST(DocumentParser, ReadsFontLineHeadingAndJournalRowsAtEverySize) {
  const struct {
    int font;
    int size;
    int headingDelta;
    int titleDelta;
  } cases[] = {{2, 9, -1, 4}, {1, 7, 0, 6}, {0, 5, 2, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.font);
    const auto document =
        TDocumentParser::Parse(JournalDocument(c.font, {"Pekárna^U^Řeky", "DIČ^CZ12345678"}, {"40 první", "80 druhá"}));
    EXPECT_EQ(document.fontName, "Courier New");
    EXPECT_EQ(document.fontSize, c.size);
    EXPECT_EQ(document.title, Cp("Elektronický žurnál"));
    ASSERT_TRUE(document.page.hasPageHeading);
    EXPECT_EQ(document.page.headingSizeDelta, c.headingDelta);
    ASSERT_EQ(document.page.pageHeading.cells.size(), 3u);
    EXPECT_EQ(document.page.pageHeading.cells[0].lines.front(), Cp("MERV Modul Fiskální"));
    EXPECT_EQ(document.page.pageHeading.cells[1].lines.front(), "#PP/#PT");
    const auto& title = document.page.rows.front().cells.front();
    EXPECT_EQ(title.sizeDelta, c.titleDelta);
    EXPECT_TRUE(title.bold);
    // The header table: the taxpayer label and both header lines, "^" now blanks.
    const auto& header = *document.page.rows[2].cells.front().table;
    ASSERT_EQ(header.rows.size(), 3u);
    EXPECT_EQ(header.rows[1].cells.front().lines.front(), Cp("Pekárna U Řeky"));
    const auto& body = BodyTable(document);
    ASSERT_EQ(body.rows.size(), 3u);  // two journal lines and the closing empty row
    EXPECT_EQ(body.rows[0].cells.front().lines.front(), Cp("40 první"));
    EXPECT_EQ(body.rows[1].cells.front().lines.front(), Cp("80 druhá"));
  }
}

TEST(DocumentParser, ReceiptsFillRowsOfTheirColumnCount) {
  const std::vector<std::vector<std::string>> receipts{{"A1", "A2", "A3"}, {"B1"}, {"C1", "C2"}, {"D1"}};
  const struct {
    int font;
    std::size_t rows;
    std::size_t cellsInLastRow;
  } cases[] = {{2, 4, 1}, {1, 2, 2}, {0, 2, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.font);
    const auto& document = TDocumentParser::Parse(ReceiptDocument(c.font, {}, receipts));
    EXPECT_EQ(document.title, Cp("Kopie účtenek"));
    const auto& body = BodyTable(document);
    EXPECT_TRUE(body.framed);
    EXPECT_EQ(body.columns.size(), static_cast<std::size_t>(ReceiptColumnsOfFont(c.font)));
    ASSERT_EQ(body.rows.size(), c.rows);
    EXPECT_TRUE(body.rows.front().keepTogether);
    EXPECT_EQ(body.rows.front().cells.front().lines, (std::vector<std::string>{"A1", "A2", "A3"}));
    EXPECT_EQ(body.rows.back().cells.size(), c.cellsInLastRow);
  }
}

TEST(DocumentParser, JournalWithoutReceiptsGivesOneEmptyRow) {
  const auto document = TDocumentParser::Parse(ReceiptDocument(0, {}, {}));
  const auto& body = BodyTable(document);
  ASSERT_EQ(body.rows.size(), 1u);
  EXPECT_FALSE(body.rows.front().keepTogether);
  ASSERT_EQ(body.rows.front().cells.size(), 3u);
  for (const auto& cell : body.rows.front().cells) EXPECT_EQ(cell.lines, std::vector<std::string>{""});
}

TEST(DocumentParser, BracketsAndDollarsInsideJournalTextStayText) {
  const auto document = TDocumentParser::Parse(JournalDocument(2, {}, {"Sleva [10 %] a]b", "CENA 5$ X"}));
  const auto& body = BodyTable(document);
  EXPECT_EQ(body.rows[0].cells.front().lines.front(), "Sleva [10 %] a]b");
  // "$" always breaks the line: the mark-up has no way to write it as text.
  EXPECT_EQ(body.rows[1].cells.front().lines, (std::vector<std::string>{"CENA 5", " X"}));
}

TEST(DocumentParser, RefusesMalformedDocumentsNamingTheLine) {
  const std::string good = JournalDocument(2, {}, {"radek"});
  const struct {
    const char* name;
    std::string document;
    const char* message;
  } cases[] = {
      {"empty", "", "empty"},
      {"no font line", "Hello\r\n", "line 1: the document does not begin with a font line"},
      {"font size not a number", "TSKS1F[Courier,x][T]\r\n", "line 1: font size"},
      {"font size zero", "TSKS1F[Courier,0][T]\r\n", "out of range"},
      {"only a font line", "TSKS1F[Courier,9][T]\r\n", "no page table"},
      {"unknown table", "TSKS1F[Courier,9][T]\r\n[TX0W100[LCW100]]\r\n", "line 2: expected a table"},
      {"unknown border", "TSKS1F[Courier,9][T]\r\n[TB7W100[LCW100]]\r\n", "unknown table border"},
      {"unknown alignment", "TSKS1F[Courier,9][T]\r\n[TB0W100[QCW100]]\r\n", "unknown column alignment"},
      {"unknown option", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]ZZ]\r\n", "unknown table option"},
      {"unknown row attribute", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[XY[a]]\r\n]\r\n",
       "line 3: unknown row attribute"},
      {"unknown size token", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[[~*4B~a]]\r\n]\r\n", "unknown size token"},
      {"unknown cell token", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[[[XY]]\r\n]\r\n",
       "unknown token at the start of a cell"},
      {"row not closed", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[[a\r\n[[b]]\r\n]\r\n", "unbalanced brackets"},
      {"table not closed", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[[a]]\r\n", "unbalanced brackets"},
      {"closed twice", good + "]\r\n", "text after the end"},
      {"last line missing", good.substr(0, good.size() - 3), "unbalanced brackets"},
      {"control character", "TSKS1F[Courier,9][T]\r\n[TB0W100[LCW100]\r\n[[a\x01z]]\r\n]\r\n",
       "line 3: control character in the text, found byte 01h"},
      {"binary font line", std::string("TSKS1F[\0\xFF", 9), "control character"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TDocumentParser::Parse(c.document);
      ADD_FAILURE() << "accepted";
    } catch (const EMalformedDocument& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

TEST(DocumentParser, SurvivesEveryTruncationAndEveryFlippedByte) {
  const std::string document = ReceiptDocument(0, {"Hlava"}, {{"A1", "A2"}, {"B1"}, {"C1"}, {"D1"}});
  // Every cut before the closing "]" leaves a bracket open.
  const std::size_t complete = document.size() - 2;
  for (std::size_t length = 0; length < complete; ++length)
    EXPECT_THROW(TDocumentParser::Parse(document.substr(0, length)), EMalformedDocument) << length;
  EXPECT_NO_THROW(TDocumentParser::Parse(document.substr(0, complete)));
  // Damaged bytes: refused or read, never another failure or a crash.
  for (std::size_t at = 0; at < document.size(); ++at) {
    for (const char junk : {'[', ']', '$', '~', '\0', '\xFF'}) {
      std::string damaged = document;
      damaged[at] = junk;
      try {
        TDocumentParser::Parse(damaged);
      } catch (const EMalformedDocument&) {
      }
    }
  }
}

TEST(DocumentParser, RefusesTablesNestedBeyondReason) {
  std::string document = "TSKS1F[Courier,9][T]\r\n";
  for (int i = 0; i < 100; ++i) document += "[TB0W100[LCW100][[";
  EXPECT_THROW(TDocumentParser::Parse(document), EMalformedDocument);
}

}  // namespace
