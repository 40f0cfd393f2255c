// The journal commands of the module's executable against the register
// emulator: the file written, the frames on the wire, "error.dat".
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "journal/journal_file.h"
#include "module_folder_test.h"

#ifdef MERVSIM_EXE

namespace {

using Lines = std::vector<std::string>;

constexpr const char* JournalResetFrame = "D3 00 56";

class JournalCommandTest : public RegisterCommandTest {
protected:
  void StartRegister(const std::vector<std::string>& options = {}) {
    RegisterCommandTest::StartRegister(options, {"--plu-count", "40"});
  }

  std::vector<std::string> Arguments(const std::string& activity, const std::vector<std::string>& parameters) const {
    return TcpArguments(activity, parameters);
  }

  /// Runs one command; returns the code of "error.dat".
  std::string Run(const std::string& activity, const std::vector<std::string>& parameters = {}) {
    const auto result = RunModule(Arguments(activity, parameters));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "");
    return Outcome();
  }

  /// Runs one command with files limited to `blocks` of 512 bytes; writing
  /// past the limit fails with EFBIG instead of ending the process.
  std::string RunWithFileSizeLimit(int blocks, const std::string& activity,
                                   const std::vector<std::string>& parameters) {
    std::vector<std::string> arguments{"-c",
                                       "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec \"$0\" \"$@\"",
                                       (folder_ / "mervmodul").string()};
    for (const auto& argument : Arguments(activity, parameters)) arguments.push_back(argument);
    const auto result =
        RunProcess("/bin/sh", arguments, {{"XDG_CONFIG_HOME", folder_.path().string()}}, folder_.path());
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return Outcome();
  }

  Lines Received() const { return ReceivedFrames(); }

  bool ResetSent() const {
    const auto frames = Received();
    return std::any_of(frames.begin(), frames.end(),
                       [](const std::string& f) { return f.starts_with(JournalResetFrame); });
  }

  std::vector<std::string> Records(const std::string& name) const {
    std::vector<std::string> records;
    for (const auto& entry : TJournalFile::Read((folder_ / name).string(), true).Entries)
      records.push_back(entry.Record);
    return records;
  }

  /// The records the register holds, as column 1 of its table 87.
  std::vector<std::string> RegisterJournal() {
    std::filesystem::remove(folder_ / "t87.txt");
    EXPECT_EQ(Run("R87", {"/FILE=t87.txt", "/FORMAT=1"}), " 0");
    std::vector<std::string> records;
    for (const auto& line : LinesOf(ReadFileBytes(folder_ / "t87.txt"))) {
      const auto first = line.find(';');
      const auto second = line.find(';', first + 1);
      records.push_back(line.substr(first + 1, second - first - 1));
    }
    return records;
  }

  bool Exists(const std::string& name) const { return std::filesystem::exists(folder_ / name); }
  std::size_t FilesStartingWith(const std::string& start) const {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      if (entry.path().filename().string().starts_with(start)) ++count;
    }
    return count;
  }
};

TEST_F(JournalCommandTest, SavedJournalReadsBackToTheRegistersRecords) {
  StartRegister();
  const auto held = RegisterJournal();
  ASSERT_FALSE(held.empty()) << "the emulator's demo day has a journal";
  EXPECT_EQ(Run("SAVEZUR", {"/ZURNAL=z.zur", "/FILE=z.txt"}), " 0");
  EXPECT_EQ(Records("z.zur"), held);
  EXPECT_FALSE(ResetSent());
  EXPECT_EQ(LinesOf(ReadFileBytes(folder_ / "z.txt")).size() >= held.size(), true);
  EXPECT_EQ(RegisterJournal(), held) << "SAVEZUR leaves the register's journal";

  const std::string first = ReadFileBytes(folder_ / "z.zur");
  EXPECT_EQ(Run("SAVEZUR", {"/ZURNAL=z.zur"}), "51");
  EXPECT_EQ(ReadFileBytes(folder_ / "z.zur"), first) << "the first file stays byte for byte";
  EXPECT_EQ(Run("SAVERESETZUR", {"/ZURNAL=z.zur"}), "51");
  EXPECT_FALSE(ResetSent());
  EXPECT_EQ(Run("SAVEZUR"), "50");
  EXPECT_EQ(Run("SAVEZUR", {"/ZURNAL="}), "50") << "an empty name is no name, not the program folder";
  EXPECT_EQ(Run("SAVEZUR", {"/ZURNAL=\"\""}), "50");
}

// A 52 leaves the register's journal and no journal file of the save: once
// the folder of /FILE= exists, the same command succeeds.
TEST_F(JournalCommandTest, SaveThatEndedWith52RunsAgain) {
  StartRegister();
  const std::vector<std::string> command{"/ZURNAL=z.zur", "/FILE=out\\z.txt"};
  EXPECT_EQ(Run("SAVERESETZUR", command), "52");
  EXPECT_EQ(FilesStartingWith("z.zur"), 0u);
  EXPECT_FALSE(ResetSent());
  std::filesystem::create_directory(folder_ / "out");
  EXPECT_EQ(Run("SAVERESETZUR", command), " 0");
  EXPECT_EQ(ReadFileBytes(folder_ / "out" / "z.txt"),
            TJournalFile::Read((folder_ / "z.zur").string(), true).PlainText());
  EXPECT_TRUE(ResetSent());
}

