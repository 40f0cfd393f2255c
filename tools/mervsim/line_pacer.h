#pragma once
// TLinePacer: holds bytes back to the pace of a serial line of a given speed,
// 10 bits a byte (start bit, 8 data bits, stop bit). One pacer per direction:
// each byte may pass only when the line would have finished the bytes before
// it. Speed 0 passes everything at once.
#include <chrono>
#include <cstddef>

class TLinePacer {
public:
  explicit TLinePacer(int bitsPerSecond);

  bool Paced() const { return bitsPerSecond_ > 0; }
  /// Waits until `count` more bytes would have crossed the line.
  void WaitFor(std::size_t count);

private:
  int bitsPerSecond_;
  std::chrono::steady_clock::time_point lineFree_;
};
