// The doctor's run of its checks: a check that raises (a file it reads
// cannot be read) is one failed line, not the end of the program.
#include "app/line_doctor.h"

#include <gtest/gtest.h>

#include <system_error>

namespace {

TEST(LineDoctor, ARaisingCheckIsOneFailedLineAndTheOthersStillRun) {
  const auto passing = [] { return std::vector<TDoctorCheck>{{"settings", true, "fine", {}}}; };
  const auto raising = []() -> std::vector<TDoctorCheck> {
    throw std::system_error(std::make_error_code(std::errc::permission_denied), "latency_timer");
  };
  const auto checks = RunDoctorSteps({{"settings", passing}, {"COM device", raising}, {"printer", passing}});
  ASSERT_EQ(checks.size(), 3u);
  const std::string text = DoctorText(checks);
  EXPECT_NE(text.find("\nFAIL COM device: latency_timer: Permission denied\n     what to do: "), std::string::npos)
      << text;
  EXPECT_EQ(text.find("FAIL "), text.rfind("FAIL ")) << "one failed line:\n" << text;
  EXPECT_EQ(DoctorExitStatus(checks), 1);
}

}  // namespace
