#include "tools/vyrnak/pdf_handoff.h"

#include <fcntl.h>
#include <poll.h>
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

extern char** environ;

namespace {

std::vector<char*> ArgumentVector(std::vector<std::string>& arguments) {
  std::vector<char*> vector;
  for (auto& argument : arguments) vector.push_back(argument.data());
  vector.push_back(nullptr);
  return vector;
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Waits for the child at most `limit`; kills and reaps it when it is late.
// The exit status, or -1 when it was killed or ended by a signal.
int WaitBounded(pid_t child, std::chrono::seconds limit, bool& late) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  late = false;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      late = true;
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program in a grandchild of its own session, so that it outlives
// this process and leaves no zombie; a pipe closed by the exec tells that it
// started. False when it could not be started.
bool StartDetached(std::vector<std::string> arguments) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  auto argv = ArgumentVector(arguments);
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild <= 0) {
      if (grandchild == 0) execvp(argv[0], argv.data());
      const int failure = errno;
      [[maybe_unused]] const auto written = write(report[1], &failure, sizeof failure);
    }
    _exit(0);
  }
  close(report[1]);
  waitpid(child, nullptr, 0);
  int failure = 0;
  pollfd ready{report[0], POLLIN, 0};
  const bool answered = poll(&ready, 1, 5000) == 1;
  const bool failed = answered && read(report[0], &failure, sizeof failure) == static_cast<ssize_t>(sizeof failure);
  close(report[0]);
  return answered && !failed;
}

}  // namespace

void PrintOnPrinter(const std::filesystem::path& pdf, const std::string& printer) {
  std::vector<std::string> arguments{"lp", "-d", printer, "--", pdf.string()};
  auto argv = ArgumentVector(arguments);
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
  return StartDetached({"xdg-open", pdf.string()});
}
