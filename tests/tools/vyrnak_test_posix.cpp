// Runs the built print viewer on journal and receipt documents and reads the
// PDFs back with pdftotext and pdfinfo.
#ifdef VYRNAK_EXE
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/code_page.h"
#include "print_document_samples.h"
#include "pdf_reading.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

void WriteScript(const fs::path& file, const std::string& body) {
  WriteFileBytes(file, "#!/bin/sh\n" + body);
  fs::permissions(file, fs::perms::owner_all);
}

class VyrnakTest : public ::testing::Test {
protected:
  // The viewer without a printer in its settings and without a display.
  ProcessResult Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment = {}) {
    environment.try_emplace("XDG_CONFIG_HOME", (dir_ / "config").string());
    environment.try_emplace("DISPLAY", "");
    environment.try_emplace("WAYLAND_DISPLAY", "");
    return RunProcess(VYRNAK_EXE, arguments, environment);
  }

  // bash passes an ignored SIGCHLD on to the program it runs (dash does not).
  ProcessResult RunIgnoringChildSignals(const std::vector<std::string>& arguments,
                                        std::map<std::string, std::string> environment) {
    environment.try_emplace("XDG_CONFIG_HOME", (dir_ / "config").string());
    std::vector<std::string> shellArguments{"-c", "trap '' CHLD; exec \"$0\" \"$@\"", VYRNAK_EXE};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    return RunProcess("/bin/bash", shellArguments, environment);
  }

  fs::path Document(const std::string& text, const std::string& name = "tisk.tmp") {
    WriteFileBytes(dir_ / name, text);
    return dir_ / name;
  }

  TempDir dir_;
};

