// Where the POSIX settings file is looked for, and a settings file that is
// there but cannot be read: reported, read as defaults, never replaced.
#include "base/settings_store.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>

#include "test_support.h"

namespace {

#ifndef _WIN32
TEST(SettingsFile, ConfigHomeThenHomeThenTheInstallationsForAUserWithoutAHome) {
  struct Case {
    const char* configHome;
    const char* home;
    const char* file;
  };
  const Case cases[] = {
      {"/cfg", "/home/shop", "/cfg/Kelmora/VOR-Manager.ini"},
      {"/cfg", "/", "/cfg/Kelmora/VOR-Manager.ini"},
      {"", "/home/shop", "/home/shop/.config/Kelmora/VOR-Manager.ini"},
      {"", "/", "/etc/mervmodul/VOR-Manager.ini"},
      {"", "", "/etc/mervmodul/VOR-Manager.ini"},
      // One separator between folder and name, none added to one there.
      {"/cfg/", "/home/shop", "/cfg/Kelmora/VOR-Manager.ini"},
      {"/cfg//", "", "/cfg//Kelmora/VOR-Manager.ini"},
      {"", "/home/shop/", "/home/shop/.config/Kelmora/VOR-Manager.ini"},
      {"cfg", "", "cfg/Kelmora/VOR-Manager.ini"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsFileFor(c.configHome, c.home, "/etc/mervmodul"), c.file) << c.configHome << " " << c.home;
  }
}

namespace fs = std::filesystem;

/// XDG_CONFIG_HOME pointed at a fresh folder for the life of the object.
class OwnSettingsFolder {
public:
  OwnSettingsFolder() {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    if (saved != nullptr) saved_ = saved;
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    fs::create_directories(config_ / "Kelmora");
  }
  ~OwnSettingsFolder() {
    if (saved_) {
      setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  OwnSettingsFolder(const OwnSettingsFolder&) = delete;
  OwnSettingsFolder& operator=(const OwnSettingsFolder&) = delete;

  fs::path File() const { return config_ / "Kelmora" / "VOR-Manager.ini"; }

private:
  TempDir config_;
  std::optional<std::string> saved_;
};

const std::string KeptSettings = "[Ver2]\nLogSouborSifra=1\n[Ports]\nCOM3=/dev/ttyUSB0\n[Tisk]\nTiskarna=Kancelar\n";

// Every kind of settings file that is there but cannot be read: each read
// gives the default and is reported in the log and (once) on standard error;
// a write throws and leaves the file as it was.
TEST(SettingsFile, OneThatCannotBeReadIsReportedAndNeverReplaced) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::function<bool(const fs::path&)> unchanged;
  };
  const std::string oversized = KeptSettings + "; " + std::string(1024 * 1024, '-') + "\n";
  const auto sameBytes = [](const std::string& bytes) {
    return [bytes](const fs::path& file) { return fs::is_regular_file(file) && ReadFileBytes(file) == bytes; };
  };
  std::vector<Case> cases = {
      {"over the size bound", [&](const fs::path& file) { WriteFileBytes(file, oversized); }, sameBytes(oversized)},
      {"a folder", [](const fs::path& file) { fs::create_directory(file); },
       [](const fs::path& file) { return fs::is_directory(file) && fs::is_empty(file); }},
      {"a FIFO", [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
       [](const fs::path& file) { return fs::is_fifo(file); }},
  };
  if (::geteuid() != 0) {  // root reads every file
    cases.push_back({"not readable by the user",
                     [](const fs::path& file) {
                       WriteFileBytes(file, KeptSettings);
                       fs::permissions(file, fs::perms::owner_write);
                     },
                     [](const fs::path& file) {
                       fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
                       return ReadFileBytes(file) == KeptSettings;
                     }});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OwnSettingsFolder settings;
    c.make(settings.File());
    LogCapture log;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(SettingUnreadable("Ver2", "LogSouborSifra"));
    EXPECT_EQ(ReadSettingInteger("Ver2", "LogSouborSifra", 7), 7);
    EXPECT_EQ(ReadSettingText("Ports", "COM3"), "");
    EXPECT_THROW(WriteSettingInteger("Ver2", "LogSouborSifra", 0), std::runtime_error);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(c.unchanged(settings.File()));

    EXPECT_NE(told.find(settings.File().string()), std::string::npos) << told;
    EXPECT_EQ(told.find('\n'), told.size() - 1) << "one line for one failure: " << told;
    // The same report for each read: the log writes it once and counts the
    // other two.
    EndLogRepetition();
    const auto messages = log.Messages();
    ASSERT_EQ(messages.size(), 2u) << "the report and its count";
    EXPECT_TRUE(messages[0].starts_with("Nastaveni nelze precist")) << messages[0];
    EXPECT_NE(messages[0].find(settings.File().string()), std::string::npos) << messages[0];
    EXPECT_EQ(messages[1], RepetitionNote(1, 2));
  }
}

TEST(SettingsFile, AMissingOneReadsAsDefaultsQuietlyAndIsMadeByAWrite) {
  OwnSettingsFolder settings;
  LogCapture log;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SettingUnreadable("Ver2", "LogSouborSifra"));
  EXPECT_EQ(ReadSettingInteger("Ver2", "LogSouborSifra", 7), 7);
  WriteSettingInteger("Ver2", "LogSouborSifra", 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(log.Messages().empty());
  EXPECT_EQ(ReadFileBytes(settings.File()), "[Ver2]\nLogSouborSifra=1\n");

  WriteFileBytes(settings.File(), KeptSettings);
  WriteSettingInteger("Ver2", "LogSouborSifra", 0);
  EXPECT_EQ(ReadSettingText("Tisk", "Tiskarna"), "Kancelar");
  EXPECT_EQ(ReadSettingInteger("Ver2", "LogSouborSifra", 7), 0);
}

// The module names its settings file itself: a link planted there is
// replaced by the written file, and what it led to stays as it was.
TEST(SettingsFile, ALinkUnderItsNameIsReplacedNeverWrittenThrough) {
  OwnSettingsFolder settings;
  TempDir elsewhere;
  const fs::path target = elsewhere.path() / "other.ini";
  WriteFileBytes(target, KeptSettings);
  fs::create_symlink(target, settings.File());
  WriteSettingInteger("Ver2", "LogSouborSifra", 0);
  EXPECT_FALSE(fs::is_symlink(settings.File()));
  EXPECT_EQ(ReadFileBytes(target), KeptSettings);
  EXPECT_EQ(ReadSettingText("Tisk", "Tiskarna"), "Kancelar") << "the settings it led to are kept in the new file";
  EXPECT_EQ(ReadSettingInteger("Ver2", "LogSouborSifra", 7), 0);
}
#endif

}  // namespace
