#pragma once
// An in-memory COM line for the tests and the fuzz targets: the far side's
// bytes are given in advance, and time passes only on the line's own clock.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "transport/com_layer.h"

/// A COM line whose far side sends the given bytes, in pieces as they are
/// asked for, and records nothing. It runs on a clock of its own: a read that
/// finds nothing and every pause advance it by their time instead of waiting,
/// so a time-out costs no real time. With a `gap` byte, the far side falls
/// silent for one read at each such byte (which is not sent): the input can
/// then hold several answers, each one ending where the line goes quiet.
class TScriptedComLine : public TComLayer {
public:
  explicit TScriptedComLine(std::string_view incoming, std::optional<char> gap = std::nullopt)
      : pending_(incoming.begin(), incoming.end()), gap_(gap) {}

  int sio_open(int) override { return 0; }
  int sio_ioctl(int, int, int) override { return 0; }
  int sio_flowctrl(int, int) override { return 0; }
  int sio_SetWriteTimeouts(int, std::int32_t) override { return 0; }
  int sio_write(int, const char*, int length) override { return length; }
  int sio_SetReadTimeouts(int, std::int32_t totalMs, std::int32_t) override {
    readTimeoutMs_ = totalMs;
    return 0;
  }
  int sio_read(int, char* buffer, int length) override {
    int count = 0;
    while (count < length && !pending_.empty() && !(gap_ && pending_.front() == *gap_)) {
      buffer[count++] = pending_.front();
      pending_.pop_front();
    }
    if (count == 0) {
      if (!pending_.empty() && gap_ && pending_.front() == *gap_) pending_.pop_front();
      Pause(readTimeoutMs_);
    }
    return count;
  }
  int sio_flush(int, int) override { return 0; }
  int sio_close(int) override { return 0; }

  std::chrono::steady_clock::time_point Now() const override { return now_; }
  void Pause(int ms) override { now_ += std::chrono::milliseconds(std::max(ms, 0)); }

private:
  std::deque<char> pending_;
  std::optional<char> gap_;
  std::int32_t readTimeoutMs_ = 0;
  std::chrono::steady_clock::time_point now_{};
};
