#pragma once
// A TCP socket listening on 127.0.0.1 at a port the system picks (POSIX test
// harness), for the stand-ins of a register on the network.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

struct LoopbackListening {
  int socket;
  /// The address it listens at, its port included.
  sockaddr_in address;
};

/// Listens with a queue of `backlog` connections; throws when it cannot.
inline LoopbackListening ListenOnLoopback(int backlog) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener, backlog) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener >= 0) ::close(listener);
    throw std::runtime_error("cannot listen");
  }
  return {listener, address};
}
