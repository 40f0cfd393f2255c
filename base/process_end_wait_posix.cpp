// A pidfd becomes readable when its process ends.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "base/process_end_wait.h"

namespace {

/// The pause where no pidfd can be had, and after a failed poll.
constexpr auto PollStep = std::chrono::milliseconds(2);
/// The longest single poll; a longer limit is waited in turns.
constexpr long long LongestPollMs = 60'000;

int OpenPidFd(long pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
  (void)pid;
  return -1;
#endif
}

}  // namespace

void AwaitProcessEnd(long processId, std::chrono::milliseconds limit) {
  if (limit.count() <= 0) return;
  const int pidFd = OpenPidFd(processId);
  if (pidFd < 0) {
    std::this_thread::sleep_for(std::min(PollStep, limit));
    return;
  }
  pollfd watched{pidFd, POLLIN, 0};
  const int result = ::poll(&watched, 1, static_cast<int>(std::min<long long>(limit.count(), LongestPollMs)));
  const int pollError = errno;
  ::close(pidFd);
  if (result < 0 && pollError != EINTR) std::this_thread::sleep_for(PollStep);
}
