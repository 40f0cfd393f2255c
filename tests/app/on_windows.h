#pragma once
// Whether the test program was built for Windows, for the checks whose
// answer is the platform's.
#ifdef _WIN32
inline constexpr bool OnWindows = true;
#else
inline constexpr bool OnWindows = false;
#endif
