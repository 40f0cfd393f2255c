// Runs the built executable the way a shop application does: copied alone
// into an empty folder, started with one command, judged by "error.dat".
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace {

class ModuleProcess : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(config_.path());
    std::filesystem::copy_file(MERVMODUL_EXE, exe_);
  }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(exe_, arguments, {{"XDG_CONFIG_HOME", config_.path().string()}}, work_.path());
  }

  void EnableCipheredLog() {
    std::filesystem::create_directories(config_ / "Kelmora");
    WriteFileBytes(config_ / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nLogSouborSifra=1\n");
  }

  // Runs a command and returns "error.dat" beside the executable.
  std::string Outcome(const std::vector<std::string>& arguments) {
    const auto result = Run(arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "");
    return ReadFileBytes(folder_ / "error.dat");
  }

  TempDir folder_;
  TempDir work_;
  TempDir config_;
  std::filesystem::path exe_ = folder_ / "mervmodul";
};

TEST_F(ModuleProcess, BadBaudRateEndsWithThreeInErrorDat) {
  EXPECT_EQ(Outcome({"R03", "/BR=x"}), " 3\r\n3.02F\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "error.dat.tmp"));
}

TEST_F(ModuleProcess, NamedProgramFolderTakesTheOutcomeAndTheLog) {
  EnableCipheredLog();
  TempDir line;
  const auto result =
      RunProcess(exe_, {"R03", "/COM=1"},
                 {{"XDG_CONFIG_HOME", config_.path().string()}, {"MERV_PROGRAM_DIR", line.path().string()}},
                 work_.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(line / "error.dat"), " 3\r\n3.02F\r\n");
  EXPECT_GT(std::filesystem::file_size(line / "KL.log"), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "error.dat"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "KL.log"));
}

TEST_F(ModuleProcess, EachBadValueGivesItsNumber) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"R03", "/COM=x"}, " 2"},
      {{"R03", "/COM=1", "/BR=2", "/FORMAT=3"}, "32"},
      {{"R03", "/COM=1", "/BR=2", "/FORMAT=0"}, "32"},
      {{"R03", "/COM=1", "/BR=2", "/CODE=437"}, "25"},
      {{"R03", "/COM=1", "/BR=2", "/ECR=579e"}, "23"},
      {{"R03", "/IPPORT=4001"}, "47"},
      {{"R03", "/IPADDR=127.0.0.1"}, "48"},
      {{"R03", "/COM=1", "/TO=x"}, "18"},
      {{"R03", "/COM=1", "/ID=x"}, "19"},
      {{"RJF", "/COM=1", "/ROW=x"}, "38"},
      {{"/COM=1", "/BR=2"}, " 1"},
      {{"R03", "/BR=2"}, " 2"},
      {{"R03", "/COM=1"}, " 3"},
      {{"dosmode", "C:\\kom\\prikaz.txt"}, " 2"},
  };
  for (const auto& [arguments, code] : cases) {
    EXPECT_EQ(Outcome(arguments), std::string(code) + "\r\n3.02F\r\n") << arguments.back();
  }
}

TEST_F(ModuleProcess, OutcomeFileIsReplacedByEachCommand) {
  EXPECT_EQ(Outcome({"R03", "/BR=x"}), " 3\r\n3.02F\r\n");
  EXPECT_EQ(Outcome({"R03", "/COM=x"}), " 2\r\n3.02F\r\n");
}

TEST_F(ModuleProcess, CipheredLogIsAppendedWhenSwitchedOn) {
  EnableCipheredLog();
  Outcome({"R03", "/COM=1"});
  const auto firstSize = std::filesystem::file_size(folder_ / "KL.log");
  Outcome({"R03", "/COM=1"});
  EXPECT_GT(firstSize, 0u);
  EXPECT_GT(std::filesystem::file_size(folder_ / "KL.log"), firstSize);
}

TEST_F(ModuleProcess, NoLogWhenSwitchedOff) {
  Outcome({"R03", "/COM=1", "/LOG=trace.log"});
  EXPECT_FALSE(std::filesystem::exists(folder_ / "KL.log"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "trace.log")) << "the plain log stays off";
}

TEST_F(ModuleProcess, UnwritableLogEndsWithTenAndNoCrash) {
  EnableCipheredLog();
  std::filesystem::create_directory(folder_ / "KL.log");
  EXPECT_EQ(Outcome({"R03", "/COM=1", "/BR=2"}), "10\r\n3.02F\r\n");
}

TEST_F(ModuleProcess, AboutModeWithoutATerminalShowsTheStateAndWritesNothing) {
  const auto result = Run({});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(result.standardOutput.find("MERV Modul Fiskální 9, verze 3.04.05"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(config_ / "Kelmora" / "VOR-Manager.ini")) << "nobody answered";
  EXPECT_FALSE(std::filesystem::exists(folder_ / "error.dat"));
}

#ifdef KLLOG_EXE
TEST_F(ModuleProcess, KllogShowsTheCommandInPlainText) {
  EnableCipheredLog();
  Outcome({"R03", "/COM=1"});
  const auto shown = RunProcess(KLLOG_EXE, {(folder_ / "KL.log").string()});
  EXPECT_EQ(shown.exitStatus, 0);
  const std::string& text = shown.standardOutput;
  const char* expectedInOrder[] = {"Parametry rozpoznany",
                                   "Cinnost \"R03\"",
                                   "COM \"1\"",
                                   "Rychlost \"0\"",
                                   "ERROR: #03:nedefinována přenosová rychlost",
                                   "ErrorCode:  3",
                                   "finally 13",
                                   "finally 14"};
  std::size_t at = 0;
  for (const char* expected : expectedInOrder) {
    const auto found = text.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected << "\n" << text;
    at = found;
  }
}
#endif

}  // namespace

TEST_F(ModuleProcess, HelpAndVersionGoToStandardOutputWithoutAnOutcomeFile) {
  const std::pair<const char*, const char*> cases[] = {{"--help", "Usage: mervmodul"}, {"--version", "mervmodul 3."}};
  for (const auto& [argument, start] : cases) {
    const auto result = Run({argument});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(result.standardOutput.starts_with(start)) << result.standardOutput;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "error.dat")) << argument;
  }
}

TEST_F(ModuleProcess, HelpAfterAnActivityIsAnOrdinaryCommand) {
  EXPECT_EQ(Outcome({"R03", "--help", "/BR=2"}), " 2\r\n3.02F\r\n");
}

// The resident mode without a path has nothing to watch: told as a wrong
// option is, on standard error with status 2, and no outcome file.
TEST_F(ModuleProcess, DosmodeWithoutAPathIsAUsageError) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"DOSMODE"}, {"DOSMODE", "  "}}) {
    const auto result = Run(arguments);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "mervmodul: DOSMODE needs the path of the command file\nTry 'mervmodul --help'.\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "error.dat"));
  }
}
