#pragma once
// TProgressLine: one line on standard error, rewritten in place, that says
// how far a mervfleet run is: "12/200 done, 1 failed, 32 running, about
// 1:05 left". Shown only when standard error is a terminal, at most a few
// times a second; quiet otherwise. The time left is the time so far spread
// over the registers done, times the registers still to do.
#include <chrono>
#include <string>

struct TProgressCounts {
  int Done = 0;
  int Failed = 0;
  int Running = 0;
  int Total = 0;
};

class TProgressLine {
public:
  explicit TProgressLine(bool shown);
  /// Rewrites the line when it is shown and the last one is old enough.
  void Show(const TProgressCounts& counts);
  /// Ends the line with a line end (when it was shown).
  void Finish(const TProgressCounts& counts);

private:
  void Write(const TProgressCounts& counts);

  bool shown_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_{};
  std::size_t lastLength_ = 0;
};

/// The text of the line for these counts after `elapsed`.
std::string ProgressText(const TProgressCounts& counts, std::chrono::seconds elapsed);
