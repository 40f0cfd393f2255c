#include "tools/mervd/daemon_server.h"

#include <httplib.h>

#include <nlohmann/json.hpp>

#include "base/input_file.h"
#include "tools/mervd/api_error.h"
#include "tools/mervd/command_request.h"
#include "tools/mervd/connection_deadline.h"
#include "tools/mervd/line_report.h"
#include "tools/mervd/openapi_document.h"
#include "tools/mervd/status_page.h"

using nlohmann::json;

namespace {

/// Server threads: every line may have a client waiting for its command,
/// with room beside them for the page, the metrics and slow clients.
constexpr std::size_t MinServerThreads = 16;
/// Threads never taken by requests that wait for a line (a command's end, a
/// diagnosis), so that the health check, the page and the other lines are
/// served however many clients wait or have gone while waiting.
constexpr std::size_t ThreadsNotWaiting = 8;
constexpr std::uint64_t MaxServedFile = 64ull << 20;
/// How long a waiting request waits beyond the command limit before it is
/// answered 202 (the module is stopped at the limit and then ends).
constexpr auto WaitMargin = std::chrono::seconds(30);
constexpr const char* JsonType = "application/json";

void Answer(httplib::Response& response, int status, const std::string& body) {
  response.status = status;
  response.set_content(body, JsonType);
}

void Refuse(httplib::Response& response, int status, const std::string& message) {
  Answer(response, status, json{{"status", status}, {"message", message}}.dump());
}

std::string DefaultMessage(int status) {
  switch (status) {
    case 404:
      return "no such resource (GET /v1/openapi.json lists them)";
    case 405:
      return "this method is not served here";
    case 413:
      return "the body is larger than 64 KiB";
    case 400:
      return "the request is malformed (a POST needs a Content-Length, 0 for no body)";
    default:
      return "the request was refused (HTTP " + std::to_string(status) + ")";
  }
}

bool IsLoopback(const std::string& host) { return host == "127.0.0.1" || host == "::1" || host == "localhost"; }

std::string HostWithPort(const std::string& host, int port) {
  const bool bracketed = host.find(':') != std::string::npos;
  return (bracketed ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string FileType(const std::string& name) {
  const auto dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  if (extension == ".json") return JsonType;
  if (extension == ".txt" || extension == ".dat" || extension == ".csv") return "text/plain";
  if (extension == ".pdf") return "application/pdf";
  return "application/octet-stream";
}

// One of the places for requests that wait for a line, held while it
// waits; none when all are taken.
class TWaitingPlace {
public:
  TWaitingPlace(std::atomic<std::size_t>& taken, std::size_t limit) : taken_(taken) {
    held_ = taken_.fetch_add(1) < limit;
    if (!held_) taken_.fetch_sub(1);
  }
  ~TWaitingPlace() {
    if (held_) taken_.fetch_sub(1);
  }
  TWaitingPlace(const TWaitingPlace&) = delete;
  TWaitingPlace& operator=(const TWaitingPlace&) = delete;
  explicit operator bool() const { return held_; }

private:
  std::atomic<std::size_t>& taken_;
  bool held_ = false;
};

}  // namespace

TDaemonServer::TDaemonServer(const TDaemonConfig& config, TAccessToken token)
    : config_(config),
      token_(std::move(token)),
      deadline_(std::make_unique<TConnectionDeadline>(config.ListenPort, config.RequestLimit)) {
  for (const auto& line : config_.Lines) workers_.push_back(std::make_unique<TLineWorker>(config_, line));
  const std::size_t threads = std::max(MinServerThreads, 2 * config_.Lines.size() + ThreadsNotWaiting);
  waitingLimit_ = threads - ThreadsNotWaiting;
  server_ = deadline_->MakeServer(threads);
  server_->set_payload_max_length(MaxRequestBody);
  server_->set_read_timeout(config_.RequestLimit);
  server_->set_write_timeout(config_.RequestLimit);
  // One request per connection: the deadline of a connection is that of its request.
  server_->set_keep_alive_max_count(1);
  Route();
}

TDaemonServer::~TDaemonServer() = default;

int TDaemonServer::Bind() {
  if (config_.ListenPort == 0) {
    port_ = server_->bind_to_any_port(config_.ListenHost);
  } else if (server_->bind_to_port(config_.ListenHost, config_.ListenPort)) {
    port_ = config_.ListenPort;
  } else {
    port_ = -1;
  }
  if (port_ <= 0) throw std::runtime_error("cannot listen on " + HostWithPort(config_.ListenHost, config_.ListenPort));
  deadline_->SetListenPort(port_);
  return port_;
}

bool TDaemonServer::Serve() { return server_->listen_after_bind(); }

void TDaemonServer::Stop() {
  // The server ends once its handlers have; those waiting for a command are
  // released first, and no queued command starts meanwhile.
  for (auto& worker : workers_) worker->Stop();
  server_->stop();
}

bool TDaemonServer::IsRunning() const { return server_->is_running(); }

bool TDaemonServer::Admits(const httplib::Request& request, httplib::Response& response) const {
  const std::string host = request.get_header_value("Host");
  bool hostKnown = host == HostWithPort(config_.ListenHost, port_);
  if (IsLoopback(config_.ListenHost)) {
    for (const char* name : {"127.0.0.1", "::1", "localhost"}) {
      hostKnown = hostKnown || host == HostWithPort(name, port_);
    }
  }
  if (!hostKnown) {
    Refuse(response, 403, "the Host header must name the address mervd listens on");
    return false;
  }
  const std::string origin = request.get_header_value("Origin");
  const bool ownOrigin = origin.empty() || origin == "http://" + host;
  const bool allowedOrigin = !config_.AllowedOrigin.empty() && origin == config_.AllowedOrigin;
  if (!ownOrigin && !allowedOrigin) {
    Refuse(response, 403, "calls from another web origin are not allowed (allowed_origin in the configuration)");
    return false;
  }
  if (allowedOrigin) {
    response.set_header("Access-Control-Allow-Origin", origin);
    response.set_header("Vary", "Origin");
  }
  if (request.method == "OPTIONS" && allowedOrigin) {
    response.set_header("Access-Control-Allow-Methods", "GET, POST");
    response.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
    response.status = 204;
    return false;
  }
  const bool guarded = request.path.rfind("/v1/", 0) == 0 || request.path == "/metrics";
  if (guarded && !token_.Admits(request.get_header_value("Authorization"))) {
    response.set_header("WWW-Authenticate", "Bearer");
    Refuse(response, 401, "the bearer token is missing or wrong (Authorization: Bearer <the token file's text>)");
    return false;
  }
  // The body limit is checked against Content-Length only: a body in chunks
  // would be read whole, however large, before any handler could refuse it.
  if (request.has_header("Transfer-Encoding")) {
    Refuse(response, 411, "a body needs a Content-Length (no Transfer-Encoding)");
    return false;
  }
  return true;
}

TLineWorker& TDaemonServer::WorkerOf(const std::string& line) {
  for (auto& worker : workers_) {
    if (worker->Line().Name == line) return *worker;
  }
  throw TApiError(404, "no line " + line + " (GET /v1/lines lists them)");
}

void TDaemonServer::Route() {
  using httplib::Request;
  using httplib::Response;
  server_->set_pre_routing_handler([this](const Request& request, Response& response) {
    return Admits(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                     : httplib::Server::HandlerResponse::Handled;
  });
  server_->set_error_handler([](const Request&, Response& response) {
    if (response.body.empty()) Refuse(response, response.status, DefaultMessage(response.status));
  });
  server_->set_exception_handler([](const Request&, Response& response, std::exception_ptr failure) {
    try {
      std::rethrow_exception(std::move(failure));
    } catch (const TApiError& refusal) {
      Refuse(response, refusal.Status(), refusal.what());
    } catch (const std::exception& other) {
      Refuse(response, 500, other.what());
    }
  });
  server_->Get("/", [](const Request&, Response& response) {
    response.set_content(StatusPageHtml(), "text/html; charset=utf-8");
  });
  server_->Get("/v1/health", [this](const Request&, Response& response) {
    Answer(response, 200, json{{"status", "ok"}, {"version", MERV_VERSION_TEXT}, {"lines", workers_.size()}}.dump());
  });
  server_->Get("/v1/openapi.json", [](const Request&, Response& response) { Answer(response, 200, OpenApiJson()); });
  server_->Get("/v1/lines", [this](const Request&, Response& response) { GetLines(response); });
  server_->Get("/metrics", [this](const Request&, Response& response) { GetMetrics(response); });
  server_->Post(R"(/v1/lines/([^/]+)/commands)",
                [this](const Request& request, Response& response) { PostCommand(request, response); });
  server_->Get(R"(/v1/lines/([^/]+)/commands/([^/]+))",
               [this](const Request& request, Response& response) { GetCommand(request, response); });
  server_->Post(R"(/v1/lines/([^/]+)/doctor)",
                [this](const Request& request, Response& response) { PostDoctor(request, response); });
  server_->Get(R"(/v1/lines/([^/]+)/files/([^/]+))",
               [this](const Request& request, Response& response) { GetFile(request, response); });
}

void TDaemonServer::PostCommand(const httplib::Request& request, httplib::Response& response) {
  deadline_->NoteRequestRead(request.remote_addr, request.remote_port);
  TLineWorker& worker = WorkerOf(request.matches[1]);
  const TCommandRequest command = ParseCommandRequest(request.body, worker.Line().Name);
  auto admission = worker.Submit(command.Record);
  if (admission.Kind == TLineWorker::Admission::QueueFull) {
    response.set_header("Retry-After", "5");
    throw TApiError(429, "the line's queue is full (" + std::to_string(config_.QueueLimit) + " commands)");
  }
  if (admission.Kind == TLineWorker::Admission::OtherCommand) {
    throw TApiError(409, "request id " + command.Record.RequestId + " was used for another command (" +
                             admission.Record.Activity + "); give this command a request id of its own");
  }
  TCommandRecord record = std::move(admission.Record);
  if (!record.Ended() && command.Wait) record = AwaitEnd(worker, std::move(record));
  if (!record.Ended()) response.set_header("Location", "/v1/lines/" + record.Line + "/commands/" + record.RequestId);
  Answer(response, record.Ended() ? 200 : 202, RecordJson(record));
}

TCommandRecord TDaemonServer::AwaitEnd(TLineWorker& worker, TCommandRecord record) {
  // Past the places for waiting requests the answer comes at once, as with "wait": false.
  const TWaitingPlace place(waiting_, waitingLimit_);
  if (!place) return record;
  const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(config_.CommandLimit + WaitMargin);
  auto ended = worker.AwaitEnd(record.RequestId, limit);
  return ended ? std::move(*ended) : std::move(record);
}

void TDaemonServer::PostDoctor(const httplib::Request& request, httplib::Response& response) {
  deadline_->NoteRequestRead(request.remote_addr, request.remote_port);
  TLineWorker& worker = WorkerOf(request.matches[1]);
  const TWaitingPlace place(waiting_, waitingLimit_);
  if (!place) {
    response.set_header("Retry-After", "5");
    throw TApiError(503, "too many requests wait for their lines; try the diagnosis again later");
  }
  const auto report = worker.Diagnose();
  if (!report) throw TApiError(503, "the line stayed busy; try the diagnosis again later");
  Answer(response, 200, *report);
}

void TDaemonServer::GetCommand(const httplib::Request& request, httplib::Response& response) {
  TLineWorker& worker = WorkerOf(request.matches[1]);
  const std::string id = request.matches[2];
  std::optional<TCommandRecord> record;
  if (IsPlainName(id)) record = worker.Find(id);
  if (!record) throw TApiError(404, "no command " + id + " on line " + worker.Line().Name);
  Answer(response, 200, RecordJson(*record));
}

void TDaemonServer::GetFile(const httplib::Request& request, httplib::Response& response) {
  TLineWorker& worker = WorkerOf(request.matches[1]);
  const std::string name = request.matches[2];
  const std::string path = worker.Line().Folder + "/" + name;
  // A bare name of a regular file in the line folder itself; no link may lead out of it.
  if (!IsPlainName(name) || LookAtEntry(path).kind != TFileEntry::Kind::Regular) {
    throw TApiError(404, "no file " + name + " in the line folder");
  }
  response.set_content(ReadInputFile(path, MaxServedFile, InputLinks::Refuse), FileType(name));
}

void TDaemonServer::GetLines(httplib::Response& response) {
  std::vector<TLineSnapshot> lines;
  for (auto& worker : workers_) lines.push_back(worker->Snapshot());
  Answer(response, 200, LinesJson(lines));
}

void TDaemonServer::GetMetrics(httplib::Response& response) {
  std::vector<TLineSnapshot> lines;
  for (auto& worker : workers_) lines.push_back(worker->Snapshot());
  response.set_content(MetricsText(lines), "text/plain; version=0.0.4");
}
