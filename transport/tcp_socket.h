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
  /// A dotted IPv4 address ("192.168.1.10").
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

using ClientSocketFactory = std::function<std::unique_ptr<TClientSocket>()>;

/// A new, unconnected socket of this platform.
std::unique_ptr<TClientSocket> CreateClientSocket();

/// The address the socket is given: the decimal digits of each of the first
/// four dot-separated groups read as a number (an empty group is 0), joined
/// by dots without leading zeros. "192.168.001.010" -> "192.168.1.10",
/// "" -> "0.0.0.0". Groups past the fourth are ignored.
std::string NormalizeIpAddress(std::string_view address);
