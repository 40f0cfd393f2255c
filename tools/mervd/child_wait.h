#pragma once
// Waiting for one child to end, up to a limit, without waking for other
// children: the line workers each wait for their own module run at once.
// One implementation per platform: child_wait_posix.cpp (a pidfd polled with
// the limit), child_wait_win32.cpp (the process handle).
#include <chrono>
#include <optional>

#include "tools/mervfleet/child_process.h"

/// How the child ended, or none when it still runs after `limit`.
std::optional<TChildEnd> WaitForChildEnd(TChildProcess& child, std::chrono::milliseconds limit);
