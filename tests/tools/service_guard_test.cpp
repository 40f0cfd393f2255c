// A service's work that fails ends with the service's failure code and says
// why, whatever it throws; work that returns keeps its own code.
#include "tools/service_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <system_error>

namespace {

struct NotAStandardFailure {};

struct GuardCase {
  const char* what;
  std::function<int()> work;
  int exitCode;
  const char* reported;  // nullptr: nothing is reported
};

TEST(ServiceGuard, EveryFailureEndsWithTheServiceCodeAndIsReported) {
  const GuardCase cases[] = {
      {"returns 0", [] { return 0; }, 0, nullptr},
      {"returns 2", [] { return 2; }, 2, nullptr},
      {"runtime_error", []() -> int { throw std::runtime_error("port 8080 is taken"); }, ServiceWorkFailed,
       "port 8080 is taken"},
      {"system_error",
       []() -> int { throw std::system_error(std::make_error_code(std::errc::permission_denied), "token file"); },
       ServiceWorkFailed, "token file"},
      {"not a std::exception", []() -> int { throw NotAStandardFailure{}; }, ServiceWorkFailed, "unknown kind"},
  };
  for (const auto& guardCase : cases) {
    std::string reported;
    int reports = 0;
    const int exitCode = RunServiceWork(guardCase.work, [&](const std::string& failure) {
      reported = failure;
      ++reports;
    });
    EXPECT_EQ(exitCode, guardCase.exitCode) << guardCase.what;
    if (guardCase.reported == nullptr) {
      EXPECT_EQ(reports, 0) << guardCase.what;
    } else {
      EXPECT_EQ(reports, 1) << guardCase.what;
      EXPECT_NE(reported.find(guardCase.reported), std::string::npos) << guardCase.what << ": " << reported;
    }
  }
}

}  // namespace
