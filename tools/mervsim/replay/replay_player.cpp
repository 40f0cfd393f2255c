// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#include "tools/mervsim/replay/replay_player.h"

TReplayPlayer::TReplayPlayer(const TReplayScript& script, TWireLog& log, std::ostream& report)
    : steps_(script.Steps()), log_(log), report_(report) {}

void TReplayPlayer::StartConnection(const std::string& peer) {
  buffer_.clear();
  done_ = false;
  if (!At(Kind::LineOpened)) SkipToNextOpening();
  const std::string where =
      next_ < steps_.size() ? "log line " + std::to_string(steps_[next_].LogLine) : "the log's end";
  log_.Note((peer.empty() ? "connection opened" : "connection opened from " + peer) + ", replaying from " + where);
  SkipOpenings();
}

TEmulatorAnswer TReplayPlayer::Receive(std::string_view bytes) {
  answer_ = {};
  if (done_) {
    log_.Received(bytes);
    log_.Note("not answered (replay stopped on this connection)");
    return {};
  }
  buffer_.append(bytes);
  while (!buffer_.empty() && !done_ && JudgeFrame()) {
  }
  return std::move(answer_);
}

void TReplayPlayer::LineQuiet() {
  if (buffer_.empty() || done_) return;
  ReportDifference(std::string_view(buffer_));
}

void TReplayPlayer::EndConnection() {
  if (!done_ && !buffer_.empty()) ReportDifference(std::string_view(buffer_));
  if (!done_ && At(Kind::ModuleSent)) ReportDifference(std::string_view());
  buffer_.clear();
  log_.Note("connection closed");
}

void TReplayPlayer::SkipOpenings() {
  while (At(Kind::LineOpened)) ++next_;
}

void TReplayPlayer::SkipToNextOpening() {
  while (next_ < steps_.size() && !At(Kind::LineOpened)) ++next_;
}

bool TReplayPlayer::JudgeFrame() {
  // Bytes the register sent before the module's first frame were not asked for.
  while (At(Kind::LineOpened) || At(Kind::RegisterSent)) ++next_;
  if (!At(Kind::ModuleSent)) {
    ReportDifference(std::string_view(buffer_));
    return false;
  }
  const std::string& expected = steps_[next_].Bytes;
  if (buffer_.size() < expected.size()) return false;
  if (buffer_.compare(0, expected.size(), expected) != 0) {
    ReportDifference(std::string_view(buffer_).substr(0, expected.size()));
    return false;
  }
  log_.Received(expected);
  buffer_.erase(0, expected.size());
  ++matched_;
  ++next_;
  PlayRegister();
  return true;
}

// The register's bytes up to the module's next frame; a close ends the connection.
void TReplayPlayer::PlayRegister() {
  std::string bytes;
  for (; At(Kind::RegisterSent); ++next_) bytes += steps_[next_].Bytes;
  if (!bytes.empty()) log_.Sent(bytes);
  answer_.Bytes += bytes;
  if (At(Kind::LineClosed)) {
    log_.Note("the register closed the line here (log line " + std::to_string(steps_[next_].LogLine) + ")");
    ++next_;
    answer_.Drop = true;
    done_ = true;
  }
}

void TReplayPlayer::ReportDifference(std::string_view received) {
  ReportDifferenceText(received.empty() ? "the module closed the line" : TWireLog::Hex(received));
}

void TReplayPlayer::ReportDifferenceText(const std::string& moduleSide) {
  ++differences_;
  done_ = true;
  std::string headline = "frame " + std::to_string(matched_ + 1);
  std::string logSide = "nothing more";
  if (At(Kind::ModuleSent)) {
    headline += " differs from log line " + std::to_string(steps_[next_].LogLine);
    logSide = TWireLog::Hex(steps_[next_].Bytes);
  } else {
    headline +=
        " is not in the log: " +
        (next_ < steps_.size() ? "log line " + std::to_string(steps_[next_].LogLine) : std::string("the log's end")) +
        " has no frame of the module";
  }
  log_.Note("replay: " + headline + "; log: " + logSide + "; module: " + moduleSide);
  report_ << "mervsim: replay: " << headline << "\n  log:    " << logSide << "\n  module: " << moduleSide << std::endl;
  buffer_.clear();
}
