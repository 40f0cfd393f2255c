// The resident command-file mode of the module's executable: command files
// run one by one, each outcome complete before its file goes, the modem line
// kept open from a dial to the hang-up, and the ways the mode ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "base/ciphered_log_line.h"
#include "base/exclusive_lock_file.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "background_module.h"
#include "test_support.h"

#ifdef MERVSIM_EXE

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto CommandDeadline = std::chrono::seconds(120);

/// How often `part` stands in `text`.
std::size_t TimesIn(const std::string& text, const std::string& part) {
  std::size_t times = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++times;
  return times;
}

class DosModeTest : public ::testing::Test {
protected:
  void SetUp() override { std::filesystem::copy_file(MERVMODUL_EXE, folder_ / "mervmodul"); }

  void StartModem(const std::string& answer = "connect") {
    register_ =
        std::make_unique<BackgroundProcess>(MERVSIM_EXE,
                                            std::vector<std::string>{"--pty", "--link", device_.string(), "--plu-count",
                                                                     "5", "--log", wireLog_.string(), "--modem", answer,
                                                                     "--modem-s12", "5"});
    ASSERT_NE(register_->FirstLine().find("pty"), std::string::npos) << register_->FirstLine();
  }

  /// A file without a line end settles in `settleMs` (the mode's two seconds
  /// shortened for the tests that do not test it).
  void StartModule(int settleMs = 300) {
    module_ = std::make_unique<BackgroundModule>(
        folder_ / "mervmodul", std::vector<std::string>{"DOSMODE", commandFile_.string()},
        std::map<std::string, std::string>{{"XDG_CONFIG_HOME", folder_.path().string()},
                                           {"MERV_COM1", device_.string()},
                                           {"MERV_DOSMODE_POLL_MS", "50"},
                                           {"MERV_DOSMODE_SETTLE_MS", std::to_string(settleMs)}},
        folder_.path());
  }

