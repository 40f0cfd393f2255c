// The journal activities: in process with a stand-in transfer (the order of
// the steps), and the module's executable against the register emulator.
#include "app/journal_activities.h"

#include <gtest/gtest.h>

#include <regex>

#include <chrono>
#include <functional>
#include <thread>

#include "model/model_list.h"
#include "model/catalogue_builder.h"
#include "app/print_viewer.h"
#include "app/viewer_launch.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "journal/journal_file.h"
#include "model/soubory.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

// The stand-in goes where the module looks for the viewer, under the
// viewer's name on this platform.
void InstallViewer(const std::filesystem::path& folder) {
  const auto viewer = folder / ViewerFileName();
  std::filesystem::copy_file(VIEWER_STAND_IN_EXE, viewer, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
}

// The viewer is started and not waited for: wait for its record, bounded.
Lines ViewerArguments(const std::filesystem::path& folder) {
  const auto record = folder / "viewer-args.txt";
  for (int i = 0; i < 600 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return LinesOf(ReadFileBytes(record));
}

std::string Hex(const std::string& code, int serial) {
  char tail[39];
  std::snprintf(tail, sizeof tail, "%038d", serial);
  return code + tail;
}

class JournalSaveTest : public ::testing::Test {
public:
  void SetUp() override { parameters_.JournalFile = (folder_ / "z.zur").string(); }

  // Stands in for the transfer: the download fills the header and the
  // journal (or fails), the reset is recorded with what was on disk then.
  TTransferOutcome Transfer(const TTransferRequest& request) {
    if (request.Sending) {
      resets_.push_back(request.Tables.front()->Number);
      fileWhenReset_ = std::filesystem::exists(parameters_.JournalFile) ? ReadFileBytes(parameters_.JournalFile) : "";
      allowReset17_ = request.AllowReset17;
      return {};
    }
    downloaded_ = request.Tables;
    if (failDownload_) return {.KeyPositionText = "?", .FirstError = 5, .FailedTables = {87}};
    catalogue_->Table(31)->AddRow(-1, "1|OBCHOD|");
    for (int i = 0; i < 3; ++i) catalogue_->Table(87)->AddRow(-1, std::to_string(i + 1) + "|" + Hex("40", i) + "|1|");
    return {};
  }

  void Save(bool reset) {
    SaveJournal(*catalogue_, parameters_, reset, [this](const TTransferRequest& r) { return Transfer(r); });
  }

  TempDir folder_;
  std::unique_ptr<TSoubory> catalogue_ = BuildCatalogue(ModelNameOfCode("465"));
  CommandParameters parameters_;
  bool failDownload_ = false;
  std::vector<TSoubor*> downloaded_;
  std::vector<int> resets_;
  std::string fileWhenReset_;
  bool allowReset17_ = false;
};

TEST_F(JournalSaveTest, DownloadsNameTablesHeaderAndJournalInOneTransfer) {
  Save(false);
  std::vector<int> numbers;
  for (const TSoubor* table : downloaded_) numbers.push_back(table->Number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 3, 4, 6, 8, 16, 30, 31, 87}));
  EXPECT_EQ(downloaded_.front(), &catalogue_->JournalDepartments()) << "the journal's own name tables";
  EXPECT_TRUE(resets_.empty());
  const TJournalFile file = TJournalFile::Read(parameters_.JournalFile, true);
  EXPECT_EQ(file.HeaderLines, Lines{"OBCHOD"});
  ASSERT_EQ(file.Entries.size(), 3u);
  EXPECT_EQ(file.Entries[2].Record, Hex("40", 2));
}

TEST_F(JournalSaveTest, ResetIsSentOnlyWithTheCompleteFileInPlace) {
  parameters_.DataFile = (folder_ / "z.txt").string();
  Save(true);
  EXPECT_EQ(resets_, std::vector<int>{17});
  EXPECT_TRUE(allowReset17_) << "the journal save allows its own reset";
  EXPECT_FALSE(fileWhenReset_.empty()) << "the file was under its name when the reset went";
  EXPECT_EQ(fileWhenReset_, ReadFileBytes(parameters_.JournalFile));
  const std::string plain = ReadFileBytes(parameters_.DataFile);
  EXPECT_EQ(plain, TJournalFile::Read(parameters_.JournalFile, true).PlainText());
  EXPECT_EQ(LinesOf(plain).size(), 3u) << "one decoded line a record, no raw records or markers";
  EXPECT_EQ(plain.find(Hex("40", 1)), std::string::npos);
}

