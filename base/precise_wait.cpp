#include "base/precise_wait.h"

#include <thread>

// The watched stretch is about what a sleep overshoots, so little processor
// time goes into it, and it does not yield: on a busy machine both a yield and
// a longer watch cost far more than they save.
void WaitUntilPrecisely(std::chrono::steady_clock::time_point due) {
  constexpr auto SleepOvershoot = std::chrono::microseconds(50);
  if (due - std::chrono::steady_clock::now() > SleepOvershoot) std::this_thread::sleep_until(due - SleepOvershoot);
  while (std::chrono::steady_clock::now() < due) {
  }
}