  /// Switches the enciphered log on for the module started next.
  void SwitchLogOn() {
    std::filesystem::create_directories(folder_ / "Kelmora");
    WriteFileBytes(folder_ / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nLogSouborSifra=1\n");
  }

  /// The plain text of the enciphered log.
  std::string LogText() const {
    if (!std::filesystem::exists(folder_ / "KL.log")) return {};
    TTextCipher cipher(TextCipherKey);
    std::string text;
    for (const auto& line : LinesOf(ReadFileBytes(folder_ / "KL.log"))) text += DecipherLogLine(line, cipher) + "\n";
    return text;
  }

  static bool AwaitGone(const std::filesystem::path& path) {
    const auto deadline = Clock::now() + CommandDeadline;
    while (std::filesystem::exists(std::filesystem::symlink_status(path))) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  /// Writes a command file as a shop application does (under another name,
  /// then renamed), waits until the module has deleted it, and returns the
  /// lines of "error.dat" as they are at that moment.
  std::vector<std::string> RunFile(const std::string& content, bool removeOutcome = true) {
    if (removeOutcome) std::filesystem::remove(outcome_);
    Place(content);
    const auto deadline = Clock::now() + CommandDeadline;
    while (std::filesystem::exists(commandFile_)) {
      if (Clock::now() > deadline) throw std::runtime_error("the command file was not taken");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::filesystem::exists(outcome_) ? LinesOf(ReadFileBytes(outcome_)) : std::vector<std::string>{};
  }

  /// Puts a command file in place as a shop application does, not waiting.
  void Place(const std::string& content) {
    WriteFileBytes(folder_ / "command.tmp", content);
    std::filesystem::rename(folder_ / "command.tmp", commandFile_);
  }

  int NotesStartingWith(const std::string& start) const {
    int count = 0;
    for (const auto& line : LinesOf(ReadFileBytes(wireLog_))) count += line.starts_with("note " + start) ? 1 : 0;
    return count;
  }

  /// Waits until the emulator has noted `start` (it notes after it has acted).
  bool AwaitNote(const std::string& start) const {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (NotesStartingWith(start) == 0) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  TempDir folder_;
  std::filesystem::path device_ = folder_ / "com1";
  std::filesystem::path wireLog_ = folder_ / "wire.log";
  std::filesystem::path commandFile_ = folder_ / "command.txt";
  std::filesystem::path outcome_ = folder_ / "error.dat";
  std::unique_ptr<BackgroundProcess> register_;
  std::unique_ptr<BackgroundModule> module_;
};

const std::vector<std::string> Success = {" 0", "3.02F"};

TEST_F(DosModeTest, OneDialledLineServesSeveralCommands) {
  StartModem();
  StartModule();
  EXPECT_EQ(RunFile("MODEMDIAL /COM=1 /BR=5 /DIALTONE=5551234\r\n"), Success);
  EXPECT_EQ(RunFile("R03 /COM=1 /BR=5 /ECR=465 /FILE=plu.txt /MODEM\r\n"), Success);
  EXPECT_EQ(LinesOf(ReadFileBytes(folder_ / "plu.txt")).size(), 5u);
  EXPECT_EQ(RunFile("MODEMHANGUP /COM=1 /BR=5"), Success);
  ASSERT_TRUE(AwaitNote("modem line closed"));
  EXPECT_EQ(NotesStartingWith("modem line opened"), 1) << "the line is opened once";
  EXPECT_EQ(NotesStartingWith("modem CONNECT 9600 to 5551234"), 1);
  EXPECT_EQ(NotesStartingWith("modem call ended: ATH"), 1) << ReadFileBytes(wireLog_);
  EXPECT_EQ(NotesStartingWith("modem line closed"), 1);

  WriteFileBytes(outcome_, "untouched");
  EXPECT_EQ(RunFile("close", false), std::vector<std::string>{"untouched"}) << "CLOSE runs no command";
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 0);
}

TEST_F(DosModeTest, OnlyTheFirstLineRunsAndAnEmptyFileIsNoCommand) {
  StartModule();
  EXPECT_EQ(RunFile(""), (std::vector<std::string>{" 1", "3.02F"}));
  EXPECT_EQ(RunFile("XYZ /COM=1 /BR=5\r\nCLOSE\r\n"), (std::vector<std::string>{" 1", "3.02F"}));
  EXPECT_TRUE(module_->Running()) << "the CLOSE of a second line is not read";
  RunFile("Close\n");
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 0);
  EXPECT_FALSE(std::filesystem::exists(commandFile_));
}

TEST_F(DosModeTest, FileWrittenWhileACommandRunsGoesWithIt) {
  StartModem("mute");
  StartModule();
  WriteFileBytes(outcome_, "stale");
  WriteFileBytes(folder_ / "command.tmp", "MODEMDIAL /COM=1 /BR=5 /DIALTONE=5551234");
  std::filesystem::rename(folder_ / "command.tmp", commandFile_);
  // A command removes the previous outcome as it starts; the silent modem
  // then keeps it dialling for seconds.
  const auto deadline = Clock::now() + CommandDeadline;
  while (std::filesystem::exists(outcome_) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(std::filesystem::exists(outcome_)) << "the dial did not start";
  const auto outcome = RunFile("CLOSE", false);
  ASSERT_FALSE(outcome.empty());
  EXPECT_EQ(outcome[0], "33") << "the silent modem's outcome, not the CLOSE written meanwhile";
  EXPECT_EQ(RunFile("XYZ /COM=1 /BR=5")[0], " 1") << "the mode still takes command files";
  RunFile("CLOSE");
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 0);
}

TEST_F(DosModeTest, EndSignalHangsUpTheDialledLine) {
  StartModem();
  StartModule();
  ASSERT_EQ(RunFile("MODEMDIAL /COM=1 /BR=5 /DIALTONE=5551234"), Success);
  module_->Signal(SIGTERM);
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(60)), 0);
  ASSERT_TRUE(AwaitNote("modem line closed"));
  EXPECT_EQ(NotesStartingWith("modem call ended: ATH"), 1);
}

TEST_F(DosModeTest, InterruptWhileWaitingEndsTheMode) {
  StartModule();
  RunFile("");  // the mode is up once it has taken a file
  module_->Signal(SIGINT);
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 0);
}

