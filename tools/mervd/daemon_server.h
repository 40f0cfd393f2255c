#pragma once
// TDaemonServer: mervd's HTTP/1.1 API over the line workers.
//
// Every call under /v1/ and /metrics needs the bearer token; every request
// must name the listen address in its Host header (a web page that got a
// name of its own resolved to 127.0.0.1 cannot reach the service) and may
// come from another web origin only when the configuration allows that one.
// A body over 64 KiB is refused with 413 and one in chunks (without a
// length) with 411; a client that has not sent its request within the
// request limit is cut off, and every refusal is a JSON object
// {"status": N, "message": "..."}. Requests that wait for a line take at
// most all threads but a few: beyond that a command is answered at once
// (202) and a diagnosis refused (503).
#include <atomic>
#include <memory>
#include <vector>

#include "tools/mervd/access_token.h"
#include "tools/mervd/daemon_config.h"
#include "tools/mervd/line_worker.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class TConnectionDeadline;

class TDaemonServer {
public:
  TDaemonServer(const TDaemonConfig& config, TAccessToken token);
  ~TDaemonServer();
  TDaemonServer(const TDaemonServer&) = delete;
  TDaemonServer& operator=(const TDaemonServer&) = delete;

  /// Binds the listen address; throws when it cannot. Returns the port bound.
  int Bind();

  /// Serves until Stop; returns false when serving failed.
  bool Serve();

  /// Ends Serve (from another thread or a signal's watcher).
  void Stop();
  /// Whether Serve has begun to listen: a Stop before that is not heard.
  bool IsRunning() const;

private:
  void Route();
  bool Admits(const httplib::Request& request, httplib::Response& response) const;
  TLineWorker& WorkerOf(const std::string& line);
  void PostCommand(const httplib::Request& request, httplib::Response& response);
  /// The record once its command has ended, or as it stands after the wait's
  /// limit; at once when every place for a waiting request is taken.
  TCommandRecord AwaitEnd(TLineWorker& worker, TCommandRecord record);
  void GetCommand(const httplib::Request& request, httplib::Response& response);
  void PostDoctor(const httplib::Request& request, httplib::Response& response);
  void GetFile(const httplib::Request& request, httplib::Response& response);
  void GetLines(httplib::Response& response);
  void GetMetrics(httplib::Response& response);

  const TDaemonConfig& config_;
  TAccessToken token_;
  std::vector<std::unique_ptr<TLineWorker>> workers_;
  std::unique_ptr<TConnectionDeadline> deadline_;  // outlives the server it watches
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  /// Requests waiting for a line now, and how many may.
  std::atomic<std::size_t> waiting_{0};
  std::size_t waitingLimit_ = 0;
};

/// The maximum size of a request body.
inline constexpr std::size_t MaxRequestBody = 64 * 1024;
