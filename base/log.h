#pragma once
// Where the lines of the communication log go (LogLine hands them to the log
// of the run in use): the module's log in its files (communication_log.h),
// or whatever a test puts in its place.
#include <string_view>

class TLog {
public:
  virtual ~TLog() = default;
  /// Writes one line of `message` and the hex dump of `data`.
  virtual void Line(std::string_view message, std::string_view data) = 0;
  /// Ends a repetition of lines (see EndLogRepetition).
  virtual void EndRepetition() = 0;
  /// False while lines are dropped unseen, so that callers need not build them.
  virtual bool Active() const { return true; }
  /// From now on the log may keep its lines and write them together (a
  /// burst of lines with no wait between them); see InLogBurst.
  virtual void HoldLines() {}
  /// Writes the lines kept and stops keeping them; a failure is thrown.
  virtual void WriteHeldLines() {}
  /// Stops keeping lines without writing them: the lines kept are written
  /// before the next line or at the end of the repetition.
  virtual void StopHoldingLines() noexcept {}
};
