#include "app/viewer_launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// In the grandchild: standard streams to /dev/null, a session of its own,
// then the program. Only async-signal-safe calls after fork.
[[noreturn]] void ExecuteDetached(const char* program, char* const arguments[]) {
  const int nothing = ::open("/dev/null", O_RDWR);
  if (nothing >= 0) {
    ::dup2(nothing, STDIN_FILENO);
    ::dup2(nothing, STDOUT_FILENO);
    ::dup2(nothing, STDERR_FILENO);
    if (nothing > STDERR_FILENO) ::close(nothing);
  }
  ::setsid();
  ::execv(program, arguments);
  ::_exit(127);
}

}  // namespace

std::string ViewerFileName() { return "vyrnak"; }

// Forks twice: the child starts the viewer as a grandchild and ends at once,
// so the viewer is adopted by init and this process reaps only the child.
bool StartDetached(const std::string& program, const std::string& first, const std::string& second) {
  std::string programCopy = program, firstCopy = first, secondCopy = second;
  char* const arguments[] = {programCopy.data(), firstCopy.data(), secondCopy.data(), nullptr};
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) ExecuteDetached(programCopy.c_str(), arguments);
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
