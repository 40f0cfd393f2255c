#pragma once
// The module's executable run in the background (POSIX test harness), so
// that a test can signal it, see whether it still runs and wait for its end
// up to a limit; killed and reaped when the object goes, unless it has ended.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/process_end_wait.h"
#include "test_support.h"

class BackgroundModule {
public:
  /// Starts `program` in `folder` (empty: this process's working folder) with
  /// `environment` added. Standard input and output are the null device, and
  /// so is standard error unless `errors` names a file for it.
  BackgroundModule(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment, const std::filesystem::path& folder,
                   const std::filesystem::path& errors = {}) {
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const int nothing = ::open("/dev/null", O_RDWR);
      const int err = errors.empty() ? nothing : ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(nothing, 0);
      ::dup2(nothing, 1);
      ::dup2(err, 2);
      ExecInChild(program, arguments, environment, folder);
    }
  }
  ~BackgroundModule() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  BackgroundModule(const BackgroundModule&) = delete;
  BackgroundModule& operator=(const BackgroundModule&) = delete;

  void Signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
  }

  /// True while it runs; once it has ended (and is reaped) its exit status
  /// is kept.
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = 0;
    return false;
  }

  /// The exit status (-1 when it did not exit normally) once it has ended,
  /// waiting up to `limit`; none while it still runs.
  std::optional<int> ExitStatusWithin(std::chrono::milliseconds limit) {
    return WaitForProcessEnd(pid_, limit, [this]() -> std::optional<int> {
      if (Running()) return std::nullopt;
      return exitStatus_;
    });
  }

  /// SIGTERM, then the exit status once it has ended within `limit`.
  std::optional<int> StopWithin(std::chrono::milliseconds limit) {
    Signal(SIGTERM);
    return ExitStatusWithin(limit);
  }

private:
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};
