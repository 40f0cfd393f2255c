#include "base/stop_request.h"

#include <atomic>
#include <stdexcept>

namespace {

// Process-wide, as a signal or a console event reaches the process, not one
// command. Lock-free, so a signal handler may set it.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

bool StopRequested() { return stopRequested.load(); }

void RequestStop() { stopRequested.store(true); }

void ClearStopRequest() { stopRequested.store(false); }

void ThrowIfStopRequested() {
  if (StopRequested()) throw std::runtime_error("Prikaz prerusen");
}
