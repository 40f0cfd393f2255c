#pragma once
// TSocketStream: the blocking byte stream over a connected client socket,
// with one wait time-out for reads and writes. The stream borrows the socket;
// the owner (the port) frees the stream before the socket.
//
// Reads are buffered: one receive takes whatever has arrived (up to a few
// kilobytes) and later reads hand it out, so that reading a frame byte by
// byte does not cost a system call per byte. Bytes left in the buffer are
// exactly those the socket would still hold.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "transport/tcp_socket.h"

class TSocketStream {
public:
  TSocketStream(TClientSocket& socket, int waitTimeoutMs) : socket_(socket), timeOut_(waitTimeoutMs) {}

  /// Wait time-out in milliseconds; 0 or less means reads and writes do not wait.
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int milliseconds) { timeOut_ = milliseconds; }

  /// Up to `size` bytes; 0 when nothing came within the wait time-out.
  int Read(char* buffer, int size) { return Read(buffer, size, timeOut_); }

  /// Up to `size` bytes; 0 when nothing came within `waitMs` (0 or less:
  /// only what has arrived).
  int Read(char* buffer, int size, int waitMs) {
    if (next_ == filled_) Refill(waitMs);
    const auto count = std::min(static_cast<std::size_t>(std::max(size, 0)), filled_ - next_);
    std::memcpy(buffer, received_.data() + next_, count);
    next_ += count;
    return static_cast<int>(count);
  }

  /// When the bytes now in the buffer reached the socket: the last moment the
  /// peer is known to have been sending. Epoch when nothing came yet.
  std::chrono::steady_clock::time_point LastReceived() const { return lastReceived_; }

  /// All bytes, or a throw when they cannot go out within the wait time-out.
  void Write(std::string_view data) { socket_.Send(data, timeOut_); }

private:
  static constexpr int ReceiveChunk = 4096;

  // A receive that throws leaves the buffer empty. The buffer is the
  // stream's own, so that a frame costs no allocation.
  void Refill(int waitMs) {
    filled_ = 0;
    next_ = 0;
    const int got = socket_.Receive(received_.data(), ReceiveChunk, waitMs);
    filled_ = static_cast<std::size_t>(std::clamp(got, 0, ReceiveChunk));
    if (got > 0) lastReceived_ = socket_.LastArrival();
  }

  TClientSocket& socket_;
  int timeOut_;
  std::array<char, ReceiveChunk> received_{};
  std::size_t filled_ = 0;
  std::size_t next_ = 0;
  std::chrono::steady_clock::time_point lastReceived_{};
};