// Whatever lies at the command path that is no regular file is never opened:
// the name is removed (never what a link names) and answered with 10; a
// folder is left alone; the mode goes on and runs the next good command.
TEST_F(DosModeTest, ANameThatIsNoRegularFileIsRemovedUnreadAndAnsweredWithTen) {
  SwitchLogOn();
  StartModule();
  WriteFileBytes(folder_ / "secret", "XYZ /COM=1 /BR=5\r\n");
  const std::vector<std::pair<const char*, std::function<void()>>> planted = {
      {"link to a file", [&] { std::filesystem::create_symlink(folder_ / "secret", commandFile_); }},
      {"dangling link", [&] { std::filesystem::create_symlink(folder_ / "nowhere", commandFile_); }},
      {"looping link", [&] { std::filesystem::create_symlink(commandFile_, commandFile_); }},
      {"link to a device", [&] { std::filesystem::create_symlink("/dev/zero", commandFile_); }},
      {"FIFO", [&] { ASSERT_EQ(::mkfifo(commandFile_.c_str(), 0600), 0); }},
  };
  for (const auto& [what, plant] : planted) {
    std::filesystem::remove(outcome_);
    plant();
    EXPECT_TRUE(AwaitGone(commandFile_)) << what;
    EXPECT_EQ(LinesOf(ReadFileBytes(outcome_)), (std::vector<std::string>{"10", "3.02F"})) << what;
  }
  EXPECT_EQ(ReadFileBytes(folder_ / "secret"), "XYZ /COM=1 /BR=5\r\n");
  EXPECT_EQ(LogText().find("XYZ"), std::string::npos) << "the linked file was never read";

  std::filesystem::create_directory(commandFile_);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(std::filesystem::is_directory(commandFile_)) << "a folder is left alone";
  std::filesystem::remove(commandFile_);
  EXPECT_EQ(RunFile("XYZ /COM=1 /BR=5\r\n")[0], " 1");
  EXPECT_TRUE(module_->Running());
  const std::string log = LogText();
  EXPECT_EQ(TimesIn(log, "is a folder"), 1u) << "a folder is reported once, not at every poll";
}

// The first line is read no further than 64 KiB: a longer one is answered
// with 01 and its file deleted.
TEST_F(DosModeTest, ALineBeyondSixtyFourKibEndsWithOne) {
  StartModule();
  EXPECT_EQ(RunFile(std::string(64 * 1024 + 1, 'R') + "\r\n")[0], " 1");
  EXPECT_EQ(RunFile(std::string(3 << 20, 'R'))[0], " 1") << "no line end within 3 MiB";
  EXPECT_EQ(RunFile("XYZ /COM=1 /BR=5\r\n")[0], " 1");
  EXPECT_TRUE(module_->Running());
}

// A tab is text: the line runs (and fails on its line, which is not there:
// 09). Any other control byte in its place makes the line binary junk,
// answered with 01 without running.
TEST_F(DosModeTest, ATabBetweenParametersRunsAndOtherControlBytesEndWithOne) {
  StartModule();
  const auto lineWith = [](char between) {
    return "R03 /COM=1 /BR=5 /ECR=465 /TO=100 /FILE=plu.txt" + std::string(1, between) + "/MIN\r\n";
  };
  const std::vector<std::pair<char, std::string>> cases = {
      {'\t', " 9"},   {'\0', " 1"},   {'\x01', " 1"}, {'\x08', " 1"}, {'\x0B', " 1"},
      {'\x0C', " 1"}, {'\x1A', " 1"}, {'\x1B', " 1"}, {'\x1F', " 1"},
  };
  for (const auto& [between, outcome] : cases) {
    const auto lines = RunFile(lineWith(between));
    ASSERT_FALSE(lines.empty()) << "byte " << int(between);
    EXPECT_EQ(lines[0], outcome) << "byte " << int(between);
  }
  EXPECT_TRUE(module_->Running());
}

// A file written in place in two pieces runs whole: the first piece, without
// its line end, waits until the file stands still for the settle time.
TEST_F(DosModeTest, ACommandWrittenInPiecesRunsWhole) {
  StartModule(2000);
  WriteFileBytes(outcome_, "untouched");
  WriteFileBytes(commandFile_, "CLO");
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  {
    std::ofstream rest(commandFile_, std::ios::binary | std::ios::app);
    rest << "SE\r\n";
  }
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 0) << "CLO was run as a command";
  EXPECT_EQ(ReadFileBytes(outcome_), "untouched");
}

