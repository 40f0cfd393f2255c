#include "base/command_line_argument.h"

#include <gtest/gtest.h>

#include "text_cases.h"

TEST(QuotedCommandLineArgument, QuotesOnlyWhatTheRuntimeWouldSplit) {
  ExpectTexts(QuotedCommandLineArgument,
              {
                  {"tisk.tmp", "tisk.tmp"},
                  {"C:\\data\\tisk.tmp", "C:\\data\\tisk.tmp"},
                  {"", "\"\""},
                  {"C:\\ProgramData\\MERV Modul\\line1\\tisk.tmp", "\"C:\\ProgramData\\MERV Modul\\line1\\tisk.tmp\""},
                  {"a\tb", "\"a\tb\""},
                  {"say \"hi\"", "\"say \\\"hi\\\"\""},
                  {"C:\\my folder\\", "\"C:\\my folder\\\\\""},
                  {"x\\\"y", "\"x\\\\\\\"y\""},
              });
}
