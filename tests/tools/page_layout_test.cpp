// Lays journal and receipt documents out on A4 pages.
#include "tools/vyrnak/page_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "print_document_samples.h"
#include "tools/vyrnak/document_parser.h"

namespace {

std::vector<TLaidOutPage> LaidOut(const std::string& document) {
  return TPageLayout("09.12.2026", "05:10").LayOut(TDocumentParser::Parse(document));
}

std::vector<std::string> JournalLines(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(NumberedJournalLine(i));
  return lines;
}

bool HasText(const TLaidOutPage& page, const std::string& text) {
  return std::any_of(page.texts.begin(), page.texts.end(), [&](const auto& placed) { return placed.text == text; });
}

TEST(PageLayout, EveryPageCarriesItsNumberOfTheCountAndNothingLeavesThePage) {
  const struct {
    int font;
    int lines;
  } cases[] = {{2, 10}, {2, 500}, {1, 500}, {0, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.font);
    const auto pages = LaidOut(JournalDocument(c.font, {}, JournalLines(c.lines)));
    const auto count = std::to_string(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
      EXPECT_TRUE(HasText(pages[i], std::to_string(i + 1) + "/" + count)) << "page " << i + 1;
      EXPECT_TRUE(HasText(pages[i], "09.12.2026 05:10"));
      for (const auto& text : pages[i].texts) {
        EXPECT_GE(text.x, TPageGeometry::Margin - 1e-6);
        EXPECT_LE(text.x + text.text.size() * text.size * TPageGeometry::CharWidth,
                  TPageGeometry::Width - TPageGeometry::Margin + 1e-6);
        EXPECT_LE(text.baseline, TPageGeometry::Height - TPageGeometry::Margin);
      }
    }
  }
}

TEST(PageLayout, SmallerPrintHoldsMoreLinesAPage) {
  std::vector<std::size_t> pageCounts;
  for (const int font : {2, 1, 0}) pageCounts.push_back(LaidOut(JournalDocument(font, {}, JournalLines(2000))).size());
  EXPECT_GT(pageCounts[0], pageCounts[1]);
  EXPECT_GT(pageCounts[1], pageCounts[2]);
  // 770 points of A4 below the margins hold 60 to 71 lines of 9 points, 1.2 of the size apart.
  EXPECT_GE(pageCounts[0], 2000u / 71);
  EXPECT_LE(pageCounts[0], 2000u / 60 + 1);
}

TEST(PageLayout, LongLinesWrapAtTheColumnEdge) {
  const std::string line(250, 'x');
  const auto pages = LaidOut(JournalDocument(2, {}, {line}));
  // 523 points of text width hold 96 characters of 5.4 points.
  EXPECT_TRUE(HasText(pages.front(), std::string(96, 'x')));
  EXPECT_TRUE(HasText(pages.front(), std::string(250 - 192, 'x')));
}

TEST(PageLayout, AReceiptThatDoesNotFitStartsTheNextPageWhole) {
  std::vector<std::vector<std::string>> receipts;
  for (int r = 0; r < 12; ++r) {
    std::vector<std::string> lines{"RECEIPT " + std::to_string(r)};
    for (int i = 0; i < 15; ++i) lines.push_back("line " + std::to_string(r) + "." + std::to_string(i));
    receipts.push_back(lines);
  }
  const auto pages = LaidOut(ReceiptDocument(2, {}, receipts));
  ASSERT_GT(pages.size(), 1u);
  for (const auto& page : pages) {
    for (int r = 0; r < 12; ++r) {
      const bool opens = HasText(page, "RECEIPT " + std::to_string(r));
      EXPECT_EQ(opens, HasText(page, "line " + std::to_string(r) + ".14")) << "receipt " << r << " split";
    }
  }
}

TEST(PageLayout, AReceiptLongerThanAPageBreaksBetweenItsLines) {
  std::vector<std::string> receipt{"RECEIPT"};
  for (int i = 0; i < 200; ++i) receipt.push_back("line " + std::to_string(i));
  const auto pages = LaidOut(ReceiptDocument(2, {}, {receipt}));
  ASSERT_GE(pages.size(), 3u);
  EXPECT_TRUE(HasText(pages.front(), "RECEIPT"));  // not pushed onto a page of its own
  EXPECT_TRUE(HasText(pages.back(), "line 199"));
  for (const auto& page : pages) EXPECT_FALSE(page.frames.empty());
}

}  // namespace
