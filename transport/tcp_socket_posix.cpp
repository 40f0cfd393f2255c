// The client socket over BSD sockets. The descriptor is non-blocking; every
// wait (connect, receive, send) is a poll() against a deadline, which gives
// the blocking calls with time-outs that the socket promises. Received bytes
// carry the system's time stamp of their arrival (SO_TIMESTAMPNS).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "base/stop_request.h"
#include "transport/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

/// Milliseconds left until `deadline`, for poll().
int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1'000'000'000));
}

/// The steady clock's reading at a moment the system clock read `stamp`.
/// A stamp from the future or from more than a second ago means the system
/// clock was set meanwhile: the bytes are then taken to have come now, which
/// can only make the quiet after them longer.
Clock::time_point SteadyTimeOf(const timespec& stamp) {
  constexpr auto CredibleAge = std::chrono::seconds(1);
  timespec systemNow{};
  ::clock_gettime(CLOCK_REALTIME, &systemNow);
  const auto steadyNow = Clock::now();
  const auto age = std::chrono::seconds(systemNow.tv_sec - stamp.tv_sec) +
                   std::chrono::nanoseconds(systemNow.tv_nsec - stamp.tv_nsec);
  if (age < std::chrono::nanoseconds::zero() || age > CredibleAge) return steadyNow;
  return steadyNow - std::chrono::duration_cast<Clock::duration>(age);
}

/// The arrival stamp a receive came with; the present moment without one.
Clock::time_point ArrivalOf(msghdr& message) {
  for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr; item = CMSG_NXTHDR(&message, item)) {
    if (item->cmsg_level != SOL_SOCKET || item->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
    return SteadyTimeOf(stamp);
  }
  return Clock::now();
}

class TPosixClientSocket final : public TClientSocketBase {
public:
  TPosixClientSocket() : TClientSocketBase({EISCONN, EINVAL, ENOTCONN, ETIMEDOUT}) {}
  TPosixClientSocket(const TPosixClientSocket&) = delete;
  TPosixClientSocket& operator=(const TPosixClientSocket&) = delete;
  ~TPosixClientSocket() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void Connect(int timeoutMs) override {
    BeginConnect(fd_ >= 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (::inet_pton(AF_INET, Address().c_str(), &peer.sin_addr) != 1) Fail(EINVAL, "inet_pton");
    // 0.0.0.0 names no peer (an address without digits, such as a host
    // name, becomes it). Linux would connect it to this machine; it is
    // refused, as Windows Sockets refuse it.
    if (peer.sin_addr.s_addr == htonl(INADDR_ANY)) Fail(EADDRNOTAVAIL, "connect");
    RequirePortInRange();
    peer.sin_port = htons(static_cast<std::uint16_t>(Port()));

    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) Fail(errno, "socket");
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) FailAndRelease(errno, "fcntl");
    // Asked for before connecting: the kernel may switch stamping on a moment
    // after the first socket asks, and the register's first reply should
    // already carry one. Without stamps the arrival is the moment a receive
    // takes the bytes.
    const int stamps = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &stamps, sizeof stamps);

    Notify(Events().OnConnecting);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
      if (errno != EINPROGRESS) FailAndRelease(errno, "connect");
      WaitForConnection(timeoutMs);
    }
    // Frames are small and answered; do not hold them back for coalescing.
    const int noDelay = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    EndConnect();
  }

  void Close() override {
    if (fd_ < 0) return;
    const bool wasConnected = Connected();
    const int fd = fd_;
    fd_ = -1;
    if (wasConnected) ::shutdown(fd, SHUT_RDWR);
    const int closed = ::close(fd);
    const int error = errno;
    MarkClosed(wasConnected);
    if (closed != 0 && error != EINTR) Fail(error, "close");
  }

private:
  std::string SystemMessage(int code) const override { return std::strerror(code); }

  void ReleaseUnconnected() noexcept override {
    ::close(fd_);
    fd_ = -1;
  }

  std::optional<int> ReceiveOnce(char* buffer, int size) override {
    for (;;) {
      const ssize_t got = ReceiveStamped(buffer, size);
      if (got >= 0) return static_cast<int>(got);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) Fail(errno, "recv");
      return std::nullopt;
    }
  }

  std::optional<std::size_t> SendOnce(std::string_view data) override {
    for (;;) {
      const ssize_t done = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (done > 0) return static_cast<std::size_t>(done);
      if (done < 0 && errno == EINTR) continue;
      if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) Fail(errno, "send");
      return std::nullopt;
    }
  }

  /// One recvmsg(); bytes it takes set the arrival time.
  ssize_t ReceiveStamped(char* buffer, int size) {
    iovec piece{buffer, static_cast<std::size_t>(size)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec)) * 2] = {};
    msghdr message{};
    message.msg_iov = &piece;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(fd_, &message, 0);
    if (got > 0) SetLastArrival(ArrivalOf(message));
    return got;
  }

  void WaitForConnection(int timeoutMs) {
    for (;;) {
      if (StopRequested()) {
        ReleaseUnconnected();
        ThrowIfStopRequested();
      }
      pollfd watched{fd_, POLLOUT, 0};
      const int ready = ::poll(&watched, 1, timeoutMs > 0 ? timeoutMs : -1);
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) FailAndRelease(errno, "poll");
      if (ready == 0) FailAndRelease(ETIMEDOUT, "connect");
      break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) FailAndRelease(errno, "getsockopt");
    if (error != 0) FailAndRelease(error, "connect");
  }

  // A stop request (a signal interrupts poll) ends the wait with a failure.
  bool WaitUntilReady(bool forSending, Clock::time_point deadline, std::string_view api) override {
    for (;;) {
      ThrowIfStopRequested();
      pollfd watched{fd_, static_cast<short>(forSending ? POLLOUT : POLLIN), 0};
      const int ready = ::poll(&watched, 1, MillisecondsUntil(deadline));
      if (ready > 0) return true;
      if (ready == 0) return false;
      if (errno != EINTR) Fail(errno, api);
    }
  }

  int fd_ = -1;
};

}  // namespace

std::unique_ptr<TClientSocket> CreateClientSocket() { return std::make_unique<TPosixClientSocket>(); }
