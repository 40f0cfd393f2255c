// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#pragma once
// mervsim --replay: the register's side of a recorded conversation played on
// the emulator's line (see TReplayPlayer), instead of the emulated register.
#include <cstddef>
#include <string>

#include "tools/mervsim/line/sim_transport.h"

struct TReplayOptions {
  /// The module's communication log, enciphered (KL.log) or plain; empty:
  /// no replay.
  std::string LogPath;
  /// The replay starts at the first opening of the line at or after this line.
  std::size_t FromLine = 1;
};

/// Exit status of a replay in which the module sent a frame that differs.
inline constexpr int ExitReplayDiffers = 3;

/// Serves the replay until a stop signal or, with Once, the first connection
/// has ended; prints what it listens on to standard output and every
/// difference to standard error. Returns 0, or ExitReplayDiffers.
int RunReplay(const TReplayOptions& replay, const TLineSettings& line, const std::string& wireLogPath);