TEST_F(JournalSaveTest, FailuresWriteNoFileAndSendNoReset) {
  struct Case {
    const char* name;
    std::function<void(JournalSaveTest&)> arrange;
    int error;
  };
  const std::vector<Case> cases{
      {"no journal file name", [](JournalSaveTest& t) { t.parameters_.JournalFile.clear(); }, 50},
      {"file exists", [](JournalSaveTest& t) { WriteFileBytes(t.parameters_.JournalFile, "first"); }, 51},
      {"download failed", [](JournalSaveTest& t) { t.failDownload_ = true; }, 0},
      {"folder missing", [](JournalSaveTest& t) { t.parameters_.JournalFile = (t.folder_ / "no" / "z.zur").string(); },
       52},
      {"plain text cannot be written",
       [](JournalSaveTest& t) { t.parameters_.DataFile = (t.folder_ / "no" / "z.txt").string(); }, 52},
#ifndef _WIN32
      // Windows lets only privileged users make links.
      {"plain text under the journal file's name, through a linked folder",
       [](JournalSaveTest& t) {
         std::filesystem::create_directory_symlink(t.folder_.path(), t.folder_ / "link");
         t.parameters_.DataFile = (t.folder_ / "link" / "z.zur").string();
       },
       52},
#endif
      {"existence cannot be checked (a file where a folder should be): not an existing file",
       [](JournalSaveTest& t) {
         WriteFileBytes(t.folder_ / "file", "");
         t.parameters_.JournalFile = (t.folder_ / "file" / "z.zur").string();
       },
       52},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directories(folder_.path());
    catalogue_ = BuildCatalogue(ModelNameOfCode("465"));
    parameters_ = {};
    parameters_.JournalFile = (folder_ / "z.zur").string();
    failDownload_ = false;
    resets_.clear();
    c.arrange(*this);
    const std::string before =
        std::filesystem::exists(parameters_.JournalFile) ? ReadFileBytes(parameters_.JournalFile) : "";
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Save(true); }), c.error);
    EXPECT_TRUE(resets_.empty());
    if (c.error == 51) {
      EXPECT_EQ(ReadFileBytes(parameters_.JournalFile), before);
    } else {
      EXPECT_FALSE(std::filesystem::exists(parameters_.JournalFile));
    }
  }
}

#ifndef _WIN32
// A plain text that opens but cannot be written (a full disk) ends with 52
// after the journal file has been placed: that file is removed again, so
// that the caller's retry saves instead of finding it there (51).
TEST_F(JournalSaveTest, APlainTextThatCannotBeWrittenLeavesNothingInTheWayOfARetry) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  parameters_.DataFile = "/dev/full";
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Save(true); }), 52);
  EXPECT_FALSE(std::filesystem::exists(parameters_.JournalFile));
  EXPECT_TRUE(resets_.empty());

  parameters_.DataFile = (folder_ / "z.txt").string();
  ASSERT_EQ(ErrorNumberRaisedBy([&] { Save(true); }), 0) << "the retry saves";
  EXPECT_EQ(resets_, std::vector<int>{17});
  EXPECT_EQ(ReadFileBytes(parameters_.DataFile), TJournalFile::Read(parameters_.JournalFile, true).PlainText());
}
#endif

class JournalPrintTest : public ::testing::Test {
protected:
  void SetUp() override {
    InstallViewer(folder_.path());
    const std::string programDir = folder_.path().string() + PathSeparator();
    places_ = {programDir, "mervmodul", {programDir}, (folder_ / "temp").string(), (folder_ / "last.tmp").string()};
    std::filesystem::create_directory(folder_ / "temp");
    TJournalFile file;
    file.HeaderLines = {"OBCHOD"};
    file.Entries = {{Hex("40", 1), {"DOKLAD", "", ""}}, {Hex("80", 2), {"CELKEM", "", ""}}};
    file.Write((folder_ / "z.zur").string(), true);
    parameters_.JournalFile = (folder_ / "z.zur").string();
  }

  int Print(bool receiptCopies) {
    return ErrorNumberRaisedBy([&] { PrintJournal(*catalogue_, parameters_, receiptCopies, TPrintViewer(places_)); });
  }

  TempDir folder_;
  TViewerPlaces places_;
  std::unique_ptr<TSoubory> catalogue_ = BuildCatalogue(ModelNameOfCode("465"));
  CommandParameters parameters_;
};

