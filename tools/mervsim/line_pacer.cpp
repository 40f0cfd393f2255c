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
  lineFree_ = std::max(now, lineFree_) + duration;
  std::this_thread::sleep_until(lineFree_);
}
