#pragma once
// TTcpLine: a line's TCP medium, a connection through a client socket with a
// socket stream over it, to the address and port of the settings. Reads take
// the bytes from the stream (which buffers what arrived) until the frame is
// complete or the read's one wait is over: a peer that sends slowly cannot
// stretch a read by sending each piece just in time.
//
// Ownership: the line owns the medium; the medium owns its socket and stream
// and borrows the line's settings.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "transport/line_backend.h"
#include "transport/nastaveni.h"
#include "transport/socket_stream.h"
#include "transport/tcp_socket.h"

class TTcpLine : public TLineBackend {
public:
  TTcpLine(const TNastaveni& settings, ClientSocketFactory makeSocket);

  /// Connects with the time-out of the TCP slot; a connect that ends without
  /// a connection leaves the medium closed. Failures are raised as they come.
  void Connect();

  bool Opened() const override { return stream_ != nullptr; }
  void Close() override;
  LineResult Write(std::string_view wire) override;
  LineResult Read(std::string& answer, std::size_t count, bool allowExtraReads, LineWait wait) override;
  ReadDeadline DeadlineOf(LineWait wait) const override;
  std::size_t Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) override;
  std::chrono::steady_clock::time_point LastArrival() const override { return lastArrival_; }
  void Flush() override {}
  bool TakesModemCommands() const override { return false; }

private:
  bool CloseSocketOnce();

  const TNastaveni& settings_;
  ClientSocketFactory makeSocket_;
  std::unique_ptr<TClientSocket> socket_;
  std::unique_ptr<TSocketStream> stream_;
  std::chrono::steady_clock::time_point lastArrival_{};
};
