#include "tools/mervd/child_wait.h"

#include "base/process_end_wait.h"

std::optional<TChildEnd> WaitForChildEnd(TChildProcess& child, std::chrono::milliseconds limit) {
  return WaitForProcessEnd(child.Id(), limit, [&child] { return child.Poll(); });
}
