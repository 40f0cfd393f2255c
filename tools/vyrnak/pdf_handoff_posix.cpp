#include "tools/vyrnak/pdf_handoff.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/command_line_argument.h"
#include "base/detached_start.h"

extern char** environ;

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Waits for the child at most `limit`; kills and reaps it when it is late.
// The exit status, or -1 when it was killed or ended by a signal. A child
// that cannot be waited for (reaped unseen) is a failure, never a status 0.
int WaitBounded(pid_t child, std::chrono::seconds limit, bool& late) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  late = false;
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 || (ended == -1 && errno == EINTR)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      late = true;
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (ended == -1) throw EHandoffError(std::string("cannot learn how lp ended: ") + std::strerror(errno));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

void RestoreChildSignal() { signal(SIGCHLD, SIG_DFL); }

void PrintOnPrinter(const std::filesystem::path& pdf, const std::string& printer) {
  std::vector<std::string> arguments{"lp", "-d", printer, "--", pdf.string()};
  auto argv = ArgumentPointers(arguments);
  pid_t child = 0;
  const int failure = posix_spawnp(&child, "lp", nullptr, nullptr, argv.data(), environ);
  if (failure != 0) throw EHandoffError(std::string("cannot start lp: ") + std::strerror(failure));
  bool late = false;
  const int status = WaitBounded(child, std::chrono::seconds(PrintWaitSeconds), late);
  if (late) throw EHandoffError("lp did not finish within " + std::to_string(PrintWaitSeconds) + " s");
  if (status != 0) throw EHandoffError("lp -d " + printer + " ended with status " + std::to_string(status));
}

bool OpenInViewer(const std::filesystem::path& pdf) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return false;
  return StartDetached({{"xdg-open", pdf.string()}, true, false});
}
