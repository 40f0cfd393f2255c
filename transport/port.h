#pragma once
// TPort: the one byte channel to a register, the chip-card reader or a modem.
// Opening it chooses its medium once (TLineBackend): a COM line through the
// serial layer (TComLine), or, when the settings say UseTcp and the port
// serves line slot 1, a TCP connection (TTcpLine), with FFh doubled
// (TFfDoublingLine) on the register adapter's ports. What every medium
// shares stays here: the log of what is written, the pause before each
// write and the modem's AT exchange.
//
// Ownership: the port borrows its settings (the caller keeps them alive while
// the port is used, and hands a long-lived port new settings with
// SetSettings) and the COM layer; it owns its medium. Destroying the port
// closes it.
//
// Data operations return a LineResult; failures of the serial layer or the
// socket throw std::runtime_error with the step and its code ("sio_read: -1",
// "SocketRead: ..."). Every step goes to the communication log.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transport/com_layer.h"
#include "transport/line_backend.h"
#include "transport/nastaveni.h"
#include "transport/tcp_socket.h"

/// What whoever opens a line gives it for the run of a command.
struct TLineOptions {
  /// Quiet on the line before every write. Time since the port last read
  /// or wrote counts towards it.
  std::chrono::milliseconds WritePause{0};
};

class TPort {
public:
  /// A closed port over the system's COM layer and sockets.
  explicit TPort(TLineOptions options = {});
  /// A closed port over the given COM layer (borrowed) and socket maker.
  explicit TPort(TComLayer& comLayer, TLineOptions options = {}, ClientSocketFactory makeSocket = CreateClientSocket);
  ~TPort();
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;

  /// Opens line slot `slot` (1..4) of `settings`; `flowMode` -1 takes the
  /// slot's default (hardware handshake, on slot 2 only with FlowSlot2).
  /// A TCP connect that ends without a connection leaves the port closed.
  void Open(const TNastaveni& settings, std::uint8_t slot, int flowMode = -1);
  void Close();

  LineResult Write(std::string_view data);
  /// Write, then Read of `count` bytes into `answer` with extra reads allowed.
  /// A write that timed out is returned without reading.
  LineResult WriteRead(std::string_view data, std::string& answer, int count, LineWait wait = {});
  /// Reads `count` bytes into `answer`. No `wait`: the slot's time-out (COM)
  /// or the stream's (TCP, also for 0). Extra reads happen only on slot 3.
  LineResult Read(std::string& answer, int count, bool allowExtraReads, LineWait wait = {});
  /// The AT-command exchange: write, read the echo, collect the printable
  /// bytes of the answer. Returns Done also when no answer came, but NoAnswer
  /// when bytes were still coming at `timeout` after the echo: the answer
  /// never ended. Does nothing on a TCP line. `pumpMessages` is accepted for
  /// callers' sake: there is no message queue to pump.
  LineResult SendCommand(std::string_view command, std::chrono::milliseconds timeout, bool pumpMessages, bool checkEcho,
                         std::string& answer);
  /// Discards both directions of the COM driver's buffers; nothing on a TCP line.
  void Flush();
  /// Keeps the line quiet for `duration` (on the COM layer's clock).
  void Pause(std::chrono::milliseconds duration);
  /// The time on the COM layer's clock, which the port's own waits go by.
  std::chrono::steady_clock::time_point Now() const { return comLayer_.Now(); }

  bool Opened() const { return line_->Opened(); }
  std::uint8_t Slot() const { return slot_; }
  const TNastaveni* Settings() const { return settings_; }
  /// Points an open port at the settings of a later command.
  void SetSettings(const TNastaveni& settings) { settings_ = &settings; }

private:
  void OpenTcp();
  void OpenCom(int flowMode);
  /// Reads single bytes (200 ms each) until one comes, then until one does not
  /// come; the printable ones go to `answer`. The whole collection ends
  /// `timeout` (at least one single-byte wait) after it began, even while
  /// bytes keep coming, and a stop request ends it too. False when it was
  /// cut while bytes still came.
  bool CollectAnswer(std::string& answer, std::chrono::milliseconds timeout);

  void PauseBeforeWrite() const;

  TComLayer& comLayer_;
  ClientSocketFactory makeSocket_;
  TLineOptions options_;
  const TNastaveni* settings_ = nullptr;
  std::uint8_t slot_ = 0;
  /// The medium; before the first Open, a COM medium of no port, which
  /// fails what is asked of it as a closed COM line does.
  std::unique_ptr<TLineBackend> line_;
  /// When bytes last went over the line: the end of the last write, the
  /// arrival of the bytes a read took (TCP: when they reached the socket; COM:
  /// when the read took them), or the creation of the port.
  std::chrono::steady_clock::time_point lineActivity_ = std::chrono::steady_clock::now();
};
