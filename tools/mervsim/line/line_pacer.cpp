// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#include "tools/mervsim/line/line_pacer.h"

#include <algorithm>

namespace {
constexpr long long BitsPerByte = 10;
}

TLinePacer::TLinePacer(int bitsPerSecond) : bitsPerSecond_(bitsPerSecond) {}

TLinePacer::Clock::duration TLinePacer::ByteTime() const {
  return Paced() ? std::chrono::microseconds(BitsPerByte * 1'000'000 / bitsPerSecond_) : Clock::duration::zero();
}

TLinePacer::Clock::time_point TLinePacer::Book(std::size_t count) {
  const auto now = Clock::now();
  if (!Paced() || count == 0) return now;
  const auto duration =
      std::chrono::microseconds(static_cast<long long>(count) * BitsPerByte * 1'000'000 / bitsPerSecond_);
  // Bytes that come within a byte time of the line's last ones follow them
  // back to back.
  const bool continuous = now - lineFree_ < ByteTime();
  lineFree_ = (continuous ? lineFree_ : now) + duration;
  return lineFree_;
}

void TLinePacer::HoldUntil(Clock::time_point moment) { lineFree_ = std::max(lineFree_, moment); }
