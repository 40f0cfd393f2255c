// What `--ports` and `--explain 9` tell a user names the things of the
// platform the module runs on: Linux devices and groups on Linux, the
// device manager and the service account on Windows, never the other's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/information_options.h"
#include "app/error_explanation.h"
#include "on_windows.h"

namespace {

bool NamesLinuxThings(const std::string& text) {
  return text.find("/dev/") != std::string::npos || text.find("dialout") != std::string::npos;
}

bool NamesWindowsThings(const std::string& text) { return text.find("device manager") != std::string::npos; }

TEST(PlatformWords, PortsAndTheLineErrorSpeakOfThisPlatformOnly) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--ports"}, {"--explain", "9"}}) {
    const auto outcome = RunInformationOption(arguments, ".");
    ASSERT_TRUE(outcome.has_value()) << arguments[0];
    EXPECT_EQ(NamesLinuxThings(outcome->Output), !OnWindows) << outcome->Output;
    EXPECT_EQ(NamesWindowsThings(outcome->Output), OnWindows) << outcome->Output;
  }
}

TEST(PlatformWords, TheDocumentsNameBothPlatforms) {
  const std::string document = ErrorDocument();
  EXPECT_TRUE(NamesLinuxThings(document));
  EXPECT_TRUE(NamesWindowsThings(document));
  EXPECT_EQ(document.find("{device access}"), std::string::npos);
}

}  // namespace
