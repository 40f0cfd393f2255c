#include "tools/mervfleet/progress_line.h"

#include <cstdio>

namespace {

constexpr auto ShowEvery = std::chrono::milliseconds(250);

std::string Clock(long long seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace

std::string ProgressText(const TProgressCounts& counts, std::chrono::seconds elapsed) {
  std::string text = std::to_string(counts.Done) + "/" + std::to_string(counts.Total) + " done, " +
                     std::to_string(counts.Failed) + " failed, " + std::to_string(counts.Running) + " running";
  if (counts.Done > 0 && counts.Done < counts.Total) {
    const long long left = elapsed.count() * (counts.Total - counts.Done) / counts.Done;
    text += ", about " + Clock(left) + " left";
  }
  return text;
}

TProgressLine::TProgressLine(bool shown) : shown_(shown), start_(std::chrono::steady_clock::now()) {}

void TProgressLine::Show(const TProgressCounts& counts) {
  const auto now = std::chrono::steady_clock::now();
  if (!shown_ || now - lastShown_ < ShowEvery) return;
  lastShown_ = now;
  Write(counts);
}

void TProgressLine::Finish(const TProgressCounts& counts) {
  if (!shown_) return;
  Write(counts);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void TProgressLine::Write(const TProgressCounts& counts) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
  std::string line = "mervfleet: " + ProgressText(counts, elapsed);
  const std::size_t length = line.size();
  if (length < lastLength_) line.append(lastLength_ - length, ' ');
  lastLength_ = length;
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}
