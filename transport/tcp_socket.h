#pragma once
// TClientSocket: a blocking IPv4 client socket with time-outs, the TCP
// transport under the port. The port owns one socket per connection and
// reads and writes through a TSocketStream over it.
//
// The socket reports its steps through TSocketEvents, on the caller's thread
// and inside the call that causes them: lookup and connecting before the
// connect, connect after it succeeded, error (with the system's error code)
// just before a failure is thrown, disconnect when an active socket is closed.
//
// Failures throw std::runtime_error whose message is the socket error text
// ("Socket error: Connection refused (111), on API 'connect'").
//
// CreateClientSocket() makes the platform's socket (tcp_socket_posix.cpp,
// tcp_socket_win32.cpp); tests can hand the port sockets of their own.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct TSocketEvents {
  std::function<void()> OnLookup;
  std::function<void()> OnConnecting;
  std::function<void()> OnConnect;
  std::function<void()> OnDisconnect;
  std::function<void(int errorCode)> OnError;
};

class TClientSocket {
public:
  virtual ~TClientSocket() = default;

  virtual void SetEvents(TSocketEvents events) = 0;
  /// A dotted IPv4 address as a line's settings give it, groups with
  /// leading zeros included ("192.168.001.010"); the platform's sockets
  /// connect to it normalised (NormalizeIpAddress), whoever sets it.
  virtual void SetAddress(const std::string& address) = 0;
  virtual void SetPort(int port) = 0;

  /// Connects, waiting at most `timeoutMs` (0 or less: the system's own
  /// connect time-out). Throws when the connection cannot be made.
  virtual void Connect(int timeoutMs) = 0;

  /// True while the socket holds a connection it has not closed.
  virtual bool Active() const = 0;

  /// Ends the connection. Closing a socket that is not active does nothing.
  virtual void Close() = 0;

  /// Receives up to `size` bytes, waiting at most `timeoutMs` for the first
  /// (0 or less: no waiting). Returns 0 when none came in time or the peer
  /// has ended the connection.
  virtual int Receive(char* buffer, int size, int timeoutMs) = 0;

  /// When the bytes the last Receive returned reached this machine: the
  /// system's time stamp of their arrival where it keeps one, else the moment
  /// Receive took them. Bytes may wait in the socket while the program does
  /// other things; the line has been quiet since they came.
  virtual std::chrono::steady_clock::time_point LastArrival() const = 0;

  /// Sends all bytes; when the system cannot take them within `timeoutMs`
  /// (0 or less: no waiting) it throws.
  virtual void Send(std::string_view data, int timeoutMs) = 0;
};

// TClientSocketBase: what the platforms' client sockets (tcp_socket_posix.cpp,
// tcp_socket_win32.cpp) share: the address, port and events they are given,
// the connection state and arrival time, and how a failure is reported (to
// the error event, then thrown with the socket error text). The platform
// class adds the system calls: connecting, closing, receiving, sending.
class TClientSocketBase : public TClientSocket {
public:
  void SetEvents(TSocketEvents events) override { events_ = std::move(events); }
  void SetAddress(const std::string& address) override;
  void SetPort(int port) override { port_ = port; }
  bool Active() const override { return connected_; }
  std::chrono::steady_clock::time_point LastArrival() const override { return lastArrival_; }
  int Receive(char* buffer, int size, int timeoutMs) override;
  void Send(std::string_view data, int timeoutMs) override;

  /// "Socket error: <message> (<code>), on API '<api>'".
  static std::string ErrorText(const std::string& message, int code, std::string_view api);

protected:
  /// The system's own codes for the faults the socket finds by itself.
  struct TFaultCodes {
    int alreadyConnected;
    int invalidArgument;
    int notConnected;
    int timedOut;
  };

  explicit TClientSocketBase(TFaultCodes codes) : codes_(codes) {}

  /// The system's message for an error code, without a closing period.
  virtual std::string SystemMessage(int code) const = 0;
  /// Closes the socket of a connect that did not come about; never throws.
  virtual void ReleaseUnconnected() noexcept = 0;
  /// One receive without waiting: the bytes taken (0: the peer ended the
  /// connection), or nothing when none are there yet. Throws on a failure.
  virtual std::optional<int> ReceiveOnce(char* buffer, int size) = 0;
  /// One send without waiting: the bytes the system took, or nothing when
  /// it has no room yet. Throws on a failure.
  virtual std::optional<std::size_t> SendOnce(std::string_view data) = 0;
  /// True when the socket became ready to receive (or, `forSending`, to
  /// send) before the deadline.
  virtual bool WaitUntilReady(bool forSending, std::chrono::steady_clock::time_point deadline,
                              std::string_view api) = 0;

  static void Notify(const std::function<void()>& event) {
    if (event) event();
  }

  /// Reports the error to the error event, then throws it.
  [[noreturn]] void Fail(int code, std::string_view api);
  /// Fail() for a connect that did not come about: the socket goes first.
  [[noreturn]] void FailAndRelease(int code, std::string_view api);
  /// Fails unless the socket holds a connection.
  void RequireConnection(std::string_view api);
  /// Before a connect: fails when a socket is open already (`open`), then
  /// tells the lookup event.
  void BeginConnect(bool open);
  /// Fails unless the port fits in 16 bits.
  void RequirePortInRange();
  /// After a connect: the socket counts as connected and says so.
  void EndConnect();
  /// After a close: the connection is gone, and the disconnect event is told
  /// when there was one.
  void MarkClosed(bool wasConnected);

  const TSocketEvents& Events() const { return events_; }
  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  bool Connected() const { return connected_; }
  void SetLastArrival(std::chrono::steady_clock::time_point arrival) { lastArrival_ = arrival; }

private:
  TFaultCodes codes_;
  TSocketEvents events_;
  std::string address_;
  int port_ = 0;
  bool connected_ = false;
  std::chrono::steady_clock::time_point lastArrival_{};
};

using ClientSocketFactory = std::function<std::unique_ptr<TClientSocket>()>;

/// A new, unconnected socket of this platform.
std::unique_ptr<TClientSocket> CreateClientSocket();

/// The address the socket is given: the decimal digits of each of the first
/// four dot-separated groups read as a number (an empty group is 0), joined
/// by dots without leading zeros. "192.168.001.010" -> "192.168.1.10",
/// "" -> "0.0.0.0". Groups past the fourth are ignored.
std::string NormalizeIpAddress(std::string_view address);
