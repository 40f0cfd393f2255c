#pragma once
// Starting the print viewer: a program started on its own, not waited for.
// One implementation per platform: viewer_launch_posix.cpp, viewer_launch_win32.cpp.
#include <string>

/// The viewer's file name in the program folder: "vyrnak" on POSIX,
/// "Vyrnak.exe" on Windows.
std::string ViewerFileName();

/// Starts `program` with the two arguments, detached from this process (it
/// keeps running when this process ends and is never waited for), without a
/// working folder of its own choosing and with its standard streams off this
/// process's. Returns whether the start was handed to the system; whether
/// the program then runs is not checked.
bool StartDetached(const std::string& program, const std::string& first, const std::string& second);