TEST_F(DosModeTest, ASecondResidentProcessOnThePathRefusesToStart) {
  StartModule();
  RunFile("XYZ\r\n");
  const auto second = RunProcess(folder_ / "mervmodul", {"DOSMODE", commandFile_.string()},
                                 {{"XDG_CONFIG_HOME", folder_.path().string()}}, folder_.path());
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_NE(second.standardError.find("already watches"), std::string::npos) << second.standardError;
  EXPECT_EQ(RunFile("XYZ /COM=1 /BR=5\r\n")[0], " 1") << "the first still serves";
}

// An outcome that cannot be written ("error.dat" is a folder here) leaves the
// command file in place and ends the mode with status 1, rather than let a
// caller take an earlier outcome for this command's.
TEST_F(DosModeTest, AnOutcomeThatCannotBeWrittenLeavesTheFileAndEndsWithOne) {
  StartModule();
  RunFile("XYZ\r\n");
  std::filesystem::remove(outcome_);
  std::filesystem::create_directory(outcome_);
  WriteFileBytes(commandFile_, "XYZ /COM=1 /BR=5\r\n");
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 1);
  EXPECT_EQ(ReadFileBytes(commandFile_), "XYZ /COM=1 /BR=5\r\n");
}

// A command that ran but whose outcome cannot be written (here no byte may be
// written at all, as on a full disk) ends the mode with status 1 as well, but
// its file goes: a service manager starts the mode again after a failure, and
// the command must not reach the register twice. The earlier outcome is gone
// too, so the caller reads none rather than that one.
TEST_F(DosModeTest, ACommandThatRanWithoutItsOutcomeIsNotLeftToRunAgain) {
  WriteFileBytes(outcome_, " 0\r\n3.02F\r\n");
  module_ = std::make_unique<BackgroundModule>(
      "/bin/sh",
      std::vector<std::string>{"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\"", (folder_ / "mervmodul").string(),
                               "DOSMODE", commandFile_.string()},
      std::map<std::string, std::string>{{"XDG_CONFIG_HOME", folder_.path().string()}, {"MERV_DOSMODE_POLL_MS", "50"}},
      folder_.path());
  Place("XYZ /COM=1 /BR=5\r\n");
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(30)), 1);
  EXPECT_FALSE(std::filesystem::exists(commandFile_)) << "the next start of the mode would run it again";
  EXPECT_FALSE(std::filesystem::exists(outcome_));
}

// An entry at the command path waits for the folder's turn like a command,
// whether the mode runs it or answers it itself. An end signal during that
// wait ends the mode without writing "error.dat" (the command holding the
// turn owns it) and leaves the entry for the next start.
TEST_F(DosModeTest, AnEndSignalWhileWaitingForTheTurnWritesNothingAndLeavesTheEntry) {
  SwitchLogOn();
  const std::vector<std::pair<const char*, std::function<void()>>> entries = {
      {"command", [&] { Place("XYZ /COM=1 /BR=5\r\n"); }},
      {"line with a control byte", [&] { Place("XYZ\x01/COM=1\r\n"); }},
      {"link", [&] { std::filesystem::create_symlink(folder_ / "nowhere", commandFile_); }},
  };
  for (const auto& [what, plant] : entries) {
    StartModule();
    RunFile("XYZ\r\n");  // the mode is up
    TExclusiveLockFile turn((folder_ / "mervmodul.lock").string());
    ASSERT_TRUE(turn.TryLock());
    std::filesystem::remove(outcome_);
    const std::size_t waitsBefore = TimesIn(LogText(), "Cekam, az skonci");
    plant();
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (TimesIn(LogText(), "Cekam, az skonci") == waitsBefore && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GT(TimesIn(LogText(), "Cekam, az skonci"), waitsBefore) << what << ": the mode did not wait for the turn";
    module_->Signal(SIGTERM);
    EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(5)), 0) << what;
    EXPECT_FALSE(std::filesystem::exists(outcome_)) << what;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(commandFile_))) << what;
    std::filesystem::remove(commandFile_);
  }
}

