#include "base/stop_request.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace {

// Process-wide, as a signal or a console event reaches the process, not one
// command. Lock-free, so a signal handler may set it.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The busy marks, counted; the condition is told when the last one goes.
struct TBusyMarks {
  std::mutex Mutex;
  std::condition_variable NoneLeft;
  int Count = 0;
};

// Never destroyed: a console handler may still be returning from its wait
// while the process ends.
TBusyMarks& BusyMarks() {
  static auto* marks = new TBusyMarks;
  return *marks;
}

}  // namespace

bool StopRequested() { return stopRequested.load(); }

void RequestStop() { stopRequested.store(true); }

void ClearStopRequest() { stopRequested.store(false); }

void ThrowIfStopRequested() {
  if (StopRequested()) throw std::runtime_error("Prikaz prerusen");
}

TBusyWithCommand::TBusyWithCommand() {
  auto& marks = BusyMarks();
  const std::lock_guard lock(marks.Mutex);
  ++marks.Count;
}

TBusyWithCommand::~TBusyWithCommand() {
  auto& marks = BusyMarks();
  const std::lock_guard lock(marks.Mutex);
  if (--marks.Count == 0) marks.NoneLeft.notify_all();
}

bool AwaitNoBusyMark(std::chrono::milliseconds cap) {
  auto& marks = BusyMarks();
  std::unique_lock lock(marks.Mutex);
  return marks.NoneLeft.wait_for(lock, cap, [&] { return marks.Count == 0; });
}
