#include "transport/port.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <stdexcept>
#include <thread>

#include "base/communication_log.h"
#include "base/precise_wait.h"
#include "base/stop_request.h"
#include "transport/ff_doubling.h"

std::int32_t WritePause = 0;

namespace {

constexpr int ExtraReadCount = 5;
constexpr int SocketCloseAttempts = 4;
constexpr int SingleByteWaitMs = 200;
constexpr char NotConnectedText[] = "Socket error: not connected";

[[noreturn]] void RaiseStepFailure(std::string_view step, int code) {
  throw std::runtime_error(std::string(step) + ": " + std::to_string(code));
}

[[noreturn]] void RaiseWith(std::string_view prefix, std::string_view message) {
  throw std::runtime_error(std::string(prefix) + std::string(message));
}

/// A non-zero result of an open step is logged with "ERROR " and raised.
void CheckOpenStep(std::string_view step, int result) {
  if (result == ComResult::Ok) return;
  LogLine("ERROR " + std::string(step) + ": " + std::to_string(result));
  RaiseStepFailure(step, result);
}

int CheckedLength(std::string_view data) {
  if (data.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("write of more than 2 GiB");
  return static_cast<int>(data.size());
}

/// Gives the stream another wait time-out for one call, restoring the old
/// one however the call ends. Time-outs of 0 or less keep the stream's own.
class StreamTimeOutOverride {
public:
  StreamTimeOutOverride(TSocketStream& stream, int timeoutMs) : stream_(stream), saved_(stream.TimeOut()) {
    if (timeoutMs > 0) stream_.SetTimeOut(timeoutMs);
  }
  ~StreamTimeOutOverride() { stream_.SetTimeOut(saved_); }
  StreamTimeOutOverride(const StreamTimeOutOverride&) = delete;
  StreamTimeOutOverride& operator=(const StreamTimeOutOverride&) = delete;

private:
  TSocketStream& stream_;
  int saved_;
};

TSocketEvents LoggingSocketEvents() {
  TSocketEvents events;
  events.OnLookup = [] { LogLine("TCPIP Lookup"); };
  events.OnConnecting = [] { LogLine("TCPIP Connecting"); };
  events.OnConnect = [] { LogLine("TCPIP Connect"); };
  events.OnDisconnect = [] { LogLine("TCPIP Disconnect"); };
  events.OnError = [](int code) { LogLine("TCPIP Error:" + std::to_string(code)); };
  return events;
}

}  // namespace

TPort::TPort() : TPort(SystemComLayer()) {}

TPort::TPort(TComLayer& comLayer, ClientSocketFactory makeSocket)
    : comLayer_(comLayer), makeSocket_(std::move(makeSocket)) {}

TPort::~TPort() {
  try {
    Close();
  } catch (const std::exception&) {
    // Only the log can fail here, and the log is where it would be reported.
    // The COM line is closed before anything is logged; the socket and the
    // stream are released with the members.
  }
}

bool TPort::TcpMode() const { return settings_ != nullptr && settings_->UseTcp && slot_ == TcpSlot; }

bool TPort::DoublesFf() const {
  return settings_ != nullptr && TFfDoubling::AppliesTo(settings_->IpPort);
}

int TPort::ComPortNumber() const { return openComPort_; }

std::int32_t TPort::SlotTimeout() const { return settings_ != nullptr ? settings_->Timeout[slot_] : 0; }

// --- Open and close ---------------------------------------------------------

void TPort::Open(const TNastaveni& settings, std::uint8_t slot, int flowMode) {
  if (slot < 1 || slot > TNastaveni::SlotCount) {
    throw std::invalid_argument("line slot " + std::to_string(slot) + " does not exist");
  }
  LogLine("Otevreni portu " + std::to_string(slot));
  settings_ = &settings;
  slot_ = slot;
  if (TcpMode()) {
    OpenTcp();
  } else {
    OpenCom(flowMode);
  }
}

void TPort::OpenTcp() {
  LogLine("TCPIP: " + settings_->IpAddress + " (" + NormalizeIpAddress(settings_->IpAddress) + ") " +
          std::to_string(settings_->IpPort));
  Close();
  try {
    ConnectSocket();
  } catch (const std::exception& failure) {
    const std::string message = std::string("Open TCPIP: ") + failure.what();
    LogLine(message);
    throw std::runtime_error(message);
  }
}

void TPort::ConnectSocket() {
  socket_ = makeSocket_();
  socket_->SetEvents(LoggingSocketEvents());
  LogLine("Set Address");
  socket_->SetAddress(NormalizeIpAddress(settings_->IpAddress));
  LogLine("Set Port");
  socket_->SetPort(settings_->IpPort);
  LogLine("Set Blocking");  // the socket always blocks, with time-outs
  LogLine("Set Active");
  socket_->Connect(settings_->Timeout[TcpSlot]);
  LogLine("Test Active");
  if (!socket_->Active()) return;
  LogLine("Create SocketStream");
  stream_ = std::make_unique<TSocketStream>(*socket_, settings_->Timeout[TcpSlot]);
  LogLine("Created SocketStream");
  opened_ = true;
}

void TPort::OpenCom(int flowMode) {
  const std::int32_t speed = settings_->BaudRate[slot_];
  const int baudCode = BaudCodeOf(speed);
  if (baudCode < 0) throw std::runtime_error("Unknown baud rate.");
  LogLine("rychlost " + std::to_string(speed) + " = " + std::to_string(baudCode));

  const int port = settings_->ComPort[slot_];
  LogLine("sio_open: " + std::to_string(port));
  CheckOpenStep("sio_open", comLayer_.sio_open(port));
  opened_ = true;
  openComPort_ = port;

  const int lineMode = settings_->LineMode(slot_);
  LogLine("sio_ioctl: " + std::to_string(baudCode) + " " + std::to_string(lineMode));
  CheckOpenStep("sio_ioctl", comLayer_.sio_ioctl(port, baudCode, lineMode));

  const int flow = flowMode != -1 ? flowMode : DefaultFlowMode();
  LogLine("sio_flowctrl " + std::to_string(flow));
  CheckOpenStep("sio_flowctrl", comLayer_.sio_flowctrl(port, flow));
}

int TPort::DefaultFlowMode() const {
  if (slot_ == 2 && !settings_->FlowSlot2) return ComFlow::None;
  return ComFlow::Hardware;
}

void TPort::Close() {
  if (openComPort_ != 0) {
    // A line that refuses to close is of no further use either way.
    static_cast<void>(comLayer_.sio_close(openComPort_));
    openComPort_ = 0;
  }
  if (stream_ || socket_) CloseTcp();
  opened_ = false;
}

void TPort::CloseTcp() {
  const int delay = settings_ != nullptr ? settings_->TcpCloseDelay : 0;
  if (stream_) {
    LogLine("TCPIP closing - delay " + std::to_string(delay) + " ms", {}, delay);
    LogLine("SocketStream free");
    stream_.reset();
  }
  if (socket_) {
    for (int attempt = 0; attempt < SocketCloseAttempts; ++attempt) {
      if (CloseSocketOnce()) break;
    }
    LogLine("ClientSocket free");
    socket_.reset();
    LogLine("TCPIP closed - delay " + std::to_string(delay) + " ms", {}, delay);
  }
}

bool TPort::CloseSocketOnce() {
  try {
    LogLine("ClientSocket Close");
    socket_->Close();
    const bool closed = !socket_->Active();
    LogLine(closed ? "ClientSocket closed" : "ClientSocket active");
    return closed;
  } catch (const std::exception& failure) {
    LogLine(std::string("ClientSocket closing error: ") + failure.what());
    return false;
  }
}

// --- Writing ----------------------------------------------------------------

int TPort::Write(std::string_view data) {
  LogLine("write: ", data);
  PauseBeforeWrite();
  const int result = TcpMode() ? WriteTcp(data) : WriteCom(data);
  lineActivity_ = std::chrono::steady_clock::now();
  // The frame has woken whoever answers it. A process on this machine (the
  // emulator) tends to be queued on this processor, where it would wait for
  // the module's log lines of the frame before it could answer; yielding once
  // lets it answer first. The pause counts from the moment taken above.
  std::this_thread::yield();
  return result;
}

// The register needs WritePause of quiet on the line before each frame. The
// time the module spent since the line was last used (decoding, logging)
// counts towards it, so the pause is not paid twice.
void TPort::PauseBeforeWrite() const {
  WaitUntilPrecisely(lineActivity_ + std::chrono::milliseconds(std::max(WritePause, 0)));
}

int TPort::WriteTcp(std::string_view data) {
  if (!stream_) RaiseWith("SocketWrite: ", NotConnectedText);
  const std::string wire = DoublesFf() ? TFfDoubling::Double(data) : std::string(data);
  try {
    stream_->Write(wire);
  } catch (const std::exception& failure) {
    RaiseWith("SocketWrite: ", failure.what());
  }
  return PortResult::Done;
}

int TPort::WriteCom(std::string_view data) {
  const int length = CheckedLength(data);
  const int timeouts = comLayer_.sio_SetWriteTimeouts(ComPortNumber(), SlotTimeout());
  if (timeouts != ComResult::Ok) RaiseStepFailure("sio_SetWriteTimeouts", timeouts);
  const int written = comLayer_.sio_write(ComPortNumber(), data.data(), length);
  if (written == ComResult::WriteTimeout) return PortResult::NoAnswer;
  if (written < 0) RaiseStepFailure("sio_write", written);
  return PortResult::Done;
}

int TPort::WriteRead(std::string_view data, std::string& answer, int count, int timeoutMs) {
  const int written = Write(data);
  if (written != PortResult::Done) {
    answer.clear();
    return written;
  }
  return Read(answer, count, true, timeoutMs);
}

// --- Reading ----------------------------------------------------------------

int TPort::Read(std::string& answer, int count, bool allowExtraReads, int timeoutMs) {
  if (count < 0) throw std::invalid_argument("read of " + std::to_string(count) + " bytes");
  answer.clear();
  return TcpMode() ? ReadTcp(answer, count, timeoutMs) : ReadCom(answer, count, allowExtraReads, timeoutMs);
}

int TPort::ReadTcp(std::string& answer, int count, int timeoutMs) {
  if (!stream_) RaiseWith("SocketRead: ", NotConnectedText);
  const StreamTimeOutOverride waitForThisCall(*stream_, timeoutMs);
  LogLine("cteni " + std::to_string(count) + " bytu");
  const bool undouble = DoublesFf();
  const auto wanted = static_cast<std::size_t>(count);
  bool discardNext = false;  // the peer doubles FFh: the copy follows
  try {
    while (answer.size() < wanted || discardNext) {
      char byte = 0;
      if (stream_->Read(&byte, 1) == 0) break;
      if (discardNext) {
        discardNext = false;
        continue;
      }
      answer += byte;
      discardNext = undouble && byte == TFfDoubling::Ff;
    }
  } catch (const std::exception& failure) {
    RaiseWith("SocketRead: ", failure.what());
  }
  // The bytes crossed the line when they reached the socket, not when they
  // are handed out; counting the pause from then keeps the logging before and
  // between the reads of one frame off the time the register waits.
  if (!answer.empty()) lineActivity_ = std::max(lineActivity_, stream_->LastReceived());
  LogLine("nacteno    " + std::to_string(answer.size()) + " bytu: ", answer);
  return answer.size() == wanted ? PortResult::Done : PortResult::ShortRead;
}

int TPort::ReadCom(std::string& answer, int count, bool allowExtraReads, int timeoutMs) {
  const std::int32_t total = timeoutMs >= 0 ? timeoutMs : SlotTimeout();
  const int timeouts = comLayer_.sio_SetReadTimeouts(ComPortNumber(), total, 0);
  if (timeouts != ComResult::Ok) RaiseStepFailure("sio_SetReadTimeouts", timeouts);

  LogLine("cteni " + std::to_string(count) + " bytu");
  const int first = ReadComOnce(answer, count);
  // A modem line may deliver a frame in pieces: ask again for what is missing.
  if (first > 0 && first < count && slot_ == ModemSlot && allowExtraReads) {
    for (int extra = 1; extra <= ExtraReadCount && static_cast<int>(answer.size()) < count; ++extra) {
      const int missing = count - static_cast<int>(answer.size());
      LogLine(std::to_string(extra) + ". dodatecne cteni " + std::to_string(missing) + " bytu");
      ReadComOnce(answer, missing);
    }
    LogLine("celk.nact. " + std::to_string(answer.size()) + " bytu: ", answer);
  }
  return answer.empty() ? PortResult::NoAnswer : PortResult::Done;
}

int TPort::ReadComOnce(std::string& answer, int count) {
  std::string piece(static_cast<std::size_t>(count), '\0');
  const int got = comLayer_.sio_read(ComPortNumber(), piece.data(), count);
  if (got < 0) RaiseStepFailure("sio_read", got);
  piece.resize(static_cast<std::size_t>(std::min(got, count)));
  lineActivity_ = std::chrono::steady_clock::now();
  LogLine("nacteno    " + std::to_string(got) + " bytu: ", piece);
  answer += piece;
  return got;
}

// --- Modem commands and flushing -------------------------------------------

int TPort::SendCommand(std::string_view command, int timeoutMs, [[maybe_unused]] bool pumpMessages,
                       bool checkEcho, std::string& answer) {
  if (TcpMode()) return PortResult::Done;
  answer.clear();
  int result = Write(command);
  if (result != PortResult::Done) return result;
  std::string echo;
  result = Read(echo, CheckedLength(command), false, timeoutMs);
  if (result != PortResult::Done) return result;
  if (checkEcho) {
    if (echo != command) return PortResult::EchoDiffers;
  } else {
    answer = echo;
  }
  return CollectAnswer(answer, timeoutMs) ? PortResult::Done : PortResult::NoAnswer;
}

bool TPort::CollectAnswer(std::string& answer, int timeoutMs) {
  // At least one single-byte wait, as a call with no time-out of its own
  // still takes an answer that is already there.
  const auto deadline = comLayer_.Now() + std::chrono::milliseconds(std::max(timeoutMs, SingleByteWaitMs));
  const auto left = [this, &deadline] {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - comLayer_.Now()).count());
  };
  std::string byte;
  bool answering = false;
  for (;;) {
    ThrowIfStopRequested();
    const int wait = std::min(SingleByteWaitMs, left());
    if (wait <= 0) return !answering;
    const bool came = Read(byte, 1, false, wait) == PortResult::Done;
    if (came) {
      answering = true;
      if (static_cast<unsigned char>(byte[0]) >= 0x20) answer += byte[0];
    } else if (answering) {
      return true;
    }
  }
}

void TPort::Pause(int ms) { comLayer_.Pause(ms); }

void TPort::Flush() {
  if (TcpMode()) return;
  const int result = comLayer_.sio_flush(ComPortNumber(), ComFlush::Both);
  if (result != ComResult::Ok) RaiseStepFailure("sio_flush", result);
}
