// The whole road of a print: a journal saved from the register emulator,
// printed with PRINTZUR and PRINTUCT, the module starting the real print
// viewer beside it, the PDF read back with pdftotext and pdfinfo.
#include <gtest/gtest.h>

#if defined(VYRNAK_EXE) && defined(MERVMODUL_EXE) && defined(MERVSIM_EXE)

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/code_page.h"
#include "pdf_reading.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr auto PdfWaitLimit = std::chrono::seconds(30);

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The words of the line with runs of blanks made one.
std::string Squeezed(const std::string& line) {
  std::string squeezed;
  for (const auto& word : Words(line)) squeezed += (squeezed.empty() ? "" : " ") + word;
  return squeezed;
}

class PrintRoadTest : public ::testing::Test {
protected:
  void SetUp() override {
    fs::copy_file(MERVMODUL_EXE, folder_ / "mervmodul");
    fs::copy_file(VYRNAK_EXE, folder_ / "vyrnak");
    register_ = std::make_unique<SimulatedRegister>(std::vector<std::string>{"--plu-count", "40"});
    ASSERT_EQ(Run("SAVEZUR", {"/ZURNAL=z.zur", "/FILE=z.txt"}), " 0");
  }

  // Runs one command with no printer configured and no display; returns the
  // code of "error.dat".
  std::string Run(const std::string& activity, const std::vector<std::string>& parameters) {
    std::vector<std::string> arguments{activity, "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(register_->Port()),
                                       "/ECR=465", "/TO=500"};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    const auto result =
        RunProcess(folder_ / "mervmodul", arguments,
                   {{"XDG_CONFIG_HOME", config_.path().string()}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
                   folder_.path());
    EXPECT_EQ(result.exitStatus, 0);
    const auto outcome = LinesOf(ReadFileBytes(folder_ / "error.dat"));
    return outcome.empty() ? std::string() : outcome.front();
  }

  // Prints and waits, bounded, for the PDF of the viewer the module started
  // detached; the viewer renames the PDF into place once it is complete.
  fs::path Print(const std::string& activity, int font) {
    const auto pdf = folder_ / "tisk.pdf";
    fs::remove(pdf);
    EXPECT_EQ(Run(activity, {"/ZURNAL=z.zur", "/FONT=" + std::to_string(font)}), " 0");
    const auto deadline = std::chrono::steady_clock::now() + PdfWaitLimit;
    while (!fs::exists(pdf) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(pdf)) << "no PDF from " << activity << " within " << PdfWaitLimit.count() << " s";
    return pdf;
  }

  TempDir folder_;
  TempDir config_;
  std::unique_ptr<SimulatedRegister> register_;
};

// pdftotext keeps a printed line together only with -layout; each saved line
// must then stand on a line of its own, blanks aside, in the saved order.
TEST_F(PrintRoadTest, JournalPrintsEverySavedLineInOrderWithPageNumbersAtEverySize) {
  const auto journal = Cp1250ToUtf8(ReadFileBytes(folder_ / "z.txt"));
  std::vector<std::string> expected;
  for (const auto& line : LinesOf(journal))
    if (!Squeezed(line).empty()) expected.push_back(Squeezed(line));
  ASSERT_GT(expected.size(), 100u);
  ASSERT_TRUE(std::any_of(journal.begin(), journal.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
      << "the saved journal has Czech letters to carry through";
  for (const int font : {2, 1, 0}) {
    SCOPED_TRACE(font);
    const auto pdf = Print("PRINTZUR", font);
    if (!fs::exists(pdf)) continue;
    std::vector<std::string> printed;
    for (const auto& line : LinesOf(PdfText(pdf, true))) printed.push_back(Squeezed(line));
    std::size_t at = 0;
    for (const auto& line : expected) {
      while (at < printed.size() && printed[at] != line) ++at;
      ASSERT_LT(at, printed.size()) << "missing or out of order: " << line;
      ++at;
    }

    // pdftotext ends every page with a form feed: page k carries "k/N".
    const int pages = PdfPages(pdf);
    ASSERT_GE(pages, 1);
    std::vector<std::string> pageTexts;
    std::istringstream layout(PdfText(pdf, true));
    for (std::string page; std::getline(layout, page, '\f');) pageTexts.push_back(page);
    ASSERT_EQ(pageTexts.size(), static_cast<std::size_t>(pages));
    for (int page = 1; page <= pages; ++page) {
      const auto number = std::to_string(page) + "/" + std::to_string(pages);
      const auto words = Words(pageTexts[page - 1]);
      EXPECT_NE(std::find(words.begin(), words.end(), number), words.end()) << number;
    }
  }
}

TEST_F(PrintRoadTest, ReceiptCopiesAtTheSmallSizeStandThreeARow) {
  const auto pdf = Print("PRINTUCT", 0);
  ASSERT_TRUE(fs::exists(pdf));
  const auto printed = LinesOf(PdfText(pdf, true));
  // The first lines of the first four receipts, as the document beside the
  // viewer gives them: the fourth opens the second row.
  std::vector<std::string> heads;
  for (const auto& line : LinesOf(Cp1250ToUtf8(ReadFileBytes(folder_ / "tisk.tmp")))) {
    if (heads.size() == 4) break;
    if (line.starts_with("[PA[")) heads.push_back(Squeezed(line.substr(4)));
    if (line.starts_with("]][PA[")) heads.push_back(Squeezed(line.substr(6)));
    if (line.starts_with("][") && !heads.empty()) heads.push_back(Squeezed(line.substr(2)));
  }
  ASSERT_EQ(heads.size(), 4u) << "the emulator's journal holds at least four receipts";
  const auto row = std::find_if(printed.begin(), printed.end(), [&](const std::string& line) {
    const auto squeezed = Squeezed(line);
    const auto first = squeezed.find(heads[0]);
    const auto second = first == std::string::npos ? first : squeezed.find(heads[1], first + heads[0].size());
    return second != std::string::npos && squeezed.find(heads[2], second + heads[1].size()) != std::string::npos;
  });
  ASSERT_NE(row, printed.end()) << heads[0] << " | " << heads[1] << " | " << heads[2];
  EXPECT_EQ(Squeezed(*row).find(heads[3]), std::string::npos) << "a fourth receipt in the row";
  EXPECT_TRUE(std::any_of(row + 1, printed.end(),
                          [&](const std::string& line) { return Squeezed(line).starts_with(heads[3]); }))
      << heads[3] << " opens the next row";
}

}  // namespace
#endif
