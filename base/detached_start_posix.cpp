// The program is spawned by a short-lived child of this process: the child
// starts it with posix_spawn in a session of its own, sends the outcome back
// through a pipe and ends at once, so the program is adopted by init and this
// process reaps only the child. posix_spawn returns once the program has been
// executed or its execution failed (glibc reports a failed exec as its result),
// so the wait for the child is bounded. The outcome travels through the pipe,
// not the exit status: a process started with SIGCHLD ignored (some launchers
// do that, and it is inherited) has its children reaped by the system, and
// their status is lost.
#include "base/command_line_argument.h"
#include "base/detached_start.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

constexpr char Started = 'S';

/// The spawn settings: a session of its own and, when asked, quiet streams.
/// Prepared before the fork, so that the child only spawns.
class TSpawnSettings {
public:
  explicit TSpawnSettings(bool quietStreams) {
    ::posix_spawnattr_init(&attributes_);
    ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSID);
    ::posix_spawn_file_actions_init(&actions_);
    if (!quietStreams) return;
    ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (::isatty(STDERR_FILENO) != 1) {
      ::posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
  }
  TSpawnSettings(const TSpawnSettings&) = delete;
  TSpawnSettings& operator=(const TSpawnSettings&) = delete;
  ~TSpawnSettings() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }

  /// The spawn's result: 0 when the program was executed, else the error.
  int Spawn(bool searchPath, char* const arguments[]) const {
    pid_t program = 0;
    return searchPath ? ::posix_spawnp(&program, arguments[0], &actions_, &attributes_, arguments, environ)
                      : ::posix_spawn(&program, arguments[0], &actions_, &attributes_, arguments, environ);
  }

private:
  posix_spawnattr_t attributes_{};
  posix_spawn_file_actions_t actions_{};
};

/// Both ends of a pipe, closed on exec so that the started program does not
/// hold the writing end open.
class TOutcomePipe {
public:
  TOutcomePipe() {
    if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
  }
  TOutcomePipe(const TOutcomePipe&) = delete;
  TOutcomePipe& operator=(const TOutcomePipe&) = delete;
  ~TOutcomePipe() {
    CloseWritingEnd();
    if (ends_[0] >= 0) ::close(ends_[0]);
  }

  bool Open() const { return ends_[0] >= 0; }

  void Send(char outcome) const {
    while (::write(ends_[1], &outcome, 1) < 0 && errno == EINTR) {
    }
  }

  void CloseWritingEnd() {
    if (ends_[1] >= 0) ::close(ends_[1]);
    ends_[1] = -1;
  }

  /// What the child sent, or 0 when it ended without sending anything.
  char Receive() const {
    char outcome = 0;
    ssize_t got = 0;
    while ((got = ::read(ends_[0], &outcome, 1)) < 0 && errno == EINTR) {
    }
    return got == 1 ? outcome : '\0';
  }

private:
  int ends_[2]{-1, -1};
};

}  // namespace

bool StartDetached(const TDetachedStart& start) {
  if (start.Arguments.empty()) return false;
  std::vector<std::string> arguments = start.Arguments;
  const auto argv = ArgumentPointers(arguments);
  const TSpawnSettings settings(start.QuietStreams);
  TOutcomePipe outcome;
  if (!outcome.Open()) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    if (settings.Spawn(start.SearchPath, argv.data()) == 0) outcome.Send(Started);
    ::_exit(0);
  }
  outcome.CloseWritingEnd();
  const bool started = outcome.Receive() == Started;
  // Reaps the child; fails at once with ECHILD when the system reaped it.
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return started;
}
