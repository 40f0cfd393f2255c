#pragma once
// TChildProcess: a program started as a child of this process and waited
// for. Its standard input is empty and its standard output and error are
// discarded (standard output is kept in a pipe when the start asks for it:
// a short report such as mervmodul --doctor --json, read once the child has
// ended; a child writing more than the pipe holds waits until it is ended); it gets a working folder and environment variables of its own on
// top of this process's environment. It stays in this process's group, so a
// Ctrl-C at the terminal reaches it as it reaches this process.
//
// No wait blocks without a bound: Poll only asks, AwaitChildEvent waits up
// to a limit for any child to end (or for a signal), and the destructor of a
// child still running kills it and reaps it within a few seconds.
//
// One implementation per platform: child_process_posix.cpp (posix_spawn and
// a SIGCHLD pipe), child_process_win32.cpp (CreateProcess).
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TChildStart {
  /// The program's full path; no search of PATH.
  std::string Program;
  /// The arguments after the program's name.
  std::vector<std::string> Arguments;
  /// Empty: this process's working folder.
  std::string WorkingFolder;
  /// Variables added to (or replacing those of) this process's environment.
  std::vector<std::pair<std::string, std::string>> Environment;
  /// Keeps standard output for Output() instead of discarding it.
  bool KeepOutput = false;
};

/// How a child ended.
struct TChildEnd {
  /// The exit status when it exited, else none (ended by a signal).
  std::optional<int> ExitStatus;
  /// The signal that ended it (POSIX), 0 when it exited.
  int Signal = 0;
  /// "exit status 1", "signal 9".
  std::string Describe() const {
    return ExitStatus ? "exit status " + std::to_string(*ExitStatus) : "signal " + std::to_string(Signal);
  }
};

/// The platform's handle of a started child.
struct TChildHandle;

class TChildProcess {
public:
  /// Starts the program; throws std::system_error when it cannot be started.
  explicit TChildProcess(const TChildStart& start);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  /// How the child ended, reaping it; none while it runs. Does not wait.
  std::optional<TChildEnd> Poll();

  /// Asks the child to end its work the way it ends it on a stop request
  /// (SIGTERM on POSIX, Ctrl+Break on Windows). Nothing once it has ended.
  void RequestStop();

  /// Ends the child at once (SIGKILL, TerminateProcess).
  void Kill();

  /// The system's process id.
  long Id() const;

  /// What the child wrote to standard output so far (at most `limit`
  /// bytes), when the start kept it; never waits.
  std::string Output(std::size_t limit);

  struct HandleDeleter {
    void operator()(TChildHandle* handle) const noexcept;
  };

private:
  std::unique_ptr<TChildHandle, HandleDeleter> handle_;
  std::optional<TChildEnd> end_;
};

/// Prepares this process for starting children (on POSIX: the SIGCHLD
/// handler that wakes AwaitChildEvent). Call once, before the first child.
void PrepareChildProcesses();

/// Returns when a child may have ended, a signal came, or `limit` passed,
/// whichever is first. Afterwards Poll tells which child ended.
void AwaitChildEvent(std::chrono::milliseconds limit);
