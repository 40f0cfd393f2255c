#include "app/end_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>

#include "base/stop_request.h"

namespace {

// The end signal: whether it came, and the pipe that wakes a wait when it
// does. Process-wide, as a signal reaches the process, not one command; the
// handler touches nothing else.
struct TEndSignal {
  volatile sig_atomic_t Requested = 0;
  int WakePipe[2] = {-1, -1};
};
TEndSignal EndSignal;

extern "C" void OnEndSignal(int) {
  const int savedErrno = errno;
  EndSignal.Requested = 1;
  RequestStop();
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(EndSignal.WakePipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

void InstallEndSignals() {
  if (EndSignal.WakePipe[0] < 0) {
    if (::pipe(EndSignal.WakePipe) != 0) throw std::runtime_error("pipe: " + std::to_string(errno));
    for (const int end : EndSignal.WakePipe) {
      ::fcntl(end, F_SETFD, FD_CLOEXEC);
      ::fcntl(end, F_SETFL, O_NONBLOCK);
    }
  }
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking call returns with EINTR, and every wait of the
  // module also asks for the stop request, so the command under way ends
  // within its next wait slice, writes its outcome, and the mode ends.
  action.sa_flags = 0;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  // A reader that leaves a FIFO or pipe is a write failure, not the end.
  ::signal(SIGPIPE, SIG_IGN);
}

void RequestEnd() { OnEndSignal(SIGTERM); }

bool EndRequested() { return EndSignal.Requested != 0; }

void WaitUnlessEndRequested(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!EndRequested()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return;
    pollfd wake{EndSignal.WakePipe[0], POLLIN, 0};
    if (::poll(&wake, EndSignal.WakePipe[0] >= 0 ? 1 : 0, static_cast<int>(left)) > 0) {
      char drained[16];
      while (::read(EndSignal.WakePipe[0], drained, sizeof drained) > 0) {
      }
    }
  }
}