TEST_F(VyrnakTest, JournalPrintsEveryLineInOrderWithPageNumbersAtEverySize) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 400; ++i) lines.push_back(NumberedJournalLine(i));
  for (const int font : {2, 1, 0}) {
    SCOPED_TRACE(font);
    const auto document = Document(JournalDocument(font, {"Pekárna^U^Řeky", "DIČ:^CZ12345678"}, lines));
    const auto result = Run({"FILE", document.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "vyrnak: PDF written to " + (dir_ / "tisk.pdf").string() + "\n");

    const auto text = PdfText(dir_ / "tisk.pdf");
    std::size_t at = 0;
    for (const auto& line : {std::string("Povinný subjekt (DIČ, DKP):"), std::string("Pekárna U Řeky")}) {
      EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    for (const auto& line : lines) {
      at = text.find(line, at);
      ASSERT_NE(at, std::string::npos) << "missing or out of order: " << line;
    }
    const int pages = PdfPages(dir_ / "tisk.pdf");
    EXPECT_GT(pages, 1);
    for (int page = 1; page <= pages; ++page) {
      const auto number = "\n" + std::to_string(page) + "/" + std::to_string(pages) + "\n";
      EXPECT_NE(("\n" + text).find(number), std::string::npos) << number;
    }
  }
}

TEST_F(VyrnakTest, ReceiptCopiesStandSideBySideByTheirColumnCount) {
  std::vector<std::vector<std::string>> receipts;
  for (int r = 1; r <= 7; ++r)
    receipts.push_back({"ÚČTENKA " + std::to_string(r), "Rohlík 2x3,50 7,00", "CELKEM Kč 7,00"});
  for (const int font : {2, 1, 0}) {
    SCOPED_TRACE(font);
    const auto document = Document(ReceiptDocument(font, {"Řeznictví^Šťastný"}, receipts));
    ASSERT_EQ(Run({"FILE", document.string()}).exitStatus, 0);
    const auto text = PdfText(dir_ / "tisk.pdf", true);
    std::istringstream lines(text);
    std::vector<std::vector<int>> receiptsOnALine;
    for (std::string line; std::getline(lines, line);) {
      std::vector<int> heads;
      const std::string head = "ÚČTENKA ";
      for (auto at = line.find(head); at != std::string::npos; at = line.find(head, at + 1))
        heads.push_back(std::stoi(line.substr(at + head.size())));
      if (!heads.empty()) receiptsOnALine.push_back(heads);
    }
    std::vector<std::vector<int>> expected;
    const int columns = ReceiptColumnsOfFont(font);
    for (int r = 1; r <= 7; r += columns) {
      expected.emplace_back();
      for (int c = r; c < r + columns && c <= 7; ++c) expected.back().push_back(c);
    }
    EXPECT_EQ(receiptsOnALine, expected);
  }
}

TEST_F(VyrnakTest, ReceiptDocumentWithoutReceiptsPrintsItsHeading) {
  const auto document = Document(ReceiptDocument(0, {}, {}));
  ASSERT_EQ(Run({"FILE", document.string()}).exitStatus, 0);
  EXPECT_NE(PdfText(dir_ / "tisk.pdf").find("Kopie účtenek"), std::string::npos);
  EXPECT_EQ(PdfPages(dir_ / "tisk.pdf"), 1);
}

// A relative name is the document where the user is; only when there is
// none there, the one beside the viewer (where the module puts "tisk.tmp").
TEST_F(VyrnakTest, ARelativeNameIsLookedUpInTheCurrentFolderThenBesideTheViewer) {
  const struct {
    const char* what;
    std::vector<std::string> inCurrentFolder;
    std::vector<std::string> besideViewer;
    std::string name;
    std::string pdfFolder;  // empty: no PDF, the call fails
  } cases[] = {
      {"only beside the viewer", {}, {"tisk.tmp"}, "tisk.tmp", "bin"},
      {"in both places", {"tisk.tmp"}, {"tisk.tmp"}, "tisk.tmp", "work"},
      {"a relative path", {"day/tisk.tmp"}, {}, "day/tisk.tmp", "work/day"},
      {"a relative path beside the viewer", {}, {"day/tisk.tmp"}, "day/tisk.tmp", "bin/day"},
      {"in neither", {}, {}, "tisk.tmp", ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "work");
    fs::copy_file(VYRNAK_EXE, dir / "bin" / "vyrnak");
    const auto place = [&](const std::string& folder, const std::vector<std::string>& names) {
      for (const auto& name : names) {
        fs::create_directories((dir / folder / name).parent_path());
        WriteFileBytes(dir / folder / name, JournalDocument(1, {}, {"řádka z " + folder}));
      }
    };
    place("work", c.inCurrentFolder);
    place("bin", c.besideViewer);
    const auto result =
        RunProcess(dir / "bin" / "vyrnak", {"FILE", c.name},
                   {{"XDG_CONFIG_HOME", (dir / "config").string()}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
                   dir / "work");
    if (c.pdfFolder.empty()) {
      EXPECT_EQ(result.exitStatus, 1) << c.what;
      EXPECT_NE(result.standardError.find("neither in the current folder nor in " + (dir / "bin").string()),
                std::string::npos)
          << result.standardError;
      continue;
    }
    ASSERT_EQ(result.exitStatus, 0) << c.what << ": " << result.standardError;
    const std::string from = c.pdfFolder.substr(0, c.pdfFolder.find('/'));
    EXPECT_NE(PdfText(dir / c.pdfFolder / "tisk.pdf").find("řádka z " + from), std::string::npos) << c.what;
  }
}

TEST_F(VyrnakTest, OptionNamesThePdf) {
  const auto document = Document(JournalDocument(1, {}, {"x"}));
  const auto pdf = dir_ / "out" / "denik.pdf";
  fs::create_directories(pdf.parent_path());
  ASSERT_EQ(Run({"FILE", document.string(), "/PDF=" + pdf.string()}).exitStatus, 0);
  EXPECT_EQ(PdfPages(pdf), 1);
  EXPECT_FALSE(fs::exists(dir_ / "tisk.pdf"));
  EXPECT_FALSE(fs::exists(pdf.string() + ".part"));
}

TEST_F(VyrnakTest, PrinterOfTheSettingsGetsThePdfThroughLp) {
  const auto bin = dir_ / "bin";
  fs::create_directories(bin);
  fs::create_directories(dir_ / "config" / "Kelmora");
  WriteFileBytes(dir_ / "config" / "Kelmora" / "VOR-Manager.ini",
                 "[Ver2]\r\nLogSouborSifra=0\r\n[Tisk]\r\nTiskarna=Kancelar 2\r\n");
  const auto document = Document(JournalDocument(2, {}, {"x"}));
  const std::map<std::string, std::string> environment{{"PATH", bin.string() + ":" + std::getenv("PATH")},
                                                       {"DISPLAY", ":0"},
                                                       {"WAYLAND_DISPLAY", ""}};
  // A caller that ignores SIGCHLD has its children reaped unseen: lp's
  // status must still count.
  const struct {
    int lpStatus;
    bool childSignalIgnored;
    int exitStatus;
    const char* message;
  } cases[] = {{0, false, 0, ""},
               {3, false, 1, "lp -d Kancelar 2 ended with status 3"},
               {0, true, 0, ""},
               {3, true, 1, "lp -d Kancelar 2 ended with status 3"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lpStatus) + (c.childSignalIgnored ? ", SIGCHLD ignored" : ""));
    WriteScript(bin / "lp", "printf '%s|' \"$@\" > '" + (dir_ / "lp.args").string() + "'\nexit " +
                                std::to_string(c.lpStatus) + "\n");
    WriteScript(bin / "xdg-open", "touch '" + (dir_ / "opened").string() + "'\n");
    const auto result = c.childSignalIgnored ? RunIgnoringChildSignals({"FILE", document.string()}, environment)
                                             : Run({"FILE", document.string()}, environment);
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
    EXPECT_EQ(ReadFileBytes(dir_ / "lp.args"), "-d|Kancelar 2|--|" + (dir_ / "tisk.pdf").string() + "|");
    EXPECT_FALSE(fs::exists(dir_ / "opened"));
  }
}

TEST_F(VyrnakTest, WithoutPrinterADisplayOpensThePdf) {
  const auto bin = dir_ / "bin";
  fs::create_directories(bin);
  WriteScript(bin / "xdg-open", "printf '%s' \"$1\" > '" + (dir_ / "opened.part").string() + "'\nmv '" +
                                    (dir_ / "opened.part").string() + "' '" + (dir_ / "opened").string() + "'\n");
  const auto document = Document(JournalDocument(2, {}, {"x"}));
  const auto result = Run({"FILE", document.string()},
                          {{"PATH", bin.string() + ":" + std::getenv("PATH")}, {"WAYLAND_DISPLAY", "wayland-0"}});
  ASSERT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardError, "");
  // xdg-open runs detached: wait, bounded, for what it leaves behind.
  for (int i = 0; i < 500 && !fs::exists(dir_ / "opened"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ReadFileBytes(dir_ / "opened"), (dir_ / "tisk.pdf").string());
}

TEST_F(VyrnakTest, BadDocumentsEndWithOneLineAndStatusOne) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  const std::string good = JournalDocument(2, {}, {"a", "b"});
  const std::string receipts = ReceiptDocument(0, {}, {{"A"}, {"B"}});
  const std::string receiptRowCut = receipts.substr(0, receipts.find("[PA[A") + 5) + "\r\n]]]\r\n]\r\n";
  const struct {
    const char* name;
    std::string document;
    const char* message;
  } cases[] = {
      {"binary junk", junk, "malformed document: line 1:"},
      {"unbalanced brackets", good.substr(0, good.size() - 3), "unbalanced brackets"},
      {"unknown token", Cp("TSKS1F[Courier New,9][Žurnál]\r\n[TB0W100[CCW100]PX-01[[a]]\r\n]\r\n"),
       "unknown table option"},
      {"receipt row not closed", receiptRowCut, "unbalanced brackets"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto document = Document(c.document, "bad.tmp");
    const auto result = Run({"FILE", document.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError.rfind("vyrnak: " + document.string() + ": ", 0), 0u) << result.standardError;
    EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(dir_ / "tisk.pdf"));
  }
}

TEST_F(VyrnakTest, UnusableCallsEndWithStatusOne) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"FILE", "/nonexistent/folder/tisk.tmp"}, "vyrnak: cannot read /nonexistent/folder/tisk.tmp"},
      {{}, "no document given"},
      {{"a", "b"}, "unexpected argument \"b\""},
  };
  for (const auto& c : cases) {
    const auto result = Run(c.arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
  }
  const auto help = Run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  for (const char* word : {"lp", "xdg-open", "Tiskarna=", "tisk.pdf"})
    EXPECT_NE(help.standardOutput.find(word), std::string::npos) << word;
}

}  // namespace
#endif
