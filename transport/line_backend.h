#pragma once
// TLineBackend: the medium under a line (TPort): a COM line through the
// serial layer (TComLine) or a TCP connection (TTcpLine), chosen once when
// the line opens; TFfDoublingLine wraps either when the bytes travel with
// FFh doubled. The line keeps what every medium shares: the log of what is
// written, the pause before each write and the modem's AT exchange.
//
// Failures of the medium throw std::runtime_error with the step and its code
// ("sio_read: -1", "SocketRead: ..."); the results below are what a caller
// decides on.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

/// The line slot that may connect over TCP/IP, and the modem's slot.
inline constexpr int TcpSlot = 1;
inline constexpr int ModemSlot = 3;

/// What a write or a read of a line came to.
enum class LineResult {
  Done,
  /// TCP: fewer bytes than asked for came before the time-out.
  ShortRead,
  /// COM: nothing at all came before the time-out, or the write timed out.
  NoAnswer,
  /// SendCommand: the echo of the command differed from the command.
  EchoDiffers,
};

/// How long a read waits: none given takes the line's own time-out (the
/// slot's on a COM line, the stream's on a TCP line, which also takes it for
/// a wait of 0).
using LineWait = std::optional<std::chrono::milliseconds>;

/// The moment by which a read has ended, however its bytes come in pieces.
using ReadDeadline = std::chrono::steady_clock::time_point;

/// What is left until `deadline` in whole milliseconds (rounded up), 0 once
/// it has passed.
int MillisecondsLeft(ReadDeadline deadline);

class TLineBackend {
public:
  virtual ~TLineBackend() = default;

  /// The medium is open (a COM line opened, a TCP connection made).
  virtual bool Opened() const = 0;
  /// Closes the medium; a closed medium fails every further transfer.
  virtual void Close() = 0;

  /// Puts the bytes on the line as they are.
  virtual LineResult Write(std::string_view wire) = 0;
  /// Reads `count` bytes into the empty `answer` the way the medium reads a
  /// frame, logging the read. Extra reads happen only on a COM line of the
  /// modem slot, and only when allowed.
  virtual LineResult Read(std::string& answer, std::size_t count, bool allowExtraReads, LineWait wait) = 0;
  /// The deadline of a read that starts now with `wait`: the wait (or the
  /// medium's own time-out) from now, whatever the read's length, as a COM
  /// line's total read time-out counts.
  virtual ReadDeadline DeadlineOf(LineWait wait) const = 0;
  /// Up to `count` bytes appended to `bytes` before `deadline`, not logged;
  /// returns how many came. A wrapper that changes the bytes on their way
  /// reads through this, its reads of one frame sharing one deadline.
  virtual std::size_t Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) = 0;
  /// When bytes last came off the line; the epoch when none came yet.
  virtual std::chrono::steady_clock::time_point LastArrival() const = 0;

  /// Discards what the driver holds in both directions (a COM line).
  virtual void Flush() = 0;
  /// Whether a modem answers AT commands on this medium (a COM line).
  virtual bool TakesModemCommands() const = 0;

protected:
  /// A read of a whole frame through Receive, logged as a read of the line
  /// ("cteni N bytu", then what came): Done when all `count` bytes came.
  LineResult ReceiveLogged(std::string& answer, std::size_t count, LineWait wait);
};
