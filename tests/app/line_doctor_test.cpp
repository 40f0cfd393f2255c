// The doctor's run of its checks: a check that raises (a file it reads
// vanishes or cannot be read) is a failed line, not the end of the program.
#include "app/line_doctor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <system_error>

namespace {

std::vector<std::string> FailedLines(const std::string& text) {
  std::vector<std::string> failed;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("FAIL ")) failed.push_back(line);
  }
  return failed;
}

TDoctorStep Passing(const std::string& name) {
  return {name, [name] { return std::vector<TDoctorCheck>{{name, true, "fine", {}}}; }};
}

TDoctorStep Raising(const std::string& name) {
  return {name, []() -> std::vector<TDoctorCheck> {
            throw std::system_error(std::make_error_code(std::errc::permission_denied), "latency_timer");
          }};
}

TEST(LineDoctor, ARaisingCheckIsOneFailedLineAndTheOthersStillRun) {
  struct Case {
    const char* name;
    std::vector<TDoctorStep> steps;
    std::size_t checks;
    std::vector<std::string> failedLines;
    int status;
  };
  const std::vector<Case> cases{
      {"all pass", {Passing("settings"), Passing("printer")}, 2, {}, 0},
      {"one raises",
       {Passing("settings"), Raising("COM device"), Passing("printer")},
       3,
       {"FAIL COM device: latency_timer: Permission denied"},
       1},
  };
  for (const Case& c : cases) {
    std::vector<TDoctorCheck> checks;
    ASSERT_NO_THROW(checks = RunDoctorSteps(c.steps)) << c.name;
    EXPECT_EQ(checks.size(), c.checks) << c.name;
    EXPECT_EQ(FailedLines(DoctorText(checks)), c.failedLines) << c.name;
    EXPECT_EQ(DoctorExitStatus(checks), c.status) << c.name;
    for (const TDoctorCheck& check : checks) {
      EXPECT_TRUE(check.Ok || !check.Advice.empty()) << c.name << ": " << check.Name << " failed without advice";
    }
  }
}

}  // namespace
