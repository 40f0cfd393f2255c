// Connections are found in /proc/self/fd right after each accept: a socket
// whose local port is the listening one and that is not itself listening.
// The socket cookie (unique for the socket's life) tells a new connection
// from an old one that had the same descriptor number. A watcher thread
// shuts down a connection whose request has not been read by its deadline;
// the server thread blocked on it then sees the end of the stream.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>

#include "tools/mervd/connection_deadline.h"
#include "tools/mervd/sweeper_thread.h"

#ifndef SO_COOKIE
#define SO_COOKIE 57
#endif

namespace {

struct TWatched {
  std::uint64_t Cookie = 0;
  std::chrono::steady_clock::time_point Deadline;
};

std::uint64_t CookieOf(int fd) {
  std::uint64_t cookie = 0;
  socklen_t size = sizeof cookie;
  if (::getsockopt(fd, SOL_SOCKET, SO_COOKIE, &cookie, &size) != 0) return 0;
  return cookie;
}

int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

std::string AddressOf(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
  }
  return text;
}

bool IsAcceptedOn(int fd, int port) {
  sockaddr_storage local{};
  socklen_t size = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 || PortOf(local) != port) return false;
  int listening = 0;
  socklen_t flagSize = sizeof listening;
  return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagSize) == 0 && listening == 0;
}

}  // namespace

struct TConnectionDeadline::TWatch {
  TWatch(int port, std::chrono::seconds limit) : Port(port), Limit(limit) {}

  int Port;
  std::chrono::seconds Limit;
  std::mutex Mutex;
  std::map<int, TWatched> Watched;
  /// Last, so that it stops before the rest goes.
  TSweeperThread Sweeper{Mutex, SweepInterval, [this] { ShutDownOverdue(); }};

  /// Starts watching the connections accepted since the last look.
  void NoteAccepted() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return;
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    std::lock_guard lock(Mutex);
    while (const dirent* entry = ::readdir(folder)) {
      const int fd = std::atoi(entry->d_name);
      if (fd <= 2 || fd == ::dirfd(folder) || !IsAcceptedOn(fd, Port)) continue;
      const std::uint64_t cookie = CookieOf(fd);
      auto known = Watched.find(fd);
      if (known != Watched.end() && known->second.Cookie == cookie) continue;
      Watched[fd] = TWatched{cookie, deadline};
    }
    ::closedir(folder);
  }

  /// With the mutex held: shuts down the connections past their deadline
  /// and forgets those closed meanwhile.
  void ShutDownOverdue() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = Watched.begin(); it != Watched.end();) {
      const bool same = CookieOf(it->first) == it->second.Cookie;
      if (same && now >= it->second.Deadline) ::shutdown(it->first, SHUT_RDWR);
      it = (!same || now >= it->second.Deadline) ? Watched.erase(it) : std::next(it);
    }
  }
};

namespace {

/// Starts watching every connection as it is accepted, then hands it to the pool.
class TWatchedQueue : public httplib::TaskQueue {
public:
  TWatchedQueue(TConnectionDeadline::TWatch& watch, std::size_t threads) : watch_(watch), pool_(threads) {}
  void enqueue(std::function<void()> task) override {
    watch_.NoteAccepted();
    pool_.enqueue(std::move(task));
  }
  void shutdown() override { pool_.shutdown(); }

private:
  TConnectionDeadline::TWatch& watch_;
  httplib::ThreadPool pool_;
};

}  // namespace

TConnectionDeadline::TConnectionDeadline(int listenPort, std::chrono::seconds limit)
    : watch_(std::make_unique<TWatch>(listenPort, limit)) {}

TConnectionDeadline::~TConnectionDeadline() = default;

std::unique_ptr<httplib::Server> TConnectionDeadline::MakeServer(std::size_t threads) {
  auto server = std::make_unique<httplib::Server>();
  server->new_task_queue = [watch = watch_.get(), threads] { return new TWatchedQueue(*watch, threads); };
  return server;
}

void TConnectionDeadline::SetListenPort(int port) {
  std::lock_guard lock(watch_->Mutex);
  watch_->Port = port;
}

void TConnectionDeadline::NoteRequestRead(const std::string& peerAddress, int peerPort) {
  std::lock_guard lock(watch_->Mutex);
  for (auto& [fd, watched] : watch_->Watched) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) continue;
    if (PortOf(peer) == peerPort && AddressOf(peer) == peerAddress) {
      // Kept without a deadline until it closes: forgotten, it would be
      // watched anew at the next accept and cut while its client waits.
      watched.Deadline = std::chrono::steady_clock::time_point::max();
      return;
    }
  }
}
