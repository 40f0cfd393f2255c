#include "transport/port.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "base/communication_log.h"
#include "base/precise_wait.h"
#include "base/stop_request.h"
#include "transport/com_line.h"
#include "transport/ff_doubling.h"
#include "transport/ff_doubling_line.h"
#include "transport/tcp_line.h"

namespace {

constexpr auto SingleByteWait = std::chrono::milliseconds(200);

// The one place that tells the two media apart: slot 1 of settings that say
// UseTcp is a TCP connection, every other slot a COM line.
bool TcpMode(const TNastaveni& settings, std::uint8_t slot) { return settings.UseTcp && slot == TcpSlot; }

std::size_t CheckedCount(int count) {
  if (count < 0) throw std::invalid_argument("read of " + std::to_string(count) + " bytes");
  return static_cast<std::size_t>(count);
}

}  // namespace

TPort::TPort(TLineOptions options) : TPort(SystemComLayer(), options) {}

TPort::TPort(TComLayer& comLayer, TLineOptions options, ClientSocketFactory makeSocket)
    : comLayer_(comLayer),
      makeSocket_(std::move(makeSocket)),
      options_(options),
      line_(std::make_unique<TComLine>(comLayer_, settings_, slot_)) {}

TPort::~TPort() {
  try {
    Close();
  } catch (const std::exception&) {
    // Only the log can fail here, and the log is where it would be reported.
    // The COM line is closed before anything is logged; the socket and the
    // stream are released with the members.
  }
}

// --- Open and close ---------------------------------------------------------

void TPort::Open(const TNastaveni& settings, std::uint8_t slot, int flowMode) {
  if (slot < 1 || slot > TNastaveni::SlotCount) {
    throw std::invalid_argument("line slot " + std::to_string(slot) + " does not exist");
  }
  LogLine("Otevreni portu " + std::to_string(slot));
  settings_ = &settings;
  slot_ = slot;
  if (TcpMode(settings, slot)) {
    OpenTcp();
  } else {
    OpenCom(flowMode);
  }
}

void TPort::OpenTcp() {
  LogLine("TCPIP: " + settings_->IpAddress + " (" + NormalizeIpAddress(settings_->IpAddress) + ") " +
          std::to_string(settings_->IpPort));
  Close();
  auto tcp = std::make_unique<TTcpLine>(*settings_, makeSocket_);
  TTcpLine& connection = *tcp;
  if (TFfDoubling::AppliesTo(settings_->IpPort)) {
    line_ = std::make_unique<TFfDoublingLine>(std::move(tcp));
  } else {
    line_ = std::move(tcp);
  }
  try {
    connection.Connect();
  } catch (const std::exception& failure) {
    const std::string message = std::string("Open TCPIP: ") + failure.what();
    LogLine(message);
    throw std::runtime_error(message);
  }
}

void TPort::OpenCom(int flowMode) {
  auto com = std::make_unique<TComLine>(comLayer_, settings_, slot_);
  TComLine& line = *com;
  line_ = std::move(com);
  line.Open(flowMode);
}

void TPort::Close() { line_->Close(); }

// --- Writing ----------------------------------------------------------------

LineResult TPort::Write(std::string_view data) {
  LogLine("write: ", data);
  PauseBeforeWrite();
  const LineResult result = line_->Write(data);
  lineActivity_ = std::chrono::steady_clock::now();
  // The frame has woken whoever answers it. A process on this machine (the
  // emulator) tends to be queued on this processor, where it would wait for
  // the module's log lines of the frame before it could answer; yielding once
  // lets it answer first. The pause counts from the moment taken above.
  std::this_thread::yield();
  return result;
}

// The register needs the write pause of quiet on the line before each frame.
// The time the module spent since the line was last used (decoding, logging)
// counts towards it, so the pause is not paid twice.
void TPort::PauseBeforeWrite() const {
  WaitUntilPrecisely(lineActivity_ + std::max(options_.WritePause, std::chrono::milliseconds(0)));
}

LineResult TPort::WriteRead(std::string_view data, std::string& answer, int count, LineWait wait) {
  const LineResult written = Write(data);
  if (written != LineResult::Done) {
    answer.clear();
    return written;
  }
  return Read(answer, count, true, wait);
}

// --- Reading ----------------------------------------------------------------

LineResult TPort::Read(std::string& answer, int count, bool allowExtraReads, LineWait wait) {
  const std::size_t wanted = CheckedCount(count);
  answer.clear();
  const LineResult result = line_->Read(answer, wanted, allowExtraReads, wait);
  lineActivity_ = std::max(lineActivity_, line_->LastArrival());
  return result;
}

// --- Modem commands and flushing -------------------------------------------

LineResult TPort::SendCommand(std::string_view command, std::chrono::milliseconds timeout,
                              [[maybe_unused]] bool pumpMessages, bool checkEcho, std::string& answer) {
  if (!line_->TakesModemCommands()) return LineResult::Done;
  answer.clear();
  LineResult result = Write(command);
  if (result != LineResult::Done) return result;
  std::string echo;
  // A negative time-out leaves the echo to the slot's own.
  const LineWait echoWait = timeout >= std::chrono::milliseconds(0) ? LineWait(timeout) : std::nullopt;
  result = line_->Read(echo, command.size(), false, echoWait);
  lineActivity_ = std::max(lineActivity_, line_->LastArrival());
  if (result != LineResult::Done) return result;
  if (checkEcho) {
    if (echo != command) return LineResult::EchoDiffers;
  } else {
    answer = echo;
  }
  return CollectAnswer(answer, timeout) ? LineResult::Done : LineResult::NoAnswer;
}

bool TPort::CollectAnswer(std::string& answer, std::chrono::milliseconds timeout) {
  // At least one single-byte wait, as a call with no time-out of its own
  // still takes an answer that is already there.
  const auto deadline = comLayer_.Now() + std::max(timeout, SingleByteWait);
  const auto left = [this, &deadline] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - comLayer_.Now());
  };
  std::string byte;
  bool answering = false;
  for (;;) {
    ThrowIfStopRequested();
    const auto wait = std::min(SingleByteWait, left());
    if (wait <= std::chrono::milliseconds(0)) return !answering;
    const bool came = Read(byte, 1, false, wait) == LineResult::Done;
    if (came) {
      answering = true;
      if (static_cast<unsigned char>(byte[0]) >= 0x20) answer += byte[0];
    } else if (answering) {
      return true;
    }
  }
}

void TPort::Pause(std::chrono::milliseconds duration) { comLayer_.Pause(static_cast<int>(duration.count())); }

void TPort::Flush() { line_->Flush(); }
