#include "base/platform.h"

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <clocale>

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::string CommandTextFromFile(const std::string& bytes) { return bytes; }

// The link read at once: a look at the link first would cost a start of the
// module one more system call.
std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

char PathSeparator() { return '/'; }

std::string SerialDeviceAccessWords() { return "group dialout"; }

std::string NativePathFromCommand(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

void SystemBeep() {
  if (!StandardErrorIsTerminal()) return;
  const char bell = '\a';
  [[maybe_unused]] const auto written = write(STDERR_FILENO, &bell, 1);
}

void UseUserLocale() {
  // Only dates follow the user's locale: numbers in records and files must
  // never pass through locale-dependent conversions.
  std::setlocale(LC_TIME, "");
}

void UsePreciseSleeps() {
#ifdef __linux__
  // The kernel may delay a timer by its "slack" (50 us by default) to batch
  // wake-ups; one microsecond keeps thousands of 1 ms pauses near their sum.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}
