// Each connection is served through the HTTP library's own steps for it (the
// calls its Server makes, with the same settings), with its socket watched
// from the start until its request has been read or it is closed. A watcher
// thread shuts down a connection whose request has not been read by its
// deadline: the client sees the end of the stream, and the server thread
// waiting on it is let go.
#include <httplib.h>

#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "tools/mervd/connection_deadline.h"
#include "tools/mervd/sweeper_thread.h"

struct TConnectionDeadline::TWatch {
  explicit TWatch(std::chrono::seconds limit) : Limit(limit) {}

  std::chrono::seconds Limit;
  std::mutex Mutex;
  /// The connections whose request has not been read yet and their
  /// deadlines, by the server thread serving each (one at a time).
  std::map<std::thread::id, std::pair<SOCKET, std::chrono::steady_clock::time_point>> Watched;
  /// Last, so that it stops before the rest goes.
  TSweeperThread Sweeper{Mutex, SweepInterval, [this] { ShutDownOverdue(); }};

  void Begin(SOCKET connection) {
    std::lock_guard lock(Mutex);
    Watched[std::this_thread::get_id()] = {connection, std::chrono::steady_clock::now() + Limit};
  }

  /// Ends the watch of this thread's connection; called before the socket is
  /// closed, so that the sweeper never touches a handle already reused.
  void End() {
    std::lock_guard lock(Mutex);
    Watched.erase(std::this_thread::get_id());
  }

  /// With the mutex held: shuts down the connections past their deadline.
  void ShutDownOverdue() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = Watched.begin(); it != Watched.end();) {
      if (now < it->second.second) {
        ++it;
        continue;
      }
      ::shutdown(it->second.first, SD_BOTH);
      it = Watched.erase(it);
    }
  }
};

namespace {

class TWatchedServer final : public httplib::Server {
public:
  explicit TWatchedServer(TConnectionDeadline::TWatch& watch) : watch_(watch) {}

private:
  // The library's Server::process_and_close_socket, with the watch around it.
  bool process_and_close_socket(socket_t sock) override {
    watch_.Begin(sock);
    const bool served = httplib::detail::process_server_socket(
        svr_sock_, sock, keep_alive_max_count_, keep_alive_timeout_sec_, read_timeout_sec_, read_timeout_usec_,
        write_timeout_sec_, write_timeout_usec_,
        [this](httplib::Stream& stream, bool closeConnection, bool& connectionClosed) {
          return process_request(stream, closeConnection, connectionClosed, nullptr);
        });
    watch_.End();
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
    return served;
  }

  TConnectionDeadline::TWatch& watch_;
};

}  // namespace

TConnectionDeadline::TConnectionDeadline(int, std::chrono::seconds limit) : watch_(std::make_unique<TWatch>(limit)) {}

TConnectionDeadline::~TConnectionDeadline() = default;

std::unique_ptr<httplib::Server> TConnectionDeadline::MakeServer(std::size_t threads) {
  auto server = std::make_unique<TWatchedServer>(*watch_);
  server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  return server;
}

// The handler runs on the thread serving the connection, which is how the
// connection is known here.
void TConnectionDeadline::NoteRequestRead(const std::string&, int) { watch_->End(); }

// The sockets are known as they are served, not by their port.
void TConnectionDeadline::SetListenPort(int) {}
