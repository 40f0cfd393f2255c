#include "tools/mervsim/line_pacer.h"

#include <algorithm>
#include <thread>

namespace {
constexpr long long BitsPerByte = 10;
}

TLinePacer::TLinePacer(int bitsPerSecond) : bitsPerSecond_(bitsPerSecond) {}

void TLinePacer::WaitFor(std::size_t count) {
  if (!Paced() || count == 0) return;
  const auto now = std::chrono::steady_clock::now();
  const auto duration = std::chrono::microseconds(static_cast<long long>(count) * BitsPerByte * 1'000'000 / bitsPerSecond_);
  // A byte that follows the previous one within a byte time is sent back to
  // back on the line: a late wake-up of the last wait must not slow it.
  const auto byteTime = std::chrono::microseconds(BitsPerByte * 1'000'000 / bitsPerSecond_);
  const bool continuous = now - lineFree_ < byteTime;
  lineFree_ = (continuous ? lineFree_ : now) + duration;
  std::this_thread::sleep_until(lineFree_);
}