// The decoded text under the journal file's own name would replace the
// journal file once it is placed, and the reset would then clear the
// register's journal with no copy left: refused before anything is read.
TEST_F(JournalCommandTest, PlainTextUnderTheJournalFilesNameIsRefused) {
  StartRegister();
  const auto held = RegisterJournal();
  for (const char* plainText : {"/FILE=z.zur", "/FILE=./z.zur"}) {
    SCOPED_TRACE(plainText);
    EXPECT_EQ(Run("SAVERESETZUR", {"/ZURNAL=z.zur", plainText}), "52");
    EXPECT_FALSE(ResetSent());
    EXPECT_EQ(FilesStartingWith("z.zur"), 0u);
    EXPECT_EQ(RegisterJournal(), held);
  }
  WriteFileBytes(folder_ / "z.zur", "an earlier journal");
  EXPECT_EQ(Run("SAVERESETZUR", {"/ZURNAL=z.zur", "/FILE=z.zur"}), "51");
  EXPECT_EQ(File("z.zur"), "an earlier journal");
  EXPECT_FALSE(ResetSent());
}

TEST_F(JournalCommandTest, SaveWithResetClearsTheRegistersJournalAfterTheFileIsInPlace) {
  StartRegister();
  const auto held = RegisterJournal();
  EXPECT_EQ(Run("SAVERESETZUR", {"/ZURNAL=z.zur"}), " 0");
  EXPECT_EQ(Records("z.zur"), held);
  EXPECT_TRUE(ResetSent());
  EXPECT_NE(RegisterJournal(), held) << "the reset cleared the register's journal";
  EXPECT_EQ(Run("N56"), "49") << "the journal reset on its own stays refused";
}

TEST_F(JournalCommandTest, FailedDownloadWritesNoFileAndSendsNoReset) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* code;
  };
  for (const Case& c :
       {Case{"silent register", {"--silent-after", "3"}, " 5"}, Case{"dropped line", {"--drop-after", "2"}, " 5"}}) {
    SCOPED_TRACE(c.name);
    StartRegister(c.options);
    EXPECT_EQ(Run("SAVERESETZUR", {"/ZURNAL=z.zur", "/FILE=z.txt"}), c.code);
    EXPECT_FALSE(Exists("z.zur"));
    EXPECT_FALSE(Exists("z.txt"));
    EXPECT_FALSE(ResetSent());
  }
}

// The folder is size-limited by RLIMIT_FSIZE of the module's process.
TEST_F(JournalCommandTest, FullDiskGives52AndNoReset) {
  StartRegister();
  EXPECT_EQ(RunWithFileSizeLimit(4, "SAVERESETZUR", {"/ZURNAL=z.zur"}), "52");
  EXPECT_EQ(FilesStartingWith("z.zur"), 0u) << "neither the file nor its temporary file is left";
  EXPECT_FALSE(ResetSent());
}

TEST_F(JournalCommandTest, PrintingHandsTheDocumentToTheViewer) {
  StartRegister();
  ASSERT_EQ(Run("SAVEZUR", {"/ZURNAL=z.zur"}), " 0");
  EXPECT_EQ(Run("PRINTZUR", {"/ZURNAL=z.zur"}), "10") << "VYRNAK.EXE not found";
  WriteFileBytes(
      folder_ / "vyrnak",
      "#!/bin/sh\ndir=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > \"$dir/args.part\" && mv \"$dir/args.part\" "
      "\"$dir/args.txt\"\n");
  std::filesystem::permissions(folder_ / "vyrnak", std::filesystem::perms::owner_all);
  for (const char* activity : {"PRINTZUR", "PRINTUCT"}) {
    SCOPED_TRACE(activity);
    std::filesystem::remove(folder_ / "args.txt");
    EXPECT_EQ(Run(activity, {"/ZURNAL=z.zur", "/FONT=2"}), " 0");
    for (int i = 0; i < 600 && !Exists("args.txt"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(LinesOf(ReadFileBytes(folder_ / "args.txt")), (Lines{"FILE", "tisk.tmp"}));
    const auto document = LinesOf(ReadFileBytes(folder_ / "tisk.tmp"));
    ASSERT_GT(document.size(), 10u);
    EXPECT_EQ(document[1], "[TB0W100[CCW100]PF-01[[MERV Modul][#PP/#PT][#DT #TM]]");
    EXPECT_EQ(document.back(), "]");
  }
  EXPECT_EQ(Run("PRINTZUR", {"/ZURNAL=missing.zur"}), "53");
}

}  // namespace

#endif
