// The date locale of the log's time stamps, read from the environment when
// the run in use asks for it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "base/communication_log.h"
#include "base/run_context.h"

namespace {

std::string TimeLocale() { return std::setlocale(LC_TIME, nullptr); }

TEST(DatesInUserLocale, TheLocaleIsReadAtTheFirstStampOfARunThatAsksForItNotBefore) {
  ASSERT_EQ(unsetenv("LC_ALL"), 0);
  ASSERT_EQ(setenv("LC_TIME", "C.UTF-8", 1), 0);
  ASSERT_EQ(TimeLocale(), "C");
  std::tm moment{};
  moment.tm_year = 2025 - 1900;
  moment.tm_mday = 1;

  TCommunicationLog log;
  TRunContext mode({}, log);
  EXPECT_FALSE(FormatLogTimeStamp(moment).empty());
  EXPECT_EQ(TimeLocale(), "C") << "a run that does not ask keeps the C locale";

  mode.SetDatesInUserLocale(true);
  EXPECT_EQ(TimeLocale(), "C") << "read before any stamp";
  {
    const TRunContext command({}, log);
    EXPECT_TRUE(command.DatesInUserLocale()) << "a command's run inherits it";
    FormatLogTimeStamp(moment);
  }
  EXPECT_EQ(TimeLocale(), "C.UTF-8");

  // Read once: a later change of the environment does not reach the stamps.
  ASSERT_EQ(setenv("LC_TIME", "POSIX", 1), 0);
  FormatLogTimeStamp(moment);
  EXPECT_EQ(TimeLocale(), "C.UTF-8");
  unsetenv("LC_TIME");
}

}  // namespace