TEST_F(JournalPrintTest, DocumentGoesToTheProgramFolderAndTheViewerGetsItsBareName) {
  parameters_.FontSize = 1;
  EXPECT_EQ(Print(true), 0);
  EXPECT_EQ(ViewerArguments(folder_.path()), (Lines{"FILE", "tisk.tmp"}));
  const Lines document = LinesOf(ReadFileBytes(folder_ / "tisk.tmp"));
  ASSERT_FALSE(document.empty());
  EXPECT_EQ(document[0], "TSKS1F[Courier New,7][" + Cp("Kopie účtenek") + "]");
  EXPECT_NE(std::find(document.begin(), document.end(), "[PA[DOKLAD"), document.end());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "mervmodul.tmp")) << "the probe file is removed";
}

// The installed layout: the module in one folder, the viewer in the
// installation's programs folder, the program folder a line folder of its own.
TEST_F(JournalPrintTest, ViewerBesideTheModuleFirstThenTheInstallationsNeverTheProgramFolder) {
  const auto module = folder_ / "lib";
  const auto installed = folder_ / "bin";
  std::filesystem::create_directories(module);
  std::filesystem::create_directories(installed);
  places_.ViewerFolders = {"", module.string() + PathSeparator(), installed.string() + PathSeparator()};
  EXPECT_EQ(Print(false), 10) << "a viewer only in the program folder is not started";

  InstallViewer(installed);
  EXPECT_EQ(Print(false), 0);
  EXPECT_EQ(ViewerArguments(installed), (Lines{"FILE", (folder_ / "tisk.tmp").string()}))
      << "a viewer elsewhere gets the document's full path";

  InstallViewer(module);
  EXPECT_EQ(Print(false), 0);
  EXPECT_EQ(ViewerArguments(module), (Lines{"FILE", (folder_ / "tisk.tmp").string()}));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "viewer-args.txt"));
}

TEST_F(JournalPrintTest, DocumentPlaceFallsBackWhenAFolderIsNotWritable) {
  // A folder stands where the probe file would go, so that it cannot be
  // created even by root.
  std::filesystem::create_directory(folder_ / "mervmodul.tmp");
  EXPECT_EQ(TPrintViewer(places_).ChooseTarget(places_.ProgramDir).NamePassed,
            (folder_ / "temp" / "mervtisk.tmp").string());
  places_.TempDir = (folder_ / "with blank").string();
  EXPECT_EQ(TPrintViewer(places_).ChooseTarget(places_.ProgramDir).NamePassed, places_.LastResort);
  places_.TempDir.clear();
  EXPECT_EQ(TPrintViewer(places_).ChooseTarget(places_.ProgramDir).NamePassed, places_.LastResort);
  places_.TempDir = (folder_ / "missing").string();
  EXPECT_EQ(TPrintViewer(places_).ChooseTarget(places_.ProgramDir).NamePassed, places_.LastResort);
  std::filesystem::create_directory(places_.LastResort);
  EXPECT_EQ(TPrintViewer(places_).ChooseTarget(places_.ProgramDir).File, "");
  EXPECT_EQ(Print(false), 10) << "Cannot create TMP file";

  places_.TempDir = (folder_ / "temp").string();
  EXPECT_EQ(Print(false), 0);
  const Lines arguments = ViewerArguments(folder_.path());
  ASSERT_EQ(arguments.size(), 2u);
  EXPECT_EQ(arguments[0], "FILE");
  EXPECT_TRUE(std::regex_match(arguments[1], std::regex(".*[/\\\\]temp[/\\\\]mervtisk[0-9a-f]{12}\\.tmp")))
      << "a shared folder's document has a name nobody can foresee: " << arguments[1];
}

#ifndef _WIN32
// In a shared temporary folder whatever is planted under the document's
// usual name (another user's link; FIFOs: tests/file_door_walk.sh) is neither
// followed nor written: the document goes under a new name of its own.
TEST_F(JournalPrintTest, DocumentInTheTemporaryFolderIsNeverWrittenIntoAPlantedName) {
  std::filesystem::create_directory(folder_ / "mervmodul.tmp");
  places_.TempDir = (folder_ / "temp").string();
  WriteFileBytes(folder_ / "victim", "theirs");
  std::filesystem::create_symlink(folder_ / "victim", folder_ / "temp" / "mervtisk.tmp");
  EXPECT_EQ(Print(false), 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "victim"), "theirs");
  EXPECT_NE(ViewerArguments(folder_.path()).back(), (folder_ / "temp" / "mervtisk.tmp").string());
}

// In the program folder the module's own "tisk.tmp" replaces a link planted
// there instead of refusing the print or writing through it.
TEST_F(JournalPrintTest, LinkAtTheProgramFoldersDocumentIsReplacedNotFollowed) {
  WriteFileBytes(folder_ / "victim", "theirs");
  std::filesystem::create_symlink(folder_ / "victim", folder_ / "tisk.tmp");
  EXPECT_EQ(Print(false), 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "victim"), "theirs");
  EXPECT_FALSE(std::filesystem::is_symlink(folder_ / "tisk.tmp"));
}
#endif

