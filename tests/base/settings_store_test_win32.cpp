// The registry store reads the machine's value when the user has none: a
// service account sees what the installer set.
#include "base/settings_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const std::string BaseKey = "Software\\Kelmora\\VOR-Manager\\";

// A section of its own under the store's key, in both hives; removed at the end.
class MachineSection {
public:
  MachineSection() : name_("MervTest" + std::to_string(GetCurrentProcessId())) {}
  ~MachineSection() {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteTreeA(root, (BaseKey + name_).c_str());
  }
  const std::string& Name() const { return name_; }
  void SetMachineInteger(const char* value, DWORD data) const {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (BaseKey + name_).c_str(), value, REG_DWORD, &data, sizeof data),
              ERROR_SUCCESS);
  }
  void SetMachineText(const char* value, const std::string& text) const {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (BaseKey + name_).c_str(), value, REG_SZ, text.c_str(),
                              static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
  }

private:
  std::string name_;
};

TEST(MachineSettings, ReadWhenTheUserHasNoValue) {
  MachineSection section;
  EXPECT_EQ(ReadSettingInteger(section.Name(), "LogSouborSifra", 7), 7) << "neither hive has it";
  section.SetMachineInteger("LogSouborSifra", 1);
  section.SetMachineText("Tiskarna", "Kancelar");
  EXPECT_EQ(ReadSettingInteger(section.Name(), "LogSouborSifra", 7), 1);
  EXPECT_EQ(ReadSettingText(section.Name(), "Tiskarna"), "Kancelar");
}

TEST(MachineSettings, TheUsersValueWinsAndIsWrittenForTheUserOnly) {
  MachineSection section;
  section.SetMachineInteger("LogSouborSifra", 1);
  WriteSettingInteger(section.Name(), "LogSouborSifra", 0);
  EXPECT_EQ(ReadSettingInteger(section.Name(), "LogSouborSifra", 7), 0);
  DWORD machine = 0;
  DWORD size = sizeof machine;
  ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, (BaseKey + section.Name()).c_str(), "LogSouborSifra", RRF_RT_REG_DWORD,
                         nullptr, &machine, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(machine, 1u) << "the installer's value stays";
}

// A value of the user's that cannot be read is reported and gives the
// default; the machine's value does not stand in for it.
TEST(MachineSettings, AValueOfTheWrongTypeIsReportedNotReplacedByTheMachines) {
  MachineSection section;
  section.SetMachineInteger("LogSouborSifra", 1);
  const std::string text = "1";
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (BaseKey + section.Name()).c_str(), "LogSouborSifra", REG_SZ,
                            text.c_str(), static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(SettingUnreadable(section.Name(), "LogSouborSifra"));
  EXPECT_EQ(ReadSettingInteger(section.Name(), "LogSouborSifra", 7), 7);
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find("HKEY_CURRENT_USER\\" + BaseKey + section.Name() + " LogSouborSifra"), std::string::npos) << told;
  EXPECT_FALSE(SettingUnreadable(section.Name(), "Tiskarna")) << "a missing value is no failure";
}

}  // namespace
