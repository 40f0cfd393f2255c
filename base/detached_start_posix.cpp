// The program is spawned by a short-lived child of this process: the child
// starts it with posix_spawn in a session of its own and ends at once with
// the outcome as its exit status, so the program is adopted by init and this
// process reaps only the child. posix_spawn returns once the program has been
// executed or its execution failed (glibc reports a failed exec as its result),
// so the wait for the child is bounded.
#include "base/command_line_argument.h"
#include "base/detached_start.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

constexpr int StartedStatus = 0;
constexpr int FailedStatus = 127;

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

}  // namespace

bool StartDetached(const TDetachedStart& start) {
  if (start.Arguments.empty()) return false;
  std::vector<std::string> arguments = start.Arguments;
  const auto argv = ArgumentPointers(arguments);
  const TSpawnSettings settings(start.QuietStreams);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) ::_exit(settings.Spawn(start.SearchPath, argv.data()) == 0 ? StartedStatus : FailedStatus);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == StartedStatus;
}
