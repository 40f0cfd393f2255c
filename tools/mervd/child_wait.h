#pragma once
// Waiting for one child to end, up to a limit, without waking for other
// children: the line workers each wait for their own module run at once.
// The wait itself is base/process_end_wait.h's (a pidfd on POSIX, the
// process handle on Windows).
#include <chrono>
#include <optional>

#include "tools/mervfleet/child_process.h"

/// How the child ended, or none when it still runs after `limit`.
std::optional<TChildEnd> WaitForChildEnd(TChildProcess& child, std::chrono::milliseconds limit);
