// The date locale of the log's time stamps, read from the environment as
// the module's start asks for it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "base/communication_log.h"

namespace {

TEST(StampInUserLocale, TheLocaleIsReadAtTheFirstStampNotBefore) {
  ASSERT_EQ(unsetenv("LC_ALL"), 0);
  ASSERT_EQ(setenv("LC_TIME", "C.UTF-8", 1), 0);
  ASSERT_EQ(std::string(std::setlocale(LC_TIME, nullptr)), "C");

  StampInUserLocale();
  EXPECT_EQ(std::string(std::setlocale(LC_TIME, nullptr)), "C") << "read before any stamp";

  std::tm moment{};
  moment.tm_year = 2025 - 1900;
  moment.tm_mday = 1;
  EXPECT_FALSE(FormatLogTimeStamp(moment).empty());
  EXPECT_EQ(std::string(std::setlocale(LC_TIME, nullptr)), "C.UTF-8");

  // Read once: a later change of the environment does not reach the stamps.
  ASSERT_EQ(setenv("LC_TIME", "POSIX", 1), 0);
  FormatLogTimeStamp(moment);
  EXPECT_EQ(std::string(std::setlocale(LC_TIME, nullptr)), "C.UTF-8");
  unsetenv("LC_TIME");
}

}  // namespace
