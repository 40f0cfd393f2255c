#pragma once
// The print viewer's program name on this platform. One implementation per
// platform: viewer_launch_posix.cpp, viewer_launch_win32.cpp. The viewer is
// started through StartDetached (base/detached_start.h).
#include <string>

/// The viewer's file name in the program folder: "vyrnak" on POSIX,
/// "Vyrnak.exe" on Windows.
std::string ViewerFileName();
