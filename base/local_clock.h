#pragma once
// The current local time (time zone of the process), broken down. One header,
// one implementation per platform.
#include <ctime>

/// Now, in local time. Throws std::runtime_error when the system cannot
/// convert the time.
std::tm LocalTimeNow();
