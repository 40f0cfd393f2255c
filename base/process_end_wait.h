#pragma once
// Waiting, up to a limit, for one process to end, without waking for other
// processes and without reaping it: the caller's own check (waitpid, a child
// object's poll) reaps it and says how it ended. One implementation per
// platform: process_end_wait_posix.cpp (a pidfd polled with the limit; where
// the kernel has no pidfd, before Linux 5.3, a short sleep),
// process_end_wait_win32.cpp (the process handle).
#include <chrono>
#include <type_traits>

/// Returns when the process `processId` has ended, when `limit` has passed,
/// or earlier (a signal came, the process cannot be watched): the caller
/// checks the process and waits again for what is left of its limit.
void AwaitProcessEnd(long processId, std::chrono::milliseconds limit);

/// What `ended` gives (an optional: empty while the process runs), asked at
/// once and again each time the process may have ended, until it gives a
/// value or `limit` has passed; then the empty value.
template <typename Check>
std::invoke_result_t<Check&> WaitForProcessEnd(long processId, std::chrono::milliseconds limit, Check ended) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  while (true) {
    if (auto end = ended()) return end;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return {};
    AwaitProcessEnd(processId, left);
  }
}
