// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
// The line of the emulator on POSIX: a loopback TCP listener or a
// pseudo-terminal master, polled together with the stop signals' pipe.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <iostream>
#include <string_view>
#include <system_error>

#include "base/precise_wait.h"
#include "transport/ff_doubling.h"
#include "tools/mervsim/modem/hayes_modem.h"
#include "tools/mervsim/line/line_pacer.h"
#include "tools/mervsim/line/line_device.h"
#include "tools/mervsim/line/sim_transport.h"

namespace {

/// A frame whose bytes stop coming for this long is dropped.
constexpr int QuietMs = 500;
/// How often a closed pseudo-terminal is looked at for the next opening.
constexpr int ReopenPollMs = 50;
constexpr int ListenBacklog = 4;
constexpr std::size_t ReadChunk = 4096;
/// A flooding modem writes this much each time the line has room.
constexpr std::size_t FloodChunk = 256;

int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int) {
  stopRequested = 1;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

[[noreturn]] void ThrowSystemError(const std::string& step) {
  throw std::system_error(errno, std::generic_category(), step);
}

class FileDescriptor {
public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

private:
  int fd_;
};

enum class Wake { Data, Quiet, Hangup, Stop, Room };

// Waits for bytes on `fd` or a stop signal, and with `forRoom` also for room
// to write on `fd`; `timeoutMs` < 0 waits for ever.
Wake WaitFor(int fd, int timeoutMs, bool forRoom = false) {
  if (stopRequested) return Wake::Stop;
  const short events = forRoom ? POLLIN | POLLOUT : POLLIN;
  std::array<pollfd, 2> watched = {{{fd, events, 0}, {stopPipe[0], POLLIN, 0}}};
  const int ready = ::poll(watched.data(), watched.size(), timeoutMs);
  if (ready < 0) {
    if (errno == EINTR) return stopRequested ? Wake::Stop : Wake::Quiet;
    ThrowSystemError("poll");
  }
  if (stopRequested || (watched[1].revents & POLLIN) != 0) return Wake::Stop;
  if (ready == 0) return Wake::Quiet;
  const short seen = watched[0].revents;
  if ((seen & POLLIN) != 0) return Wake::Data;
  if ((seen & POLLOUT) != 0 && (seen & (POLLHUP | POLLERR)) == 0) return Wake::Room;
  return Wake::Hangup;
}

// Writes what the line takes at once and drops the rest: a flood must never
// block the emulator (a full pseudo-terminal whose other side has closed
// takes nothing, for ever). False when the line has gone.
bool WriteWithoutWaiting(int fd, std::string_view bytes) {
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  const int error = errno;
  ::fcntl(fd, F_SETFL, flags);
  return written >= 0 || error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

void InstallStopSignals() {
  if (::pipe(stopPipe) != 0) ThrowSystemError("pipe");
  for (const int end : stopPipe) ::fcntl(end, F_SETFD, FD_CLOEXEC);
  ::fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

// ------------------------------------------------------------------- line

class TSimServer::Line {
public:
  Line(TLineDevice& emulator, TLineSettings settings)
      : emulator_(emulator),
        settings_(std::move(settings)),
        sendPacer_(settings_.LineSpeed),
        receivePacer_(settings_.LineSpeed) {}
  ~Line() {
    if (!linkMade_.empty()) ::unlink(linkMade_.c_str());
  }

  std::string Open() { return settings_.TcpPort ? OpenTcp() : OpenPty(); }

  void UseModem(THayesModem& modem) { modem_ = &modem; }

  void Serve() {
    if (settings_.TcpPort) {
      ServeTcp();
    } else {
      ServePty();
    }
  }

private:
  // ---- TCP
  std::string OpenTcp() {
    listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener_.Get() < 0) ThrowSystemError("socket");
    const int yes = 1;
    ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(*settings_.TcpPort));
    if (::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ThrowSystemError("bind 127.0.0.1:" + std::to_string(*settings_.TcpPort));
    }
    if (::listen(listener_.Get(), ListenBacklog) != 0) ThrowSystemError("listen");
    socklen_t length = sizeof address;
    if (::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ThrowSystemError("getsockname");
    }
    port_ = ntohs(address.sin_port);
    return "tcp 127.0.0.1:" + std::to_string(port_);
  }

  void ServeTcp() {
    while (WaitFor(listener_.Get(), -1) == Wake::Data) {
      sockaddr_in peer{};
      socklen_t peerLength = sizeof peer;
      FileDescriptor connection(
          ::accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC));
      if (connection.Get() < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        ThrowSystemError("accept");
      }
      // With --once no other connection is taken: closing the listener now
      // refuses one at once instead of queueing it until the emulator ends.
      if (settings_.Once) listener_.Reset();
      // Frames are short and answered at once: no waiting to fill a segment.
      const int noDelay = 1;
      ::setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
      ServeConnection(connection.Get(), TFfDoubling::AppliesTo(port_), PeerText(peer));
      if (settings_.Once || stopRequested) return;
    }
  }

  // ---- pseudo-terminal
  std::string OpenPty() {
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master_.Get() < 0) ThrowSystemError("posix_openpt");
    if (::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) ThrowSystemError("grantpt/unlockpt");
    const char* slave = ::ptsname(master_.Get());
    if (slave == nullptr) ThrowSystemError("ptsname");
    const std::string slavePath = slave;
    termios mode{};
    if (::tcgetattr(master_.Get(), &mode) != 0) ThrowSystemError("tcgetattr");
    ::cfmakeraw(&mode);
    if (::tcsetattr(master_.Get(), TCSANOW, &mode) != 0) ThrowSystemError("tcsetattr");
    if (!settings_.LinkPath.empty()) MakeLink(slavePath);
    return "pty " + slavePath;
  }

  // Replaces an old symbolic link of that name; anything else is not touched.
  void MakeLink(const std::string& target) {
    const std::string& path = settings_.LinkPath;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
      if (!S_ISLNK(existing.st_mode)) {
        errno = EEXIST;
        ThrowSystemError("--link " + path + " exists and is no symbolic link");
      }
      if (::unlink(path.c_str()) != 0) ThrowSystemError("unlink " + path);
    }
    if (::symlink(target.c_str(), path.c_str()) != 0) ThrowSystemError("symlink " + path);
    linkMade_ = path;
  }

  void ServePty() {
    while (!stopRequested) {
      if (modem_ != nullptr) {
        ServeModemLine(master_.Get());
      } else {
        ServeConnection(master_.Get(), false);
      }
      ::tcflush(master_.Get(), TCIOFLUSH);
      if (settings_.Once || stopRequested || !WaitForReopen()) return;
    }
  }

  // While no process holds the slave open, the master reports a hang-up.
  bool WaitForReopen() {
    for (;;) {
      pollfd master{master_.Get(), POLLIN, 0};
      if (::poll(&master, 1, 0) >= 0 && (master.revents & POLLHUP) == 0) return true;
      if (WaitFor(stopPipe[0], ReopenPollMs) != Wake::Quiet) return false;
    }
  }

  // ---- one connection
  static std::string PeerText(const sockaddr_in& peer) {
    char address[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    return std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
  }

  void ServeConnection(int fd, bool doublesFf, const std::string& peer = {}) {
    TFfDoubling undoubling;
    emulator_.StartConnection(peer);
    for (bool open = true; open;) {
      switch (WaitFor(fd, emulator_.HasPartialFrame() ? QuietMs : -1)) {
        case Wake::Stop:
        case Wake::Hangup:
          open = false;
          break;
        case Wake::Quiet:
          emulator_.LineQuiet();
          break;
        case Wake::Data:
          open = TakeBytes(fd, doublesFf, undoubling);
          break;
        case Wake::Room:  // not asked for
          break;
      }
    }
    emulator_.EndConnection();
  }

  // The modem stands between the line and the register: it is the one that
  // talks to the register, and it says how long the line may stay quiet.
  void ServeModemLine(int fd) {
    modem_->LineOpened();
    for (bool open = true; open;) {
      switch (WaitFor(fd, modem_->MsUntilDue(), modem_->Floods())) {
        case Wake::Stop:
        case Wake::Hangup:
          open = false;
          break;
        case Wake::Quiet:
          open = WriteAll(fd, modem_->Tick());
          break;
        case Wake::Room:
          open = WriteWithoutWaiting(fd, modem_->FloodBytes(FloodChunk));
          break;
        case Wake::Data: {
          std::array<char, ReadChunk> buffer{};
          const ssize_t count = ::read(fd, buffer.data(), buffer.size());
          if (count < 0 && errno == EINTR) break;
          open = count > 0 &&
                 WriteAll(fd, modem_->Receive(std::string_view(buffer.data(), static_cast<std::size_t>(count))));
          break;
        }
      }
    }
    modem_->LineClosed();
  }

  // False when the connection has ended.
  bool TakeBytes(int fd, bool doublesFf, TFfDoubling& undoubling) {
    const ssize_t count = ::read(fd, readBuffer_.data(), readBuffer_.size());
    if (count < 0 && errno == EINTR) return true;
    if (count <= 0) return false;
    const std::string_view piece(readBuffer_.data(), static_cast<std::size_t>(count));
    std::string undoubled;
    if (doublesFf) undoubled = undoubling.Undouble(piece);
    const std::string_view received = doublesFf ? std::string_view(undoubled) : piece;
    // The answer is made at once but goes out only as the frame it answers
    // has come in over the line: the emulator's own work (and a late wake-up)
    // overlaps the line time instead of adding to it.
    const auto heard = receivePacer_.Book(static_cast<std::size_t>(count));
    const TEmulatorAnswer answer = emulator_.Receive(received);
    if (answer.Bytes.empty()) WaitUntilPrecisely(heard);
    sendPacer_.HoldUntil(heard);
    if (!WriteAll(fd, doublesFf ? TFfDoubling::Double(answer.Bytes) : answer.Bytes)) return false;
    return !(answer.Drop && settings_.TcpPort);
  }

  bool WriteAll(int fd, std::string_view bytes) {
    if (sendPacer_.Paced()) return sendPacer_.Send(bytes, [fd](std::string_view byte) { return WriteNow(fd, byte); });
    return WriteNow(fd, bytes);
  }

  static bool WriteNow(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd, bytes.data(), bytes.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
  }

  TLineDevice& emulator_;
  // What one read takes from the line; a frame is neither cleared nor copied.
  std::array<char, ReadChunk> readBuffer_{};
  THayesModem* modem_ = nullptr;
  TLineSettings settings_;
  TLinePacer sendPacer_;
  TLinePacer receivePacer_;
  FileDescriptor listener_;
  FileDescriptor master_;
  int port_ = 0;
  std::string linkMade_;
};

TSimServer::TSimServer(TLineDevice& emulator, TLineSettings settings)
    : line_(std::make_unique<Line>(emulator, std::move(settings))) {}

TSimServer::~TSimServer() = default;

std::string TSimServer::Open() { return line_->Open(); }

void AnnounceListening(const std::string& where) { std::cout << "mervsim listening on " << where << std::endl; }

void TSimServer::UseModem(THayesModem& modem) { line_->UseModem(modem); }

void TSimServer::Serve() { line_->Serve(); }
