// The built executable with a settings file it cannot read: the about mode
// leaves the file as it is, and a command says so on standard error and in
// the log, never on standard output.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string KeptSettings = "[Ver2]\nLogSouborSifra=0\n[Ports]\nCOM1=/dev/ttyUSB0\n[Tisk]\nTiskarna=Kancelar\n";

class UnreadableSettings : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(config_ / "Kelmora");
    fs::copy_file(MERVMODUL_EXE, exe_);
  }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(exe_, arguments, {{"XDG_CONFIG_HOME", config_.path().string()}}, folder_.path());
  }

  fs::path SettingsFile() const { return config_ / "Kelmora" / "VOR-Manager.ini"; }

  TempDir folder_;
  TempDir config_;
  fs::path exe_ = folder_ / "mervmodul";
};

// Comments beyond the bound of 1 MiB after the entries.
std::string Oversized() { return KeptSettings + "; " + std::string(1024 * 1024, '-') + "\n"; }

// Without a terminal the about mode writes nothing anyway; that a write of
// unreadable settings is refused is the settings store's own test.
TEST_F(UnreadableSettings, TheAboutModeLeavesThemAsTheyAre) {
  const std::string settings = Oversized();
  WriteFileBytes(SettingsFile(), settings);
  const auto result = Run({});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(ReadFileBytes(SettingsFile()) == settings) << "the printer and the ports are kept";
  EXPECT_NE(result.standardError.find(SettingsFile().string()), std::string::npos) << result.standardError;

  fs::remove(SettingsFile());
  fs::create_directory(SettingsFile());
  EXPECT_EQ(Run({}).exitStatus, 0);
  EXPECT_TRUE(fs::is_directory(SettingsFile()));
}

TEST_F(UnreadableSettings, ACommandSaysSoOnStandardErrorAndInTheLog) {
  WriteFileBytes(SettingsFile(), Oversized());
  const auto result = Run({"R03", "/COM=1"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardOutput, "") << "nothing on standard output in the command mode";
  EXPECT_NE(result.standardError.find("settings not read"), std::string::npos) << result.standardError;
  EXPECT_NE(result.standardError.find(SettingsFile().string()), std::string::npos) << result.standardError;
  EXPECT_EQ(ReadFileBytes(folder_ / "error.dat"), " 3\r\n3.02F\r\n") << "the command runs with the defaults";
#ifdef KLLOG_EXE
  // The log switch is unknown: the log is written, so that the report is seen.
  ASSERT_TRUE(fs::exists(folder_ / "KL.log"));
  const auto shown = RunProcess(KLLOG_EXE, {(folder_ / "KL.log").string()});
  EXPECT_NE(shown.standardOutput.find("Nastaveni nelze precist, plati vychozi hodnoty: "), std::string::npos)
      << shown.standardOutput;
#endif
}

// The report goes to the log where nothing expects the log to fail: a log
// that cannot be written still ends the command with its outcome, no crash.
TEST_F(UnreadableSettings, WithALogThatCannotBeWrittenTheCommandStillEnds) {
  WriteFileBytes(SettingsFile(), Oversized());
  fs::create_directory(folder_ / "KL.log");
  const auto result = Run({"R03", "/COM=1", "/BR=2"});
  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(ReadFileBytes(folder_ / "error.dat"), "10\r\n3.02F\r\n");
  EXPECT_NE(result.standardError.find("settings not read"), std::string::npos) << result.standardError;
}

}  // namespace
