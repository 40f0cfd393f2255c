#pragma once
// TConnectionDeadline: a client must have sent its whole request within the
// request limit of its connection's acceptance. The HTTP library bounds each
// read, but a client sending a byte a second never lets one read run out;
// this watch shuts such a connection down from outside, so that it cannot
// hold a server thread. A request that has been read (its handler runs, for
// as long as the command it waits for) is no longer watched.
//
// The watch makes the server it watches. One implementation per platform:
// connection_deadline_posix.cpp finds the sockets accepted on the listening
// port among the process's descriptors right after each accept (Debian's
// HTTP library is a shared library, whose handling of a connection cannot be
// taken over) and tells them apart by their socket cookie;
// connection_deadline_win32.cpp, built with the library's header-only form,
// serves each connection through the library's own steps with its socket
// watched meanwhile.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace httplib {
class Server;
}  // namespace httplib

class TConnectionDeadline {
public:
  TConnectionDeadline(int listenPort, std::chrono::seconds limit);
  ~TConnectionDeadline();
  TConnectionDeadline(const TConnectionDeadline&) = delete;
  TConnectionDeadline& operator=(const TConnectionDeadline&) = delete;

  /// The HTTP server whose connections this watch sees, serving `threads`
  /// connections at a time. The watch must outlive it.
  std::unique_ptr<httplib::Server> MakeServer(std::size_t threads);

  /// The request from this peer has been read: its connection is let be.
  /// Called by the request's handler, on the thread serving it.
  void NoteRequestRead(const std::string& peerAddress, int peerPort);

  /// The port the server listens on, once it is known (port 0 picks one).
  void SetListenPort(int port);

  /// How often the connections past their deadline are looked for.
  static constexpr std::chrono::milliseconds SweepInterval{200};

  struct TWatch;

private:
  std::unique_ptr<TWatch> watch_;
};