// A viewer that is missing, or there but cannot be started, is "VYRNAK.EXE
// not found" (10), never a print that seems to have worked.
TEST_F(JournalPrintTest, AViewerThatCannotRunIsNotFound) {
  const auto viewer = folder_ / ViewerFileName();
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"missing", [&] { std::filesystem::remove(viewer); }},
#ifndef _WIN32
      // Windows has no execute permission to take away.
      {"not executable",
       [&] {
         InstallViewer(folder_.path());
         std::filesystem::permissions(viewer, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
       }},
#endif
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    test.arrange();
    try {
      PrintJournal(*catalogue_, parameters_, false, TPrintViewer(places_));
      ADD_FAILURE() << "a viewer that cannot run must fail";
    } catch (const std::exception& failure) {
      EXPECT_EQ(std::string(failure.what()), "VYRNAK.EXE not found");
    }
    EXPECT_EQ(Print(false), 10);
  }
}

TEST_F(JournalPrintTest, FailuresCarryTheirNumbers) {
  WriteFileBytes(folder_ / "plain.txt", "line one\r\nline two\r\n");
  parameters_.JournalFile = (folder_ / "plain.txt").string();
  EXPECT_EQ(Print(true), 54) << "receipt copies need a journal file";
  parameters_.JournalFile = (folder_ / "none.zur").string();
  EXPECT_EQ(Print(false), 53);
  parameters_.JournalFile.clear();
  EXPECT_EQ(Print(false), 53);
}

// The viewer's own failure keeps its number whatever kind of file is printed.
TEST_F(JournalPrintTest, WithoutTheViewerEveryFileEndsWithTheViewersNumber) {
  std::filesystem::remove(folder_ / ViewerFileName());
  WriteFileBytes(folder_ / "plain.txt", "line one\r\nline two\r\n");
  for (const char* name : {"z.zur", "plain.txt"}) {
    SCOPED_TRACE(name);
    parameters_.JournalFile = (folder_ / name).string();
    EXPECT_EQ(Print(false), 10) << "VYRNAK.EXE not found";
  }
}

// A journal file that ends early is "any other error" of the printing (55);
// a damaged one, or one with anything after its end marker, is 54.
TEST_F(JournalPrintTest, ShortOrExtendedJournalFiles) {
  const std::string good = ReadFileBytes(folder_ / "z.zur");
  for (const bool receiptCopies : {false, true}) {
    SCOPED_TRACE(receiptCopies ? "receipt copies" : "journal");
    WriteFileBytes(folder_ / "z.zur", good.substr(0, good.size() - 20));
    EXPECT_EQ(Print(receiptCopies), 55) << "truncated";
    WriteFileBytes(folder_ / "z.zur", good.substr(0, good.size() / 2));
    EXPECT_EQ(Print(receiptCopies), 55) << "cut in half";
    WriteFileBytes(folder_ / "z.zur", good + "junk");
    EXPECT_EQ(Print(receiptCopies), 54) << "junk after the end marker";
  }
}

TEST_F(JournalPrintTest, PlainTextFileSplitsLinesAtEveryLineEnd) {
  WriteFileBytes(folder_ / "plain.txt", "crlf\r\nlf\nlone cr\rempty next\n\nlast without end");
  parameters_.JournalFile = (folder_ / "plain.txt").string();
  EXPECT_EQ(Print(false), 0);
  ViewerArguments(folder_.path());
  const Lines document = LinesOf(ReadFileBytes(folder_ / "tisk.tmp"));
  ASSERT_GE(document.size(), 8u);
  EXPECT_EQ(Lines(document.end() - 8, document.end() - 2),
            (Lines{"[[crlf]]", "[[lf]]", "[[lone cr]]", "[[empty next]]", "[[]]", "[[last without end]]"}));
}

// A plain text of more lines than any journal's text is refused before its
// lines, each a string of its own, take many times the file's size.
TEST_F(JournalPrintTest, PlainTextOfMoreLinesThanAnyJournalIsRefused) {
  parameters_.JournalFile = (folder_ / "plain.txt").string();
  WriteFileBytes(folder_ / "plain.txt", std::string(MaxPlainTextLines, '\n'));
  EXPECT_EQ(Print(false), 0);
  ViewerArguments(folder_.path());
  WriteFileBytes(folder_ / "plain.txt", std::string(MaxPlainTextLines + 1, '\n'));
  EXPECT_EQ(Print(false), 55);
}

}  // namespace
