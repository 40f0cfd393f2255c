// mervd: a local HTTP service that runs MERV Modul commands on register
// lines for shop software that cannot start programs (see man/mervd.1).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "base/stop_request.h"
#include "tools/mervd/access_token.h"
#include "tools/mervd/daemon_config.h"
#include "tools/mervd/daemon_server.h"
#include "tools/mervd/service_host.h"

namespace {

constexpr auto StopPollInterval = std::chrono::milliseconds(100);
constexpr int WrongCommandLine = 2;

constexpr const char* Usage = R"(Usage: mervd [--config FILE] [--service] [--print-token]
       mervd --help | --version

mervd serves MERV Modul's commands over HTTP/JSON on the address of its
configuration file (default %s): POST /v1/lines/LINE/commands runs a
command on a register line, one at a time per line, and never twice for one
request_id; GET / shows the lines. Every API call needs the bearer token of
the token file, which is made at the first start.

  --config FILE   the configuration file
  --print-token   make the token file when missing, print the token and end
  --service       run under the Windows service manager
)";

struct TOptions {
  std::string Config;
  bool Service = false;
  bool PrintToken = false;
};

int Serve(const TDaemonConfig& config) {
  TDaemonServer server(config, TAccessToken::LoadOrCreate(config.TokenFile));
  const int port = server.Bind();
  std::printf("mervd listening on http://%s:%d/ with %zu lines\n", config.ListenHost.c_str(), port,
              config.Lines.size());
  std::fflush(stdout);
  std::atomic<bool> served{false};
  std::thread stopWatch([&] {
    while (!served && !StopRequested()) std::this_thread::sleep_for(StopPollInterval);
    // A stop asked for just after the ready line, before the server listens,
    // would not be heard: it waits until the server listens.
    while (!served) {
      if (server.IsRunning()) {
        server.Stop();
        break;
      }
      std::this_thread::sleep_for(StopPollInterval);
    }
  });
  const bool ok = server.Serve();
  served = true;
  stopWatch.join();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  options.Config = DefaultConfigPath();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::printf(Usage, DefaultConfigPath());
      return 0;
    } else if (argument == "--version") {
      std::printf("mervd %s\n", MERV_VERSION_TEXT);
      return 0;
    } else if (argument == "--config" && i + 1 < argc) {
      options.Config = argv[++i];
    } else if (argument == "--service") {
      options.Service = true;
    } else if (argument == "--print-token") {
      options.PrintToken = true;
    } else {
      std::fprintf(stderr, "mervd: unknown option %s (mervd --help)\n", argument.c_str());
      return WrongCommandLine;
    }
  }
  try {
    const TDaemonConfig config = LoadDaemonConfig(options.Config);
    if (options.PrintToken) {
      std::printf("%s\n", TAccessToken::LoadOrCreate(config.TokenFile).Text().c_str());
      return 0;
    }
    InstallStopRequestHandlers();
    if (options.Service) return RunAsService([&] { return Serve(config); }, [] { RequestStop(); });
    return Serve(config);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "mervd: %s\n", failure.what());
    return 1;
  }
}
