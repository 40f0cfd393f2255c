// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#pragma once
// TReplayPlayer: plays the register's side of a recorded conversation
// (TReplayScript) on the emulator's line. Each frame the module sends is
// compared with the frame the log recorded it sending at that point; when
// they agree, the player answers with the bytes the register sent next in
// the log (nothing where the register was silent) and closes the connection
// where the register closed it. The first frame that differs is reported,
// both frames in hexadecimal with the frame's number and its log line, to
// the report stream and the wire log; the player then answers nothing more
// on that connection. A frame is judged once as many bytes as the log's
// frame has came in, or when the line goes quiet before that.
//
// Each connection plays the log's next "line opened"; a connection that
// ends early leaves the rest of its part of the log unplayed. On a
// pseudo-terminal the module's openings of the line may fall into one
// connection: the log's openings are then passed over. The player borrows
// the script, the wire log and the report stream.
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "tools/mervsim/line/line_device.h"
#include "tools/mervsim/replay/replay_script.h"
#include "tools/mervsim/line/wire_log.h"

class TReplayPlayer : public TLineDevice {
public:
  TReplayPlayer(const TReplayScript& script, TWireLog& log, std::ostream& report);

  void StartConnection(const std::string& peer = {}) override;
  TEmulatorAnswer Receive(std::string_view bytes) override;
  void LineQuiet() override;
  void EndConnection() override;
  bool HasPartialFrame() const override { return !buffer_.empty(); }

  /// Frames the module sent as the log recorded them.
  std::size_t FramesMatched() const { return matched_; }
  /// Differences reported (at most one per connection).
  std::size_t Differences() const { return differences_; }
  /// Whether every step of the log has been played.
  bool Finished() const { return next_ >= steps_.size(); }

private:
  using Kind = TReplayStep::Kind;

  bool At(Kind kind) const { return next_ < steps_.size() && steps_[next_].What == kind; }
  void SkipOpenings();
  void SkipToNextOpening();
  /// Judges the frame at the head of the buffer; false when more bytes are needed.
  bool JudgeFrame();
  void PlayRegister();
  /// The module's bytes at the difference; none: it closed the line.
  void ReportDifference(std::string_view received);
  void ReportDifferenceText(const std::string& moduleSide);

  const std::vector<TReplayStep>& steps_;
  TWireLog& log_;
  std::ostream& report_;
  std::size_t next_ = 0;
  std::string buffer_;
  TEmulatorAnswer answer_;
  /// After a difference or a replayed close: nothing more on this connection.
  bool done_ = false;
  std::size_t matched_ = 0;
  std::size_t differences_ = 0;
};
