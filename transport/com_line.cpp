#include "transport/com_line.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

#include "base/communication_log.h"

namespace {

constexpr int ExtraReadCount = 5;

[[noreturn]] void RaiseStepFailure(std::string_view step, int code) {
  throw std::runtime_error(std::string(step) + ": " + std::to_string(code));
}

/// A non-zero result of an open step is logged with "ERROR " and raised.
void CheckOpenStep(std::string_view step, int result) {
  if (result == ComResult::Ok) return;
  LogLine("ERROR " + std::string(step) + ": " + std::to_string(result));
  RaiseStepFailure(step, result);
}

int CheckedLength(std::size_t size, const char* what) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error(std::string(what) + " of more than 2 GiB");
  return static_cast<int>(size);
}

}  // namespace

TComLine::TComLine(TComLayer& comLayer, const TNastaveni* const& settings, std::uint8_t slot)
    : comLayer_(comLayer), settings_(settings), slot_(slot) {}

std::int32_t TComLine::SlotTimeout() const { return settings_ != nullptr ? settings_->Timeout[slot_] : 0; }

void TComLine::Open(int flowMode) {
  const std::int32_t speed = settings_->BaudRate[slot_];
  const int baudCode = BaudCodeOf(speed);
  if (baudCode < 0) throw std::runtime_error("Unknown baud rate.");
  LogLine("rychlost " + std::to_string(speed) + " = " + std::to_string(baudCode));

  const int port = settings_->ComPort[slot_];
  LogLine("sio_open: " + std::to_string(port));
  CheckOpenStep("sio_open", comLayer_.sio_open(port));
  opened_ = true;
  port_ = port;

  const int lineMode = settings_->LineMode(slot_);
  LogLine("sio_ioctl: " + std::to_string(baudCode) + " " + std::to_string(lineMode));
  CheckOpenStep("sio_ioctl", comLayer_.sio_ioctl(port, baudCode, lineMode));

  const int flow = flowMode != -1 ? flowMode : DefaultFlowMode();
  LogLine("sio_flowctrl " + std::to_string(flow));
  CheckOpenStep("sio_flowctrl", comLayer_.sio_flowctrl(port, flow));
}

int TComLine::DefaultFlowMode() const {
  if (slot_ == 2 && !settings_->FlowSlot2) return ComFlow::None;
  return ComFlow::Hardware;
}

void TComLine::Close() {
  opened_ = false;
  if (port_ == 0) return;
  // A line that refuses to close is of no further use either way.
  static_cast<void>(comLayer_.sio_close(port_));
  port_ = 0;
}

LineResult TComLine::Write(std::string_view wire) {
  const int length = CheckedLength(wire.size(), "write");
  const int timeouts = comLayer_.sio_SetWriteTimeouts(port_, SlotTimeout());
  if (timeouts != ComResult::Ok) RaiseStepFailure("sio_SetWriteTimeouts", timeouts);
  const int written = comLayer_.sio_write(port_, wire.data(), length);
  if (written == ComResult::WriteTimeout) return LineResult::NoAnswer;
  if (written < 0) RaiseStepFailure("sio_write", written);
  return LineResult::Done;
}

std::int32_t TComLine::ReadTotal(LineWait wait) const {
  // A negative wait, like none, takes the slot's time-out.
  const bool given = wait && *wait >= std::chrono::milliseconds(0);
  return given ? static_cast<std::int32_t>(wait->count()) : SlotTimeout();
}

void TComLine::SetReadTimeouts(std::int32_t totalMs) {
  const int timeouts = comLayer_.sio_SetReadTimeouts(port_, totalMs, 0);
  if (timeouts != ComResult::Ok) RaiseStepFailure("sio_SetReadTimeouts", timeouts);
}

LineResult TComLine::Read(std::string& answer, std::size_t count, bool allowExtraReads, LineWait wait) {
  SetReadTimeouts(ReadTotal(wait));
  LogLine("cteni " + std::to_string(count) + " bytu");
  const int first = ReadOnce(answer, count, true);
  // A modem line may deliver a frame in pieces: ask again for what is missing.
  if (first > 0 && static_cast<std::size_t>(first) < count && slot_ == ModemSlot && allowExtraReads) {
    for (int extra = 1; extra <= ExtraReadCount && answer.size() < count; ++extra) {
      const std::size_t missing = count - answer.size();
      LogLine(std::to_string(extra) + ". dodatecne cteni " + std::to_string(missing) + " bytu");
      ReadOnce(answer, missing, true);
    }
    LogLine("celk.nact. " + std::to_string(answer.size()) + " bytu: ", answer);
  }
  return answer.empty() ? LineResult::NoAnswer : LineResult::Done;
}

ReadDeadline TComLine::DeadlineOf(LineWait wait) const {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ReadTotal(wait), 0));
}

std::size_t TComLine::Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) {
  SetReadTimeouts(MillisecondsLeft(deadline));
  const int got = ReadOnce(bytes, count, false);
  return static_cast<std::size_t>(std::max(got, 0));
}

int TComLine::ReadOnce(std::string& answer, std::size_t count, bool logged) {
  const int wanted = CheckedLength(count, "read");
  std::string piece(count, '\0');
  const int got = comLayer_.sio_read(port_, piece.data(), wanted);
  if (got < 0) RaiseStepFailure("sio_read", got);
  piece.resize(static_cast<std::size_t>(std::min(got, wanted)));
  lastRead_ = std::chrono::steady_clock::now();
  if (logged) LogLine("nacteno    " + std::to_string(got) + " bytu: ", piece);
  answer += piece;
  return got;
}

void TComLine::Flush() {
  const int result = comLayer_.sio_flush(port_, ComFlush::Both);
  if (result != ComResult::Ok) RaiseStepFailure("sio_flush", result);
}
