#pragma once
// Starting a program detached: it runs on its own, keeps running when this
// process ends, and is never waited for. The start itself is checked: a
// program that is missing or cannot be executed is reported. One
// implementation per platform: detached_start_posix.cpp (posix_spawn in a
// session of its own), detached_start_win32.cpp (the shell's "open").
#include <string>
#include <vector>

struct TDetachedStart {
  /// The program first, then its arguments.
  std::vector<std::string> Arguments;
  /// A program name without a folder is looked up on the search path.
  bool SearchPath = false;
  /// Standard input and output go to the null device, and standard error too
  /// unless it is a terminal, so that a message of the program reaches the
  /// user (POSIX; on Windows a started program has streams of its own).
  bool QuietStreams = false;
};

/// True when the program was started; false when it is missing, cannot be
/// executed, or the system refused the start. Returns once the program runs
/// (or failed to), without waiting for it.
bool StartDetached(const TDetachedStart& start);
