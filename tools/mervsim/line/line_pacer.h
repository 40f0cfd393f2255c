// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#pragma once
// TLinePacer: holds bytes back to the pace of a serial line of a given speed,
// 10 bits a byte (start bit, 8 data bits, stop bit). One pacer per direction:
// each byte may pass only when the line would have finished the bytes before
// it. Speed 0 passes everything at once.
#include <chrono>
#include <cstddef>
#include <string_view>

#include "base/precise_wait.h"

class TLinePacer {
public:
  using Clock = std::chrono::steady_clock;

  explicit TLinePacer(int bitsPerSecond);

  bool Paced() const { return bitsPerSecond_ > 0; }
  /// Puts `count` more bytes on the line, from now or right after the bytes
  /// before them; returns when the last of them will have crossed it.
  Clock::time_point Book(std::size_t count);
  /// Sends `bytes` through `write` one at a time, each as it would have
  /// crossed the line, back to back from the first: a late wake-up of the
  /// emulator does not slow the line. False when `write` fails.
  template <typename Write>
  bool Send(std::string_view bytes, Write write) {
    const Clock::time_point end = Book(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      WaitUntilPrecisely(end - static_cast<long long>(bytes.size() - 1 - i) * ByteTime());
      if (!write(bytes.substr(i, 1))) return false;
    }
    return true;
  }
  /// Keeps the line from starting a byte before `moment` (an answer does not
  /// start before the frame it answers has come in).
  void HoldUntil(Clock::time_point moment);

private:
  Clock::duration ByteTime() const;

  int bitsPerSecond_;
  Clock::time_point lineFree_;
};
