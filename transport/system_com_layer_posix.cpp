// The COM layer over termios. Lines are opened non-blocking and raw; every
// wait is a poll() against a deadline, so the time-outs hold whatever the
// driver does. Output is never left to tcdrain() or to the driver's closing
// wait, which have no limit while the handshake holds the line: the output
// queue is polled for a short while and then discarded. Works on
// pseudo-terminals, which have no modem-control lines. A device is taken
// for one open line alone: one that another process holds is not opened.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <thread>

#include "base/settings_store.h"
#include "base/stop_request.h"
#include "transport/com_layer.h"
#include "transport/system_com_layer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

struct OpenLine : TComLineSettings {
  int fd = -1;
};

Deadline DeadlineAfter(std::int32_t milliseconds) {
  if (milliseconds <= 0) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(milliseconds);
}

int MillisecondsUntil(const Deadline& deadline) {
  if (!deadline) return -1;  // poll() waits without limit
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1'000'000'000));
}

enum class WaitOutcome { Ready, TimedOut, Failed };

/// Waits until `fd` is ready for `events` (or reports a hang-up or error,
/// which the following read or write then reveals). A stop request (a signal
/// interrupts poll) ends the wait with a failure.
WaitOutcome WaitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    ThrowIfStopRequested();
    pollfd watched{fd, events, 0};
    const int ready = ::poll(&watched, 1, MillisecondsUntil(deadline));
    if (ready > 0) return WaitOutcome::Ready;
    if (ready == 0) return WaitOutcome::TimedOut;
    if (errno != EINTR) return WaitOutcome::Failed;
  }
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

std::optional<speed_t> SpeedConstant(std::int32_t bitsPerSecond) {
  switch (bitsPerSecond) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
#ifdef B7200
    case 7200:
      return B7200;
#endif
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
#ifdef B230400
    case 230400:
      return B230400;
#endif
#ifdef B460800
    case 460800:
      return B460800;
#endif
#ifdef B921600
    case 921600:
      return B921600;
#endif
    default:
      return std::nullopt;
  }
}

#ifdef CMSPAR
constexpr tcflag_t StickParity = CMSPAR;
#else
constexpr tcflag_t StickParity = 0;  // mark and space parity unavailable
#endif

#ifdef CRTSCTS
constexpr tcflag_t HardwareHandshake = CRTSCTS;
#else
constexpr tcflag_t HardwareHandshake = 0;
#endif

/// The parity flags of a parity letter, or nothing when termios cannot
/// express it.
std::optional<tcflag_t> ParityFlags(char parity) {
  switch (parity) {
    case 'N':
      return tcflag_t{0};
    case 'O':
      return tcflag_t{PARENB | PARODD};
    case 'E':
      return tcflag_t{PARENB};
    case 'M':
      if (StickParity != 0) return tcflag_t{PARENB | PARODD | StickParity};
      break;
    case 'S':
      if (StickParity != 0) return tcflag_t{PARENB | StickParity};
      break;
    default:
      break;
  }
  return std::nullopt;
}

bool ApplyLineMode(termios& attributes, int mode) {
  const auto format = DecodeLineMode(mode);
  if (!format) return false;
  const auto parity = ParityFlags(format->Parity);
  if (!parity) return false;
  constexpr std::array<tcflag_t, 4> CharacterSizes{CS5, CS6, CS7, CS8};
  attributes.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | StickParity);
  attributes.c_cflag |= CharacterSizes[static_cast<std::size_t>(format->DataBits - 5)] | *parity;
  if (format->StopBits == 2) attributes.c_cflag |= CSTOPB;
  return true;
}

/// True for the slave side of a pseudo-terminal (Linux: majors 136 to 143).
bool IsPseudoTerminal(int fd) {
#ifdef __linux__
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned deviceMajor = major(info.st_rdev);
  return deviceMajor >= 136 && deviceMajor <= 143;
#else
  static_cast<void>(fd);
  return false;
#endif
}

/// Sets the attributes. A pseudo-terminal has no parity to generate and its
/// driver may refuse the setting (EINVAL); as for the missing modem-control
/// lines, that refusal is not a failure: the rest is set without parity.
bool SetLineAttributes(int fd, termios attributes) {
  if (::tcsetattr(fd, TCSANOW, &attributes) == 0) return true;
  if (errno != EINVAL || (attributes.c_cflag & PARENB) == 0 || !IsPseudoTerminal(fd)) return false;
  attributes.c_cflag &= ~(PARENB | PARODD | StickParity);
  return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}

/// Raises DTR and RTS. A line without modem-control lines (a pseudo-terminal,
/// some adapters) refuses the request, which is fine.
bool RaiseModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd, TIOCMBIS, &lines) == 0) return true;
  return errno == ENOTTY || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
}

