#pragma once
// TPort: the one byte channel to a register, the chip-card reader or a modem.
// It is a COM line through the serial layer (TComLayer), or, when the
// settings say UseTcp and the port serves line slot 1, a TCP connection
// through a client socket and a socket stream over it.
//
// Ownership: the port borrows its settings (the caller keeps them alive while
// the port is used, and hands a long-lived port new settings with
// SetSettings) and the COM layer; it owns its socket and stream. Destroying
// the port closes it.
//
// Data operations return a result code (PortResult); failures of the serial
// layer or the socket throw std::runtime_error with the step and its code
// ("sio_read: -1", "SocketRead: ..."). Every step goes to the communication log.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transport/com_layer.h"
#include "transport/nastaveni.h"
#include "transport/socket_stream.h"
#include "transport/tcp_socket.h"

/// Milliseconds of quiet on the line before every write, process-wide; 0 at
/// start. Time since the port last read or wrote counts towards it.
extern std::int32_t WritePause;

namespace PortResult {
inline constexpr int Done = 0;
/// TCP: fewer bytes than asked for came before the time-out.
inline constexpr int ShortRead = 1;
/// COM: nothing at all came before the time-out, or the write timed out.
inline constexpr int NoAnswer = 2;
/// SendCommand: the echo of the command differed from the command.
inline constexpr int EchoDiffers = 3;
}  // namespace PortResult

/// The line slot that may connect over TCP/IP, and the modem's slot.
inline constexpr int TcpSlot = 1;
inline constexpr int ModemSlot = 3;

class TPort {
public:
  /// A closed port over the system's COM layer and sockets.
  TPort();
  /// A closed port over the given COM layer (borrowed) and socket maker.
  explicit TPort(TComLayer& comLayer, ClientSocketFactory makeSocket = CreateClientSocket);
  ~TPort();
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;

  /// Opens line slot `slot` (1..4) of `settings`; `flowMode` -1 takes the
  /// slot's default (hardware handshake, on slot 2 only with FlowSlot2).
  /// A TCP connect that ends without a connection leaves the port closed.
  void Open(const TNastaveni& settings, std::uint8_t slot, int flowMode = -1);
  void Close();

  int Write(std::string_view data);
  /// Write, then Read of `count` bytes into `answer` with extra reads allowed.
  /// A write that timed out is returned without reading.
  int WriteRead(std::string_view data, std::string& answer, int count, int timeoutMs = -1);
  /// Reads `count` bytes into `answer`. `timeoutMs` < 0: the slot's time-out
  /// (COM) or the stream's (TCP, also for 0). Extra reads happen only on slot 3.
  int Read(std::string& answer, int count, bool allowExtraReads, int timeoutMs = -1);
  /// The AT-command exchange: write, read the echo, collect the printable
  /// bytes of the answer. Returns 0 also when no answer came, but NoAnswer
  /// when bytes were still coming at `timeoutMs` after the echo: the answer
  /// never ended. Does nothing in TCP mode. `pumpMessages` is accepted for callers' sake: there is no
  /// message queue to pump.
  int SendCommand(std::string_view command, int timeoutMs, bool pumpMessages, bool checkEcho,
                  std::string& answer);
  /// Discards both directions of the COM driver's buffers; nothing in TCP mode.
  void Flush();
  /// Keeps the line quiet for `ms` milliseconds (on the COM layer's clock).
  void Pause(int ms);
  /// The time on the COM layer's clock, which the port's own waits go by.
  std::chrono::steady_clock::time_point Now() const { return comLayer_.Now(); }

  bool Opened() const { return opened_; }
  std::uint8_t Slot() const { return slot_; }
  const TNastaveni* Settings() const { return settings_; }
  /// Points an open port at the settings of a later command.
  void SetSettings(const TNastaveni& settings) { settings_ = &settings; }

private:
  bool TcpMode() const;
  bool DoublesFf() const;
  int ComPortNumber() const;
  std::int32_t SlotTimeout() const;

  void OpenTcp();
  void ConnectSocket();
  void OpenCom(int flowMode);
  int DefaultFlowMode() const;
  void CloseTcp();
  bool CloseSocketOnce();

  int WriteTcp(std::string_view data);
  int WriteCom(std::string_view data);
  int ReadTcp(std::string& answer, int count, int timeoutMs);
  int ReadCom(std::string& answer, int count, bool allowExtraReads, int timeoutMs);
  /// One sio_read of up to `count` bytes, logged; appended to `answer`.
  int ReadComOnce(std::string& answer, int count);
  /// Reads single bytes (200 ms each) until one comes, then until one does not
  /// come; the printable ones go to `answer`. The whole collection ends
  /// `timeoutMs` (at least one single-byte wait) after it began, even while
  /// bytes keep coming, and a stop
  /// request ends it too. False when it was cut while bytes still came.
  bool CollectAnswer(std::string& answer, int timeoutMs);

  void PauseBeforeWrite() const;

  TComLayer& comLayer_;
  ClientSocketFactory makeSocket_;
  const TNastaveni* settings_ = nullptr;
  std::uint8_t slot_ = 0;
  bool opened_ = false;
  int openComPort_ = 0;  // the COM line this port opened, 0 when none
  std::unique_ptr<TClientSocket> socket_;
  std::unique_ptr<TSocketStream> stream_;
  /// When bytes last went over the line: the end of the last write, the
  /// arrival of the bytes a read took (TCP: when they reached the socket; COM:
  /// when the read took them), or the creation of the port.
  std::chrono::steady_clock::time_point lineActivity_ = std::chrono::steady_clock::now();
};
