#pragma once
// Waiting for a moment on the steady clock to within a few microseconds. A
// plain sleep ends some tens of microseconds after its deadline (on virtual
// machines more), which over thousands of 1 ms pauses on a line adds up to a
// good share of a transfer.
#include <chrono>

/// Sleeps until shortly before `due`, then watches the clock for the rest.
/// Returns at once when `due` has passed.
void WaitUntilPrecisely(std::chrono::steady_clock::time_point due);
