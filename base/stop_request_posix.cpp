#include <signal.h>

#include "base/stop_request.h"

namespace {

extern "C" void NoteStopSignal(int) { RequestStop(); }

}  // namespace

void InstallStopRequestHandlers() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking call returns with EINTR
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // A reader that leaves a FIFO or pipe is a write failure (07), not the end.
  signal(SIGPIPE, SIG_IGN);
}
