// The enciphered log kept within LogMaxMB by the module's executable: the
// bound when the setting is missing or 0, a log that crosses the bound in the
// middle of a command, and a modem flooding the line while a dial waits.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "base/ciphered_log_line.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "background_module.h"
#include "module_folder_test.h"

#if defined(MERVMODUL_EXE) && defined(MERVSIM_EXE) && defined(KLLOG_EXE)

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t Megabyte = 1024 * 1024;

class LogBoundTest : public ModuleFolderTest {
protected:
  void SetUp() override {
    ModuleFolderTest::SetUp();
    fs::create_directories(folder_ / "Kelmora");
  }

  void WriteSettings(const std::string& text) const { WriteFileBytes(folder_ / "Kelmora" / "VOR-Manager.ini", text); }

  std::uintmax_t SizeOf(const std::string& name) const {
    const fs::path file = folder_ / name;
    return fs::exists(file) ? fs::file_size(file) : 0;
  }

  /// What kllog prints of KL.log (KL.log.1 first); fails the test when it
  /// cannot read every line.
  std::string Deciphered() const {
    const auto shown = RunProcess(KLLOG_EXE, {(folder_ / "KL.log").string()});
    EXPECT_EQ(shown.exitStatus, 0) << shown.standardError;
    return shown.standardOutput;
  }

  /// Enciphered filler lines of at least `bytes` bytes in all.
  static std::string CipheredFiller(std::uintmax_t bytes) {
    TTextCipher cipher(TextCipherKey);
    std::string lines;
    for (int i = 0; lines.size() < bytes; ++i) {
      lines += EncipherLogLine("01/02/26 10:00:00 filler line " + std::to_string(i), cipher) + "\r\n";
    }
    return lines;
  }
};

struct DefaultBoundCase {
  const char* name;
  std::string settings;
  std::uintmax_t logSize;
  bool renamed;
};
void PrintTo(const DefaultBoundCase& bound, std::ostream* out) { *out << bound.name; }

class DefaultBoundTest : public LogBoundTest, public ::testing::WithParamInterface<DefaultBoundCase> {};

// A new installation's log is kept within 100 MB; LogMaxMB=0 keeps the log
// unbounded. (The logs are sparse files: only their size counts here.)
TEST_P(DefaultBoundTest, RenamesALogPastTheBoundBeforeTheCommand) {
  WriteSettings("[Ver2]\nLogSouborSifra=1\n" + GetParam().settings);
  {
    WriteFileBytes(folder_ / "KL.log", "");
    fs::resize_file(folder_ / "KL.log", GetParam().logSize);
  }
  EXPECT_EQ(RunModule({"R03", "/COM=1"}).exitStatus, 0);
  EXPECT_EQ(Outcome(), " 3");
  EXPECT_EQ(fs::exists(folder_ / "KL.log.1"), GetParam().renamed);
  if (GetParam().renamed) {
    EXPECT_EQ(SizeOf("KL.log.1"), GetParam().logSize);
    EXPECT_LT(SizeOf("KL.log"), 64 * 1024u);
  } else {
    EXPECT_GT(SizeOf("KL.log"), GetParam().logSize) << "the command's lines appended";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DefaultBoundTest,
    ::testing::Values(DefaultBoundCase{"MissingIs100MB", "", 100 * Megabyte + 1, true},
                      DefaultBoundCase{"MissingKeepsAFullLog", "", 100 * Megabyte - 64 * 1024, false},
                      DefaultBoundCase{"NotANumberIs100MB", "LogMaxMB=lots\n", 100 * Megabyte + 1, true},
                      DefaultBoundCase{"ZeroIsNoBound", "LogMaxMB=0\n", 300 * Megabyte, false},
                      DefaultBoundCase{"NegativeIsNoBound", "LogMaxMB=-1\n", 300 * Megabyte, false},
                      DefaultBoundCase{"OneMegabyte", "LogMaxMB=1\n", Megabyte + 1, true}),
    [](const ::testing::TestParamInfo<DefaultBoundCase>& param) { return param.param.name; });

// The log is within its bound as the command starts, and crosses it with the
// command's own lines: it is renamed then, and the command's lines go on in
// the new file, none lost.
TEST_F(LogBoundTest, ALogThatFillsDuringACommandIsRenamedThen) {
  WriteSettings("[Ver2]\nLogSouborSifra=1\nLogMaxMB=1\n");
  const std::string old = CipheredFiller(Megabyte - 600);
  ASSERT_LE(old.size(), Megabyte);
  WriteFileBytes(folder_ / "KL.log", old);
  EXPECT_EQ(RunModule({"R03", "/COM=1"}).exitStatus, 0);
  const std::string older = File("KL.log.1");
  EXPECT_TRUE(older.starts_with(old));
  EXPECT_GT(older.size(), old.size()) << "the command's first lines went into the old file";
  EXPECT_LE(older.size(), Megabyte);
  EXPECT_GT(SizeOf("KL.log"), 0u);
  const std::string text = Deciphered();
  const auto parameters = text.find("Cinnost \"R03\"");
  const auto end = text.find("finally 14");
  ASSERT_NE(parameters, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(parameters, end);
}

// A modem that answers the dial with bytes without end, each read logged: the
// log is renamed each time it fills, while the dial waits, and neither file
// ever holds more than LogMaxMB. The stopped dial still ends its log.
TEST_F(LogBoundTest, AFloodingModemKeepsTheLogWithinItsBound) {
  WriteSettings("[Ver2]\nLogSouborSifra=1\nLogMaxMB=1\n");
  std::unique_ptr<BackgroundProcess> modem;
  StartOnComLine(modem, {"--modem", "flood"});
  BackgroundModule module(folder_ / "mervmodul", {"MODEMDIAL", "/COM=1", "/BR=5", "/DIALTONE=5551234"},
                          {{"XDG_CONFIG_HOME", folder_.path().string()}, {"MERV_COM1", comDevice_.string()}},
                          folder_.path());
  // Until the log has been renamed twice (KL.log.1 replaced once), looking at
  // both files all the while.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(80);
  fs::file_time_type firstRenaming{};
  bool renamedTwice = false;
  while (!renamedTwice && module.Running() && std::chrono::steady_clock::now() < deadline) {
    ASSERT_LE(SizeOf("KL.log"), Megabyte);
    ASSERT_LE(SizeOf("KL.log.1"), Megabyte);
    std::error_code error;
    const auto renaming = fs::last_write_time(folder_ / "KL.log.1", error);
    if (!error && firstRenaming == fs::file_time_type{}) firstRenaming = renaming;
    renamedTwice = !error && renaming != firstRenaming && SizeOf("KL.log") > 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(renamedTwice) << "the flood did not fill the log twice; KL.log " << SizeOf("KL.log");
  ASSERT_TRUE(module.StopWithin(std::chrono::seconds(30)).has_value());
  EXPECT_LE(SizeOf("KL.log"), Megabyte);
  EXPECT_LE(SizeOf("KL.log.1"), Megabyte);
  EXPECT_NE(Outcome(), " 0");
  const std::string text = Deciphered();
  EXPECT_NE(text.find("ErrorCode: "), std::string::npos);
  EXPECT_NE(text.find("finally 14"), std::string::npos);
}

}  // namespace

#endif
