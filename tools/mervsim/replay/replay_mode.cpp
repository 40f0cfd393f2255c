// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#include "tools/mervsim/replay/replay_mode.h"

#include <iostream>

#include "tools/mervsim/replay/replay_player.h"
#include "tools/mervsim/replay/replay_script.h"
#include "tools/mervsim/line/wire_log.h"

int RunReplay(const TReplayOptions& replay, const TLineSettings& line, const std::string& wireLogPath) {
  const TReplayScript script = TReplayScript::FromFile(replay.LogPath, replay.FromLine);
  TWireLog log(wireLogPath);
  TReplayPlayer player(script, log, std::cerr);
  InstallStopSignals();
  TSimServer server(player, line);
  AnnounceListening(server.Open());
  std::cerr << "mervsim: replaying " << script.ModuleFrames() << " frames of " << replay.LogPath << " from line "
            << script.Steps().front().LogLine;
  if (script.SkippedLines() > 0) std::cerr << " (" << script.SkippedLines() << " lines could not be deciphered)";
  std::cerr << std::endl;
  server.Serve();
  std::cerr << "mervsim: replay: " << player.FramesMatched() << " frames as in the log, " << player.Differences()
            << (player.Differences() == 1 ? " difference" : " differences") << std::endl;
  return player.Differences() > 0 ? ExitReplayDiffers : 0;
}
