// Children on POSIX: posix_spawn (no fork of a large process, no code of
// ours between fork and exec), a working folder set by the spawn itself, and
// a self-pipe written by the SIGCHLD handler that AwaitChildEvent polls.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/command_line_argument.h"
#include "tools/mervfleet/child_process.h"

extern char** environ;

struct TChildHandle {
  pid_t Pid = -1;
  /// The reading end of the kept standard output, or -1.
  int Output = -1;
  ~TChildHandle() {
    if (Output >= 0) ::close(Output);
  }
};

namespace {

/// How long the destructor waits for a killed child to be reaped.
constexpr auto ReapAfterKillLimit = std::chrono::seconds(5);
constexpr auto ReapStep = std::chrono::milliseconds(10);

int childEventPipe[2] = {-1, -1};

extern "C" void NoteChildEvent(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(childEventPipe[1], &byte, 1);
  errno = saved;
}

[[noreturn]] void ThrowSystemError(int error, const std::string& step) {
  throw std::system_error(error, std::generic_category(), step);
}

// The environment of this process with the given variables put over it.
std::vector<std::string> ChildEnvironment(const TChildStart& start) {
  std::vector<std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    bool replaced = false;
    for (const auto& [name, value] : start.Environment) replaced = replaced || variable.rfind(name + "=", 0) == 0;
    if (!replaced) variables.push_back(variable);
  }
  for (const auto& [name, value] : start.Environment) variables.push_back(name + "=" + value);
  return variables;
}

// Frees the spawn's file actions and attributes however the start ends.
class SpawnSetup {
public:
  SpawnSetup() {
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Standard streams to /dev/null, the working folder, and the signals this
  // process handles or ignores back at their defaults with none blocked.
  void Prepare(const std::string& workingFolder, int outputPipe) {
    Check(::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0), "stdin");
    if (outputPipe >= 0) {
      Check(::posix_spawn_file_actions_adddup2(&actions_, outputPipe, STDOUT_FILENO), "stdout");
    } else {
      Check(::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0), "stdout");
    }
    Check(::posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0), "stderr");
    if (!workingFolder.empty()) {
      Check(::posix_spawn_file_actions_addchdir_np(&actions_, workingFolder.c_str()), "chdir " + workingFolder);
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGCHLD, SIGPIPE, SIGHUP}) sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    Check(::posix_spawnattr_setsigdefault(&attributes_, &defaults), "signal defaults");
    Check(::posix_spawnattr_setsigmask(&attributes_, &none), "signal mask");
    Check(::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK), "flags");
  }

  const posix_spawn_file_actions_t* Actions() const { return &actions_; }
  const posix_spawnattr_t* Attributes() const { return &attributes_; }

private:
  static void Check(int result, const std::string& step) {
    if (result != 0) ThrowSystemError(result, "posix_spawn " + step);
  }
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

TChildEnd EndOf(int status) {
  TChildEnd end;
  if (WIFEXITED(status)) {
    end.ExitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    end.Signal = WTERMSIG(status);
  }
  return end;
}

}  // namespace

TChildProcess::TChildProcess(const TChildStart& start) : handle_(new TChildHandle) {
  int output[2] = {-1, -1};
  if (start.KeepOutput && ::pipe2(output, O_CLOEXEC) != 0) ThrowSystemError(errno, "pipe");
  handle_->Output = output[0];
  SpawnSetup setup;
  setup.Prepare(start.WorkingFolder, output[1]);
  std::vector<std::string> arguments{start.Program};
  arguments.insert(arguments.end(), start.Arguments.begin(), start.Arguments.end());
  std::vector<std::string> environment = ChildEnvironment(start);
  const auto argumentPointers = ArgumentPointers(arguments);
  const auto environmentPointers = ArgumentPointers(environment);
  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, start.Program.c_str(), setup.Actions(), setup.Attributes(),
                                   argumentPointers.data(), environmentPointers.data());
  if (output[1] >= 0) ::close(output[1]);
  if (output[0] >= 0) ::fcntl(output[0], F_SETFL, O_NONBLOCK);
  if (result != 0) ThrowSystemError(result, "start " + start.Program);
  handle_->Pid = pid;
}

TChildProcess::~TChildProcess() {
  if (end_ || !handle_) return;
  Kill();
  const auto limit = std::chrono::steady_clock::now() + ReapAfterKillLimit;
  while (!Poll() && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(ReapStep);
}

void TChildProcess::HandleDeleter::operator()(TChildHandle* handle) const noexcept { delete handle; }

std::optional<TChildEnd> TChildProcess::Poll() {
  if (end_) return end_;
  int status = 0;
  pid_t reaped = -1;
  do {
    reaped = ::waitpid(handle_->Pid, &status, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped == handle_->Pid) end_ = EndOf(status);
  if (reaped < 0) end_ = TChildEnd{};  // not our child any more: nothing left to wait for
  return end_;
}

void TChildProcess::RequestStop() {
  if (!end_) ::kill(handle_->Pid, SIGTERM);
}

void TChildProcess::Kill() {
  if (!end_) ::kill(handle_->Pid, SIGKILL);
}

long TChildProcess::Id() const { return handle_->Pid; }

std::string TChildProcess::Output(std::size_t limit) {
  std::string output;
  std::array<char, 4096> block{};
  while (handle_->Output >= 0 && output.size() < limit) {
    const ssize_t got = ::read(handle_->Output, block.data(), std::min(block.size(), limit - output.size()));
    if (got > 0) {
      output.append(block.data(), static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // nothing more now (EAGAIN) or the child closed it
    }
  }
  return output;
}

void PrepareChildProcesses() {
  if (childEventPipe[0] >= 0) return;
  if (::pipe(childEventPipe) != 0) ThrowSystemError(errno, "pipe");
  for (const int end : childEventPipe) {
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(end, F_SETFL, O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = NoteChildEvent;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_NOCLDSTOP | SA_RESTART;
  if (::sigaction(SIGCHLD, &action, nullptr) != 0) ThrowSystemError(errno, "sigaction SIGCHLD");
}

void AwaitChildEvent(std::chrono::milliseconds limit) {
  pollfd watched{childEventPipe[0], POLLIN, 0};
  const int timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(limit.count(), 0));
  if (::poll(&watched, 1, timeout) > 0) {
    std::array<char, 256> drained{};
    while (::read(childEventPipe[0], drained.data(), drained.size()) > 0) {
    }
  }
}
