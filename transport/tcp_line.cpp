#include "transport/tcp_line.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/communication_log.h"

namespace {

constexpr int SocketCloseAttempts = 4;
// Bytes taken from the stream at a time (a frame is shorter).
constexpr std::size_t ReadPiece = 256;
constexpr char NotConnectedText[] = "Socket error: not connected";

[[noreturn]] void RaiseWith(std::string_view prefix, std::string_view message) {
  throw std::runtime_error(std::string(prefix) + std::string(message));
}

TSocketEvents LoggingSocketEvents() {
  TSocketEvents events;
  events.OnLookup = [] { LogLine("TCPIP Lookup"); };
  events.OnConnecting = [] { LogLine("TCPIP Connecting"); };
  events.OnConnect = [] { LogLine("TCPIP Connect"); };
  events.OnDisconnect = [] { LogLine("TCPIP Disconnect"); };
  events.OnError = [](int code) { LogLine("TCPIP Error:" + std::to_string(code)); };
  return events;
}

}  // namespace

TTcpLine::TTcpLine(const TNastaveni& settings, ClientSocketFactory makeSocket)
    : settings_(settings), makeSocket_(std::move(makeSocket)) {}

void TTcpLine::Connect() {
  socket_ = makeSocket_();
  socket_->SetEvents(LoggingSocketEvents());
  LogLine("Set Address");
  socket_->SetAddress(settings_.IpAddress);
  LogLine("Set Port");
  socket_->SetPort(settings_.IpPort);
  LogLine("Set Blocking");  // the socket always blocks, with time-outs
  LogLine("Set Active");
  socket_->Connect(settings_.Timeout[TcpSlot]);
  LogLine("Test Active");
  if (!socket_->Active()) return;
  LogLine("Create SocketStream");
  stream_ = std::make_unique<TSocketStream>(*socket_, settings_.Timeout[TcpSlot]);
  LogLine("Created SocketStream");
}

void TTcpLine::Close() {
  const int delay = settings_.TcpCloseDelay;
  if (stream_) {
    LogLine("TCPIP closing - delay " + std::to_string(delay) + " ms", {}, delay);
    LogLine("SocketStream free");
    stream_.reset();
  }
  if (socket_) {
    for (int attempt = 0; attempt < SocketCloseAttempts; ++attempt) {
      if (CloseSocketOnce()) break;
    }
    LogLine("ClientSocket free");
    socket_.reset();
    LogLine("TCPIP closed - delay " + std::to_string(delay) + " ms", {}, delay);
  }
}

bool TTcpLine::CloseSocketOnce() {
  try {
    LogLine("ClientSocket Close");
    socket_->Close();
    const bool closed = !socket_->Active();
    LogLine(closed ? "ClientSocket closed" : "ClientSocket active");
    return closed;
  } catch (const std::exception& failure) {
    LogLine(std::string("ClientSocket closing error: ") + failure.what());
    return false;
  }
}

LineResult TTcpLine::Write(std::string_view wire) {
  if (!stream_) RaiseWith("SocketWrite: ", NotConnectedText);
  try {
    stream_->Write(wire);
  } catch (const std::exception& failure) {
    RaiseWith("SocketWrite: ", failure.what());
  }
  return LineResult::Done;
}

LineResult TTcpLine::Read(std::string& answer, std::size_t count, [[maybe_unused]] bool allowExtraReads,
                          LineWait wait) {
  if (!stream_) RaiseWith("SocketRead: ", NotConnectedText);
  return ReceiveLogged(answer, count, wait);
}

ReadDeadline TTcpLine::DeadlineOf(LineWait wait) const {
  // No wait, or one of 0 or less, takes the stream's own time-out.
  const int own = stream_ ? stream_->TimeOut() : settings_.Timeout[TcpSlot];
  const auto waited = wait && wait->count() > 0 ? *wait : std::chrono::milliseconds(std::max(own, 0));
  return std::chrono::steady_clock::now() + waited;
}

std::size_t TTcpLine::Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) {
  if (!stream_) RaiseWith("SocketRead: ", NotConnectedText);
  std::size_t got = 0;
  try {
    std::array<char, ReadPiece> piece{};
    while (got < count) {
      const int wanted = static_cast<int>(std::min(count - got, piece.size()));
      // Each piece waits only for what is left of the read's one wait.
      const int came = stream_->Read(piece.data(), wanted, MillisecondsLeft(deadline));
      if (came == 0) break;
      bytes.append(piece.data(), static_cast<std::size_t>(came));
      got += static_cast<std::size_t>(came);
    }
  } catch (const std::exception& failure) {
    RaiseWith("SocketRead: ", failure.what());
  }
  // The bytes crossed the line when they reached the socket, not when they
  // are handed out; counting the pause from then keeps the logging before and
  // between the reads of one frame off the time the register waits.
  if (got > 0) lastArrival_ = std::max(lastArrival_, stream_->LastReceived());
  return got;
}
