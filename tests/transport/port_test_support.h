#pragma once
// Helpers of the port tests (POSIX test harness): the plain log captured in a
// temporary file, a pseudo-terminal standing in for a COM line, and a
// loopback TCP listener standing in for a register on the network.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/communication_log.h"
#include "test_support.h"

/// True when `lines` holds `wanted` as a contiguous run.
inline bool ContainsRun(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  return std::search(lines.begin(), lines.end(), wanted.begin(), wanted.end()) != lines.end();
}

inline int CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

/// Sets (or, with nullptr, removes) an environment variable for one scope.
class ScopedEnvironment {
public:
  ScopedEnvironment(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value != nullptr) {
      ::setenv(name_.c_str(), value, 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

/// A pseudo-terminal whose slave is COM line `port` (through MERV_COM<n>);
/// the test talks to the port through the master side.
class PtyPeer {
public:
  explicit PtyPeer(int port)
      : master_(OpenMaster()),
        slavePath_(::ptsname(master_)),
        device_("MERV_COM" + std::to_string(port), slavePath_.c_str()) {}
  ~PtyPeer() { ::close(master_); }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  void Send(std::string_view bytes) const { SendTo(master_, bytes); }
  std::string Receive(std::size_t count, int timeoutMs = 500) const { return ReceiveFrom(master_, count, timeoutMs); }

  /// The slave's line settings, through the master: the slave may be open exclusively.
  termios SlaveAttributes() const {
    termios attributes{};
    if (::tcgetattr(master_, &attributes) != 0) throw std::runtime_error("tcgetattr of the pseudo-terminal");
    return attributes;
  }
  void SetSlaveAttributes(const termios& attributes) const {
    if (::tcsetattr(master_, TCSANOW, &attributes) != 0) throw std::runtime_error("tcsetattr of the pseudo-terminal");
  }

private:
  static int OpenMaster() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    }
    return master;
  }

  int master_;
  std::string slavePath_;
  ScopedEnvironment device_;
};

/// A TCP listener on 127.0.0.1 that accepts one connection. The kernel
/// completes a loopback connect on its own, so no thread is needed: the test
/// connects, then accepts and plays the register with plain reads and writes.
class LoopbackPeer {
public:
  /// Listens on `port`, 0 for any free one. Listening() tells whether it could.
  explicit LoopbackPeer(int port = 0) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      Release(listener_);
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackPeer() {
    Release(connection_);
    Release(listener_);
  }
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  bool Listening() const { return listener_ >= 0; }
  int Port() const { return port_; }

  /// Accepts the connection the port made (waits at most a second).
  void Accept() {
    pollfd watched{listener_, POLLIN, 0};
    if (::poll(&watched, 1, 1000) != 1) throw std::runtime_error("test peer: no connection came");
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection_ < 0) throw std::runtime_error(std::string("test peer accept: ") + std::strerror(errno));
  }
  /// A connection waits to be accepted (looked at without waiting).
  bool Pending() const {
    pollfd watched{listener_, POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1;
  }
  void StopListening() { Release(listener_); }
  /// Ends the accepted connection.
  void HangUp() { Release(connection_); }
  void Send(std::string_view bytes) const { SendTo(connection_, bytes); }
  std::string Receive(std::size_t count, int timeoutMs = 500) const {
    return ReceiveFrom(connection_, count, timeoutMs);
  }

private:
  static void Release(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int listener_ = -1;
  int connection_ = -1;
  int port_ = 0;
};
