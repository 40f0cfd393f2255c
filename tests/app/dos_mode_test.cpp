// The resident command-file mode of the module's executable: command files
// run one by one, each outcome complete before its file goes, the modem line
// kept open from a dial to the hang-up, and the ways the mode ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_support.h"

#ifdef MERVSIM_EXE

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto CommandDeadline = std::chrono::seconds(120);

/// The module started in the background with its environment; killed and
/// reaped when the object goes, unless it has ended.
class ResidentModule {
public:
  ResidentModule(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, const std::filesystem::path& folder) {
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const int nothing = open("/dev/null", O_RDWR);
      dup2(nothing, 0);
      dup2(nothing, 1);
      dup2(nothing, 2);
      for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      if (chdir(folder.c_str()) != 0) _exit(126);
      std::string programText = program.string();
      std::vector<std::string> copies = arguments;
      std::vector<char*> argv{programText.data()};
      for (auto& argument : copies) argv.push_back(argument.data());
      argv.push_back(nullptr);
      execv(programText.c_str(), argv.data());
      _exit(127);
    }
  }
  ~ResidentModule() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  ResidentModule(const ResidentModule&) = delete;
  ResidentModule& operator=(const ResidentModule&) = delete;

  void Signal(int number) const { kill(pid_, number); }

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = 0;
    return false;
  }

  /// The exit status once the process has ended, waiting up to `limit`;
  /// none while it still runs.
  std::optional<int> ExitStatusWithin(std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (Running()) return std::nullopt;
    return exitStatus_;
  }

private:
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};

class DosModeTest : public ::testing::Test {
protected:
  void SetUp() override { std::filesystem::copy_file(MERVMODUL_EXE, folder_ / "mervmodul"); }

  void StartModem(const std::string& answer = "connect") {
    register_ = std::make_unique<BackgroundProcess>(
        MERVSIM_EXE, std::vector<std::string>{"--pty", "--link", device_.string(), "--plu-count", "5", "--log",
                                              wireLog_.string(), "--modem", answer, "--modem-s12", "5"});
    ASSERT_NE(register_->FirstLine().find("pty"), std::string::npos) << register_->FirstLine();
  }

  void StartModule() {
    module_ = std::make_unique<ResidentModule>(
        folder_ / "mervmodul", std::vector<std::string>{"DOSMODE", commandFile_.string()},
        std::map<std::string, std::string>{{"XDG_CONFIG_HOME", folder_.path().string()},
                                           {"MERV_COM1", device_.string()},
                                           {"MERV_DOSMODE_POLL_MS", "50"}},
        folder_.path());
  }

  /// Writes a command file as a shop application does (under another name,
  /// then renamed), waits until the module has deleted it, and returns the
  /// lines of "error.dat" as they are at that moment.
  std::vector<std::string> RunFile(const std::string& content, bool removeOutcome = true) {
    if (removeOutcome) std::filesystem::remove(outcome_);
    WriteFileBytes(folder_ / "command.tmp", content);
    std::filesystem::rename(folder_ / "command.tmp", commandFile_);
    const auto deadline = Clock::now() + CommandDeadline;
    while (std::filesystem::exists(commandFile_)) {
      if (Clock::now() > deadline) throw std::runtime_error("the command file was not taken");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::filesystem::exists(outcome_) ? LinesOf(ReadFileBytes(outcome_)) : std::vector<std::string>{};
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
  std::unique_ptr<ResidentModule> module_;
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

// Opening a modem line that is not there is a connection failure (09), as it
// is for the direct line, whether the command dials or reads through it.
TEST(ModemLineCommandTest, LineThatCannotBeOpenedIsErrorNine) {
  TempDir folder;
  std::filesystem::copy_file(MERVMODUL_EXE, folder / "mervmodul");
  for (const auto& command : std::vector<std::vector<std::string>>{
           {"MODEMDIAL", "/COM=1", "/BR=5", "/DIALTONE=5551234"},
           {"R03", "/COM=1", "/BR=5", "/ECR=465", "/FILE=plu.txt", "/MODEM"},
           {"MODEMHANGUP", "/COM=1", "/BR=5"}}) {
    const auto result = RunProcess(folder / "mervmodul", command,
                                   {{"XDG_CONFIG_HOME", folder.path().string()},
                                    {"MERV_COM1", (folder / "no-such-device").string()}},
                                   folder.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(LinesOf(ReadFileBytes(folder / "error.dat")), (std::vector<std::string>{" 9", "3.02F"})) << command[0];
  }
}

}  // namespace

#endif
