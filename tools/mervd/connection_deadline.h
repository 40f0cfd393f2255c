#pragma once
// TConnectionDeadline: a client must have sent its whole request within the
// request limit of its connection's acceptance. The HTTP library bounds each
// read, but a client sending a byte a second never lets one read run out;
// this watch shuts such a connection down from outside, so that it cannot
// hold a server thread. A request that has been read (its handler runs, for
// as long as the command it waits for) is no longer watched.
//
// One implementation per platform: connection_deadline_posix.cpp finds the
// sockets accepted on the listening port among the process's descriptors
// and tells them apart by their socket cookie; connection_deadline_win32.cpp
// watches nothing (the per-read time-out of the library remains).
#include <chrono>
#include <memory>
#include <string>

class TConnectionDeadline {
public:
  TConnectionDeadline(int listenPort, std::chrono::seconds limit);
  ~TConnectionDeadline();
  TConnectionDeadline(const TConnectionDeadline&) = delete;
  TConnectionDeadline& operator=(const TConnectionDeadline&) = delete;

  /// Called right after a connection was accepted: starts watching it.
  void NoteAccepted();

  /// The request from this peer has been read: its connection is let be.
  void NoteRequestRead(const std::string& peerAddress, int peerPort);

  /// The port the server listens on, once it is known (port 0 picks one).
  void SetListenPort(int port);

  struct TWatch;

private:
  std::unique_ptr<TWatch> watch_;
};
