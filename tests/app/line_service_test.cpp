#include "app/line_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/end_signals.h"
#include "base/stop_request.h"
#include "on_windows.h"

namespace {

using State = TLineService::State;
using Control = TLineService::Control;

TEST(LineService, FolderFromTheStartArgumentsElseFromTheHostsCommandLine) {
  struct Case {
    std::vector<std::string> start;
    std::vector<std::string> host;
    std::optional<std::string> folder;
  };
  const Case cases[] = {
      {{}, {"C:\\ProgramData\\MERV Modul\\line1"}, "C:\\ProgramData\\MERV Modul\\line1"},
      {{"D:\\line2"}, {"C:\\line1"}, "D:\\line2"},
      {{""}, {"C:\\line1"}, "C:\\line1"},
      {{}, {}, std::nullopt},
      {{""}, {""}, std::nullopt},
      {{}, {"C:\\ProgramData\\MERV Modul\\line1\\."}, "C:\\ProgramData\\MERV Modul\\line1\\"},
      {{"/var/lib/line1/."}, {}, "/var/lib/line1/"},
      {{"C:\\line.1"}, {}, "C:\\line.1"},
      {{"\\."}, {}, "\\."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineFolderOf(c.start, c.host), c.folder) << c.start.size() << " " << c.host.size();
  }
}

TEST(LineService, ModeRunsOnTheCommandFileOfTheLineFolder) {
  EXPECT_EQ(LineModeArguments("C:\\ProgramData\\MERV Modul\\line1", '\\'),
            (std::vector<std::string>{"DOSMODE", "C:\\ProgramData\\MERV Modul\\line1\\command.txt"}));
  EXPECT_EQ(LineModeArguments("C:\\line1\\", '\\'), (std::vector<std::string>{"DOSMODE", "C:\\line1\\command.txt"}));
  EXPECT_EQ(LineModeArguments("/var/lib/line1", '/'),
            (std::vector<std::string>{"DOSMODE", "/var/lib/line1/command.txt"}));
}

TEST(LineService, StartsPendingThenRunsAcceptingAStop) {
  TLineService service;
  EXPECT_EQ(service.Status().CurrentState, State::StartPending);
  EXPECT_FALSE(service.Status().AcceptsStop) << "no stop before the mode runs";
  EXPECT_GT(service.Status().WaitHintMs, 0);
  service.Started();
  EXPECT_EQ(service.Status().CurrentState, State::Running);
  EXPECT_TRUE(service.Status().AcceptsStop);
  EXPECT_EQ(service.Status().WaitHintMs, 0);
}

// Each row: the controls given in turn to a running service, and what the
// last one answers and leaves.
TEST(LineService, ControlsOfARunningService) {
  struct Case {
    const char* what;
    std::vector<Control> controls;
    bool handled;
    bool endTheMode;
    State state;
  };
  const Case cases[] = {
      {"stop", {Control::Stop}, true, true, State::StopPending},
      {"shutdown", {Control::Shutdown}, true, true, State::StopPending},
      {"interrogate", {Control::Interrogate}, true, false, State::Running},
      {"an unknown control", {Control::Other}, false, false, State::Running},
      {"a second stop", {Control::Stop, Control::Stop}, true, true, State::StopPending},
      {"interrogate while stopping", {Control::Stop, Control::Interrogate}, true, false, State::StopPending},
  };
  for (const auto& c : cases) {
    TLineService service;
    service.Started();
    TLineService::TControlAnswer answer;
    for (const auto control : c.controls) answer = service.OnControl(control);
    EXPECT_EQ(answer.Handled, c.handled) << c.what;
    EXPECT_EQ(answer.EndTheMode, c.endTheMode) << c.what;
    EXPECT_EQ(answer.Report, c.handled) << c.what;
    EXPECT_EQ(service.Status().CurrentState, c.state) << c.what;
  }
}

TEST(LineService, AStopWaitsForTheCommandUnderWay) {
  TLineService service;
  service.Started();
  service.OnControl(Control::Stop);
  EXPECT_EQ(service.Status().WaitHintMs, LineStopWaitMs);
  EXPECT_FALSE(service.Status().AcceptsStop);
  const int checkPoint = service.Status().CheckPoint;
  service.OnControl(Control::Stop);
  EXPECT_EQ(service.Status().CheckPoint, checkPoint) << "a repeated stop does not restart the wait";
  service.Ended(0);
  EXPECT_EQ(service.Status().CurrentState, State::Stopped);
  EXPECT_EQ(service.Status().ExitCode, 0);
}

TEST(LineService, EndsStoppedWithTheModesExitCode) {
  TLineService service;
  service.Started();
  service.Ended(1);  // a "CLOSE" command file or a failure ends it without a stop
  EXPECT_EQ(service.Status().CurrentState, State::Stopped);
  EXPECT_EQ(service.Status().ExitCode, 1);
  const auto answer = service.OnControl(Control::Stop);
  EXPECT_FALSE(answer.EndTheMode);
  EXPECT_EQ(service.Status().CurrentState, State::Stopped);
  service.Started();
  EXPECT_EQ(service.Status().CurrentState, State::Stopped) << "a stopped service does not start again";
}

// The service host answers a stop with RequestEnd: the mode's wait for the
// next command file ends at once. On Windows the command under way is left
// to finish (the service's stop waits for it); on POSIX RequestEnd is
// SIGTERM's own path, which also stops that command. The end cannot be taken
// back, so it runs in a child.
TEST(LineService, TheHostsStopEndsTheModesWaitAndStopsACommandOnlyOnPosix) {
  constexpr bool CommandStopped = !OnWindows;
  EXPECT_EXIT(
      {
        InstallEndSignals();
        RequestEnd();
        const auto before = std::chrono::steady_clock::now();
        WaitUnlessEndRequested(60'000);
        const bool waitCut = std::chrono::steady_clock::now() - before < std::chrono::seconds(30);
        std::exit((StopRequested() == CommandStopped ? 0 : 1) | (EndRequested() ? 0 : 2) | (waitCut ? 0 : 4));
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
