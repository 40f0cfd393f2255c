// The client socket over Windows Sockets 2. The socket is non-blocking; every
// wait (connect, receive, send) is a select() against a deadline, which gives
// the blocking calls with time-outs that the socket promises.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // inet_pton
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>

#include "base/stop_request.h"
#include "transport/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a connect under way looks for a stop request.
constexpr auto StopCheckInterval = std::chrono::milliseconds(100);

/// The system's text for an error code, without the line end and period it
/// ends with.
std::string SystemErrorMessage(int code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "unknown error";
  return message;
}

/// Windows Sockets is started once per process, on first use, and stays up.
void StartWindowsSockets() {
  static std::once_flag started;
  std::call_once(started, [] {
    WSADATA data{};
    const int result = WSAStartup(MAKEWORD(2, 2), &data);
    if (result != 0) {
      throw std::runtime_error(TClientSocketBase::ErrorText(SystemErrorMessage(result), result, "WSAStartup"));
    }
  });
}

timeval TimeValueUntil(Clock::time_point deadline) {
  const auto left =
      std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count());
  timeval value{};
  value.tv_sec = static_cast<long>(left / 1000);
  value.tv_usec = static_cast<long>((left % 1000) * 1000);
  return value;
}

class TWin32ClientSocket final : public TClientSocketBase {
public:
  TWin32ClientSocket() : TClientSocketBase({WSAEISCONN, WSAEINVAL, WSAENOTCONN, WSAETIMEDOUT}) {
    StartWindowsSockets();
  }
  TWin32ClientSocket(const TWin32ClientSocket&) = delete;
  TWin32ClientSocket& operator=(const TWin32ClientSocket&) = delete;
  ~TWin32ClientSocket() override {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }

  void Connect(int timeoutMs) override {
    BeginConnect(socket_ != INVALID_SOCKET);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (inet_pton(AF_INET, Address().c_str(), &peer.sin_addr) != 1) Fail(WSAEINVAL, "inet_pton");
    RequirePortInRange();
    peer.sin_port = htons(static_cast<u_short>(Port()));

    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) Fail(WSAGetLastError(), "socket");
    u_long nonBlocking = 1;
    if (ioctlsocket(socket_, FIONBIO, &nonBlocking) != 0) FailAndRelease(WSAGetLastError(), "ioctlsocket");

    Notify(Events().OnConnecting);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
      const int error = WSAGetLastError();
      if (error != WSAEWOULDBLOCK) FailAndRelease(error, "connect");
      WaitForConnection(timeoutMs);
    }
    // Frames are small and answered; do not hold them back for coalescing.
    const BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    EndConnect();
  }

  void Close() override {
    if (socket_ == INVALID_SOCKET) return;
    const bool wasConnected = Connected();
    const SOCKET closing = socket_;
    socket_ = INVALID_SOCKET;
    if (wasConnected) shutdown(closing, SD_BOTH);
    const int closed = closesocket(closing);
    const int error = closed != 0 ? WSAGetLastError() : 0;
    MarkClosed(wasConnected);
    if (closed != 0) Fail(error, "closesocket");
  }

private:
  std::string SystemMessage(int code) const override { return SystemErrorMessage(code); }

  void ReleaseUnconnected() noexcept override {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

  std::optional<int> ReceiveOnce(char* buffer, int size) override {
    const int got = recv(socket_, buffer, size, 0);
    // Windows keeps no arrival stamp for a stream socket: the bytes count
    // as come when they are taken.
    if (got > 0) SetLastArrival(Clock::now());
    if (got >= 0) return got;  // 0: the peer ended the connection
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) Fail(error, "recv");
    return std::nullopt;
  }

  std::optional<std::size_t> SendOnce(std::string_view data) override {
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 30));
    const int done = send(socket_, data.data(), chunk, 0);
    if (done > 0) return static_cast<std::size_t>(done);
    const int error = done < 0 ? WSAGetLastError() : WSAEWOULDBLOCK;
    if (error != WSAEWOULDBLOCK) Fail(error, "send");
    return std::nullopt;
  }

  // A stop request (Ctrl+C comes on a thread of its own and interrupts no
  // select) is looked at between slices of the wait; it ends the connect as
  // the stop.
  void WaitForConnection(int timeoutMs) {
    const bool bounded = timeoutMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    fd_set writable;
    fd_set failed;
    for (;;) {
      if (StopRequested()) {
        ReleaseUnconnected();
        ThrowIfStopRequested();
      }
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(socket_, &writable);
      FD_SET(socket_, &failed);
      const auto sliceEnd =
          bounded ? std::min(deadline, Clock::now() + StopCheckInterval) : Clock::now() + StopCheckInterval;
      timeval limit = TimeValueUntil(sliceEnd);
      const int ready = select(0, nullptr, &writable, &failed, &limit);
      if (ready == SOCKET_ERROR) FailAndRelease(WSAGetLastError(), "select");
      if (ready > 0) break;
      if (bounded && Clock::now() >= deadline) FailAndRelease(WSAETIMEDOUT, "connect");
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
      FailAndRelease(WSAGetLastError(), "getsockopt");
    }
    if (error != 0) FailAndRelease(error, "connect");
    if (FD_ISSET(socket_, &failed)) FailAndRelease(WSAECONNREFUSED, "connect");
  }

  bool WaitUntilReady(bool forWriting, Clock::time_point deadline, std::string_view api) override {
    fd_set watched;
    FD_ZERO(&watched);
    FD_SET(socket_, &watched);
    timeval limit = TimeValueUntil(deadline);
    const int ready =
        forWriting ? select(0, nullptr, &watched, nullptr, &limit) : select(0, &watched, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) Fail(WSAGetLastError(), api);
    return ready > 0;
  }

  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<TClientSocket> CreateClientSocket() { return std::make_unique<TWin32ClientSocket>(); }
