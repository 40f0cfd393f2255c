// The console handlers' answer: Ctrl+C and Ctrl+Break note the stop and
// return; a console's close and a shut-down, after which Windows ends the
// process, note it and return only once the work under way has ended.
#include "base/console_events_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "base/stop_request.h"

namespace {

using namespace std::chrono_literals;

/// Longer than any test runs: a handler that returned did not reach it.
constexpr auto NoCap = std::chrono::milliseconds(600000);
/// The bound of the test's own waits for the handler's thread.
constexpr auto Generously = 60s;

std::atomic<int> stopsNoted{0};
void NoteStop() { ++stopsNoted; }

struct HandlerEnd {
  BOOL Handled = FALSE;
  bool WorkHadEnded = false;  // when the handler returned
};

struct EventCase {
  const char* what;
  DWORD event;
  BOOL handled;
  bool waitsForTheWork;
};

// The work ends only after the stop was noted and, for a handler that does
// not wait for it, only after the handler has returned.
TEST(ConsoleEvents, CloseAndShutDownReturnOnlyOnceTheWorkHasEnded) {
  const EventCase cases[] = {
      {"Ctrl+C", CTRL_C_EVENT, TRUE, false},        {"Ctrl+Break", CTRL_BREAK_EVENT, TRUE, false},
      {"close", CTRL_CLOSE_EVENT, TRUE, true},      {"shut-down", CTRL_SHUTDOWN_EVENT, TRUE, true},
      {"log-off", CTRL_LOGOFF_EVENT, FALSE, false},
  };
  for (const auto& eventCase : cases) {
    stopsNoted = 0;
    std::optional<TBusyWithCommand> busy(std::in_place);
    std::atomic<bool> workEnded{false};
    auto handler = std::async(std::launch::async, [&] {
      const BOOL handled = AnswerConsoleEvent(eventCase.event, NoteStop, NoCap);
      return HandlerEnd{handled, workEnded.load()};
    });
    if (eventCase.waitsForTheWork) {
      for (auto deadline = std::chrono::steady_clock::now() + Generously;
           stopsNoted == 0 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(1ms);
      }
    } else {
      handler.wait_for(Generously);
    }
    workEnded = true;
    busy.reset();
    ASSERT_EQ(handler.wait_for(Generously), std::future_status::ready) << eventCase.what;
    const HandlerEnd end = handler.get();
    EXPECT_EQ(end.Handled, eventCase.handled) << eventCase.what;
    EXPECT_EQ(stopsNoted, eventCase.handled ? 1 : 0) << eventCase.what;
    EXPECT_EQ(end.WorkHadEnded, eventCase.waitsForTheWork) << eventCase.what;
  }
}

TEST(ConsoleEvents, CloseGivesUpAtItsCapAndDoesNotWaitWhenNothingIsBusy) {
  {
    const TBusyWithCommand neverEnding;
    EXPECT_EQ(AnswerConsoleEvent(CTRL_CLOSE_EVENT, NoteStop, 50ms), TRUE);
  }
  EXPECT_EQ(AnswerConsoleEvent(CTRL_CLOSE_EVENT, NoteStop, NoCap), TRUE) << "nothing busy: nothing to wait for";
}

}  // namespace