/// Takes the device for this line alone, as the Windows layer opens it: a
/// lock that the open of every other module process respects, and the
/// terminal's exclusive mode, which refuses the opens of other programs
/// (but root's). A device without the exclusive mode keeps the lock alone.
bool TakeDeviceExclusively(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
  if (::ioctl(fd, TIOCEXCL) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

/// Ends the exclusive mode before the close: a pseudo-terminal keeps it while
/// its master is open and would refuse the next command's open. The lock
/// ends with the close.
void ReleaseExclusiveMode(int fd) { static_cast<void>(::ioctl(fd, TIOCNXCL)); }

bool SetRawDefaults(int fd) {
  termios attributes{};
  if (::tcgetattr(fd, &attributes) != 0) return false;
  ::cfmakeraw(&attributes);
  // HUPCL: the last close drops DTR, so a modem ends the call of a line that
  // closes, whatever the program before left the device at.
  attributes.c_cflag |= CLOCAL | CREAD | HUPCL;
  attributes.c_cflag &= ~HardwareHandshake;
  attributes.c_iflag &= ~(IXON | IXOFF | IXANY);
  attributes.c_cc[VMIN] = 0;
  attributes.c_cc[VTIME] = 0;
  ::cfsetispeed(&attributes, B9600);
  ::cfsetospeed(&attributes, B9600);
  return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}

// Serial driver settings of the Linux serial drivers: low latency (a USB
// adapter otherwise holds received bytes up to 16 ms) and no closing wait.
// Drivers without them (a pseudo-terminal), or a user not allowed to change
// the closing wait, refuse; the line works either way.
void AskForLowLatency([[maybe_unused]] int fd) {
#ifdef __linux__
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  static_cast<void>(::ioctl(fd, TIOCSSERIAL, &serial));
#endif
}

void AskForNoClosingWait([[maybe_unused]] int fd) {
#ifdef __linux__
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.closing_wait = ASYNC_CLOSING_WAIT_NONE;
  static_cast<void>(::ioctl(fd, TIOCSSERIAL, &serial));
#endif
}

/// Bytes written but not yet sent by the driver. A pseudo-terminal hands them
/// to its other side at once and reports none.
int QueuedOutput(int fd) {
  int queued = 0;
  return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : 0;
}

/// The UART still shifts out its last bytes (where the driver tells).
bool TransmitterBusy([[maybe_unused]] int fd) {
#ifdef TIOCSERGETLSR
  unsigned int status = 0;
  if (::ioctl(fd, TIOCSERGETLSR, &status) != 0) return false;
  return (status & TIOCSER_TEMT) == 0;
#else
  return false;
#endif
}

/// Lets written output leave the line for OutputDrainTime, then discards
/// what is left.
int DrainOutput(const OpenLine& line) {
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(OutputDrainTime(QueuedOutput(line.fd), line.bitsPerSecond));
  while (QueuedOutput(line.fd) > 0 || TransmitterBusy(line.fd)) {
    if (Clock::now() >= deadline) return ::tcflush(line.fd, TCOFLUSH) == 0 ? ComResult::Ok : ComResult::SystemFailure;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ComResult::Ok;
}

/// Drops the hardware handshake, so that nothing in the driver waits for CTS.
void ReleaseHandshake(int fd) {
  termios attributes{};
  if (::tcgetattr(fd, &attributes) != 0 || (attributes.c_cflag & HardwareHandshake) == 0) return;
  attributes.c_cflag &= ~HardwareHandshake;
  static_cast<void>(::tcsetattr(fd, TCSANOW, &attributes));
}

class TPosixComLayer final : public TSystemComLayer<OpenLine> {
public:
  ~TPosixComLayer() override {
    for (const auto& entry : OpenLines()) {
      ReleaseHandshake(entry.second.fd);
      static_cast<void>(::tcflush(entry.second.fd, TCOFLUSH));
      ReleaseExclusiveMode(entry.second.fd);
      ::close(entry.second.fd);
    }
  }

protected:
  std::optional<OpenLine> OpenDevice(int port) override {
    const std::string device = ComDevicePath(port);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // The device is taken before anything is set: a line another process
    // holds keeps its settings.
    if (!TakeDeviceExclusively(fd)) {
      ::close(fd);
      return std::nullopt;
    }
    if (!SetRawDefaults(fd) || !RaiseModemLines(fd)) {
      ReleaseExclusiveMode(fd);
      ::close(fd);
      return std::nullopt;
    }
    AskForLowLatency(fd);
    AskForNoClosingWait(fd);
    OpenLine line;
    line.fd = fd;
    return line;
  }

  int SetLineFormat(OpenLine& line, int baudCode, int mode) override {
    const auto speed = SpeedConstant(BaudRateOfCode(baudCode));
    termios attributes{};
    if (!speed) return ComResult::BadParameter;
    if (::tcgetattr(line.fd, &attributes) != 0) return ComResult::SystemFailure;
    if (!ApplyLineMode(attributes, mode)) return ComResult::BadParameter;
    ::cfsetispeed(&attributes, *speed);
    ::cfsetospeed(&attributes, *speed);
    if (!SetLineAttributes(line.fd, attributes)) return ComResult::SystemFailure;
    line.bitsPerSecond = BaudRateOfCode(baudCode);
    return ComResult::Ok;
  }

  int SetFlow(OpenLine& line, int mode) override {
    if ((mode & ComFlow::Hardware) != 0 && HardwareHandshake == 0) return ComResult::BadParameter;
    termios attributes{};
    if (::tcgetattr(line.fd, &attributes) != 0) return ComResult::SystemFailure;
    attributes.c_cflag &= ~HardwareHandshake;
    if ((mode & ComFlow::Hardware) != 0) attributes.c_cflag |= HardwareHandshake;
    attributes.c_iflag &= ~(IXON | IXOFF);
    if ((mode & ComFlow::TxXon) != 0) attributes.c_iflag |= IXON;
    if ((mode & ComFlow::RxXon) != 0) attributes.c_iflag |= IXOFF;
    return ::tcsetattr(line.fd, TCSANOW, &attributes) == 0 ? ComResult::Ok : ComResult::SystemFailure;
  }

  // The time-outs are this layer's own deadlines, kept with the line.
  int UseTimeouts(const OpenLine&) override { return ComResult::Ok; }

  int Write(OpenLine& line, const char* data, int length) override {
    const Deadline deadline = DeadlineAfter(line.writeTotalMs > 0 ? line.writeTotalMs : DefaultWriteTotalMs);
    int written = 0;
    while (written < length) {
      const ssize_t sent = ::write(line.fd, data + written, static_cast<std::size_t>(length - written));
      if (sent > 0) {
        written += static_cast<int>(sent);
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && !WouldBlock(errno)) return ComResult::SystemFailure;
      const WaitOutcome outcome = WaitFor(line.fd, POLLOUT, deadline);
      if (outcome == WaitOutcome::TimedOut) return ComResult::WriteTimeout;
      if (outcome == WaitOutcome::Failed) return ComResult::SystemFailure;
    }
    return written;
  }

  int Read(OpenLine& line, char* buffer, int length) override {
    const bool mayWait = line.readTotalMs > 0;
    const Deadline total = DeadlineAfter(line.readTotalMs);
    int count = 0;
    bool pollSaidReady = false;
    while (count < length) {
      const ssize_t got = ::read(line.fd, buffer + count, static_cast<std::size_t>(length - count));
      if (got > 0) {
        count += static_cast<int>(got);
        pollSaidReady = false;
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && !WouldBlock(errno)) return count > 0 ? count : ComResult::SystemFailure;
      // Nothing is waiting: a raw line (VMIN 0) reads 0 bytes, a non-blocking
      // one fails with EAGAIN. Both mean "not yet". A line that poll() calls
      // ready and that still gives nothing has hung up: the other side is gone.
      if (!mayWait || (got == 0 && pollSaidReady)) break;
      const WaitOutcome outcome = WaitFor(line.fd, POLLIN, NextByteDeadline(line, total, count));
      if (outcome == WaitOutcome::TimedOut) break;
      if (outcome == WaitOutcome::Failed) return count > 0 ? count : ComResult::SystemFailure;
      pollSaidReady = true;
    }
    return count;
  }

  int Flush(OpenLine& line, int selector) override {
    if (selector != ComFlush::Output && ::tcflush(line.fd, TCIFLUSH) != 0) return ComResult::SystemFailure;
    if (selector != ComFlush::Input) return DrainOutput(line);
    return ComResult::Ok;
  }

  int CloseDevice(const OpenLine& line) override {
    static_cast<void>(DrainOutput(line));
    ReleaseHandshake(line.fd);
    ReleaseExclusiveMode(line.fd);
    return ::close(line.fd) == 0 ? ComResult::Ok : ComResult::SystemFailure;
  }

private:
  /// The read ends at the total deadline, or earlier when an interval
  /// time-out is set and the gap after the last byte grows beyond it.
  static Deadline NextByteDeadline(const OpenLine& line, const Deadline& total, int countSoFar) {
    if (line.readIntervalMs <= 0 || countSoFar == 0) return total;
    const auto gapEnd = Clock::now() + std::chrono::milliseconds(line.readIntervalMs);
    return total ? std::min(*total, gapEnd) : gapEnd;
  }
};

}  // namespace

std::string ConfiguredComDevicePath(int port) {
  const std::string name = "COM" + std::to_string(port);
  const char* fromEnvironment = std::getenv(("MERV_" + name).c_str());
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return ReadSettingText("Ports", name);
}

std::string ComDevicePath(int port) {
  std::string configured = ConfiguredComDevicePath(port);
  return configured.empty() ? "/dev/ttyS" + std::to_string(port - 1) : configured;
}

TComLayer& SystemComLayer() {
  static TPosixComLayer layer;
  return layer;
}