// The mode's own answers (a line it refuses, a name that is no regular file)
// remove an earlier "error.json" as a command does, so that a caller reading
// it never takes an earlier success for this answer.
TEST_F(DosModeTest, TheModesOwnAnswersRemoveAnEarlierJsonOutcome) {
  StartModule();
  const auto json = folder_ / "error.json";
  const std::vector<std::pair<const char*, std::function<void()>>> entries = {
      {"line with a control byte", [&] { Place("XYZ\x01/COM=1\r\n"); }},
      {"line beyond 64 KiB", [&] { Place(std::string(64 * 1024 + 1, 'R') + "\r\n"); }},
      {"link", [&] { std::filesystem::create_symlink(folder_ / "nowhere", commandFile_); }},
  };
  for (const auto& [what, plant] : entries) {
    WriteFileBytes(json, R"({"error": 0, "text": "OK"})");
    std::filesystem::remove(outcome_);
    plant();
    ASSERT_TRUE(AwaitGone(commandFile_)) << what;
    EXPECT_TRUE(std::filesystem::exists(outcome_)) << what << ": the mode answered";
    EXPECT_FALSE(std::filesystem::exists(json)) << what;
  }
}

// A command stopped by an end signal while it waits on its line writes its
// outcome and the mode ends: the signal does not wait for the dial's 90 s.
TEST_F(DosModeTest, AnEndSignalStopsARunningCommandWhichStillWritesItsOutcome) {
  StartModem("mute");
  StartModule();
  WriteFileBytes(commandFile_, "MODEMDIAL /COM=1 /BR=5 /DIALTONE=5551234\r\n");
  ASSERT_TRUE(AwaitGone(outcome_));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto signalled = Clock::now();
  module_->Signal(SIGTERM);
  EXPECT_EQ(module_->ExitStatusWithin(std::chrono::seconds(20)), 0);
  EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(15));
  const auto outcome = LinesOf(ReadFileBytes(outcome_));
  ASSERT_EQ(outcome.size(), 2u);
  EXPECT_NE(outcome[0], " 0");
}

// A command file that cannot be deleted (here a file mounted over the
// command path: removing a mount point fails) runs once, is said once, and
// runs again only when it has changed.
TEST_F(DosModeTest, ACommandFileThatCannotBeDeletedRunsAgainOnlyWhenChanged) {
  const auto source = folder_ / "mounted.txt";
  WriteFileBytes(source, "XYZ /COM=1 /BR=5\r\n");
  SwitchLogOn();
  StartModule();
  RunFile("XYZ /COM=1 /BR=5\r\n");  // the mode is up
  WriteFileBytes(folder_ / "placeholder", "");
  std::filesystem::rename(folder_ / "placeholder", commandFile_);
  if (::mount(source.c_str(), commandFile_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    std::filesystem::remove(commandFile_);
    GTEST_SKIP() << "mounting is not permitted here";
  }
  const auto ranXyz = [&] { return TimesIn(LogText(), Cp("Příkaz: \"XYZ")); };
  const auto awaitRuns = [&](std::size_t runs) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (ranXyz() < runs && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // ten polls more
    return ranXyz();
  };
  EXPECT_EQ(awaitRuns(2), 2u) << "run once, not at every poll";
  WriteFileBytes(source, "XYZ /COM=1 /BR=5 /TO=100\r\n");
  EXPECT_EQ(awaitRuns(3), 3u) << "the changed file runs once more";
  ::umount2(commandFile_.c_str(), MNT_DETACH);
  EXPECT_TRUE(AwaitGone(commandFile_));
  const std::string log = LogText();
  EXPECT_EQ(TimesIn(log, "until it changes"), 2u) << "said once for each version of the file";
}

// Opening a modem line that is not there is a connection failure (09), as it
// is for the direct line, whether the command dials or reads through it.
TEST(ModemLineCommandTest, LineThatCannotBeOpenedIsErrorNine) {
  TempDir folder;
  std::filesystem::copy_file(MERVMODUL_EXE, folder / "mervmodul");
  for (const auto& command :
       std::vector<std::vector<std::string>>{{"MODEMDIAL", "/COM=1", "/BR=5", "/DIALTONE=5551234"},
                                             {"R03", "/COM=1", "/BR=5", "/ECR=465", "/FILE=plu.txt", "/MODEM"},
                                             {"MODEMHANGUP", "/COM=1", "/BR=5"}}) {
    const auto result =
        RunProcess(folder / "mervmodul", command,
                   {{"XDG_CONFIG_HOME", folder.path().string()}, {"MERV_COM1", (folder / "no-such-device").string()}},
                   folder.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(LinesOf(ReadFileBytes(folder / "error.dat")), (std::vector<std::string>{" 9", "3.02F"})) << command[0];
  }
}

}  // namespace

#endif
