// A pidfd becomes readable when its process ends; where the kernel has no
// pidfd (before Linux 5.3) the child is polled in short steps.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "tools/mervd/child_wait.h"

namespace {

constexpr auto PollStep = std::chrono::milliseconds(2);

int OpenPidFd(long pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
  (void)pid;
  return -1;
#endif
}

class TPidFd {
public:
  explicit TPidFd(long pid) : fd_(OpenPidFd(pid)) {}
  ~TPidFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TPidFd(const TPidFd&) = delete;
  TPidFd& operator=(const TPidFd&) = delete;
  int Fd() const { return fd_; }

private:
  int fd_;
};

}  // namespace

std::optional<TChildEnd> WaitForChildEnd(TChildProcess& child, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  const TPidFd pidFd(child.Id());
  while (true) {
    if (auto end = child.Poll()) return end;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    if (pidFd.Fd() >= 0) {
      pollfd watched{pidFd.Fd(), POLLIN, 0};
      const int result = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left.count(), 60'000)));
      if (result < 0 && errno != EINTR) std::this_thread::sleep_for(PollStep);
    } else {
      std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(PollStep, left));
    }
  }
}
