#include "base/command_line_argument.h"

#include <gtest/gtest.h>

TEST(QuotedCommandLineArgument, QuotesOnlyWhatTheRuntimeWouldSplit) {
  const struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"tisk.tmp", "tisk.tmp"},
      {"C:\\data\\tisk.tmp", "C:\\data\\tisk.tmp"},
      {"", "\"\""},
      {"C:\\ProgramData\\MERV Modul\\line1\\tisk.tmp", "\"C:\\ProgramData\\MERV Modul\\line1\\tisk.tmp\""},
      {"a\tb", "\"a\tb\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\my folder\\", "\"C:\\my folder\\\\\""},
      {"x\\\"y", "\"x\\\\\\\"y\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuotedCommandLineArgument(c.argument), c.quoted) << c.argument;
}
