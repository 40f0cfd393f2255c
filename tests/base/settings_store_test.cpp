// Where the POSIX settings file is looked for.
#include "base/settings_store.h"

#include <gtest/gtest.h>

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
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsFileFor(c.configHome, c.home, "/etc/mervmodul"), c.file) << c.configHome << " " << c.home;
  }
}
#endif

}  // namespace
