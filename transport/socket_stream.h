#pragma once
// TSocketStream: the blocking byte stream over a connected client socket,
// with one wait time-out for reads and writes. The stream borrows the socket;
// the owner (the port) frees the stream before the socket.
#include <string_view>

#include "transport/tcp_socket.h"

class TSocketStream {
public:
  TSocketStream(TClientSocket& socket, int waitTimeoutMs) : socket_(socket), timeOut_(waitTimeoutMs) {}

  /// Wait time-out in milliseconds; 0 or less means reads and writes do not wait.
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int milliseconds) { timeOut_ = milliseconds; }

  /// Up to `size` bytes; 0 when nothing came within the wait time-out.
  int Read(char* buffer, int size) { return socket_.Receive(buffer, size, timeOut_); }

  /// All bytes, or a throw when they cannot go out within the wait time-out.
  void Write(std::string_view data) { socket_.Send(data, timeOut_); }

private:
  TClientSocket& socket_;
  int timeOut_;
};
