// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/register_emulator.h"

#include "base/code_page.h"
#include "model/check_bytes.h"
#include "model/table_numbers.h"
#include "protocol/link_protocol.h"
#include "tools/mervsim/register/stored_record_fault.h"

namespace {

constexpr std::size_t CommandLength = 5;
constexpr std::size_t ShortFrameLength = 4;
using LinkStatus::ServiceError, LinkStatus::TableFull;
using LinkTableCode::FirstReset, LinkTableCode::LastReset, LinkTableCode::PluReplace, LinkTableCode::PluNew,
    LinkTableCode::PluAdd;
constexpr std::uint8_t Accepted = LinkStatus::Ack;
constexpr std::uint8_t SendAgain = LinkStatus::Repeat;

struct TTarget {
  bool Known = false;
  bool IsReset = false;
  /// Table number, or reset index.
  int Number = 0;
  TUploadMode Mode = TUploadMode::Replace;
};

// A table code whose two half-bytes are decimal digits names the table of
// that number ("15h" is table 15).
TTarget TableOfBcd(std::uint8_t code) {
  const int high = code >> 4;
  const int low = code & 0x0F;
  if (high > 9 || low > 9) return {};
  return {true, false, high * 10 + low, TUploadMode::Replace};
}

TTarget ResolveTableCode(std::uint8_t code, bool upload) {
  if (code >= FirstReset && code <= LastReset) return {true, true, code - FirstReset, TUploadMode::Replace};
  if (upload && code == PluReplace) return {true, false, TableNumber::Plu, TUploadMode::Replace};
  if (upload && (code == PluNew || code == PluAdd)) return {true, false, TableNumber::Plu, TUploadMode::MergeByKey};
  return TableOfBcd(code);
}

std::string Frame(std::uint8_t first, std::uint8_t second) {
  std::string frame{static_cast<char>(first), static_cast<char>(second)};
  AddCheckBytes(frame);
  return frame;
}

std::string HexByte(std::uint8_t byte) { return TWireLog::Hex(std::string(1, static_cast<char>(byte))) + "h"; }

}  // namespace

TRegisterEmulator::TRegisterEmulator(TRegisterData& data, const TEmulatorSettings& settings, TFaultInjector& faults,
                                     TWireLog& log)
    : data_(data), settings_(settings), faults_(faults), log_(log) {}

void TRegisterEmulator::StartConnection(const std::string& peer) {
  state_ = State::Idle;
  buffer_.clear();
  frameNumber_ = 0;
  faults_.StartConnection();
  log_.Note(peer.empty() ? "connection opened" : "connection opened from " + peer);
}

TEmulatorAnswer TRegisterEmulator::Receive(std::string_view bytes) {
  answer_ = {};
  buffer_.append(bytes);
  while (!buffer_.empty() && Step()) {
  }
  return std::move(answer_);
}

void TRegisterEmulator::LineQuiet() {
  if (buffer_.empty() || state_ == State::Dead) return;
  log_.Received(buffer_);
  log_.Note("incomplete frame dropped after a pause on the line");
  buffer_.clear();
}

void TRegisterEmulator::EndConnection() {
  if (state_ == State::Uploading) log_.Note("connection closed during an upload; the records received are dropped");
  state_ = State::Idle;
  buffer_.clear();
  accepted_.clear();
  log_.Note("connection closed");
}

// ------------------------------------------------------------------ framing

bool TRegisterEmulator::Step() {
  switch (state_) {
    case State::Idle:
      return StepIdle();
    case State::Uploading:
      return StepUploading();
    case State::Downloading:
      return StepDownloading();
    case State::Dead:
      StepDead();
      return false;
  }
  return false;
}

bool TRegisterEmulator::StepIdle() {
  if (buffer_[0] == EndFrameStart) {
    if (buffer_.size() < ShortFrameLength) return false;
    if (!StartsWithEndFrame()) {
      DropGarbage("bytes that make no frame; ignored");
      return true;
    }
    Accept(Take(ShortFrameLength));
    return true;
  }
  if (buffer_.size() < CommandLength) return false;
  const std::string frame = Take(CommandLength);
  if (!Accept(frame)) return true;
  if (!IsCommandByte(static_cast<std::uint8_t>(frame[0])) || !VerifyCheckBytes(frame)) {
    log_.Note("not a command frame; no answer");
    return true;
  }
  Command(frame);
  return true;
}

bool TRegisterEmulator::StepUploading() {
  if (buffer_.size() < ShortFrameLength) return false;
  if (StartsWithEndFrame()) {
    if (Accept(Take(ShortFrameLength))) FinishUpload();
    return true;
  }
  bool complete = false;
  if (CommandAhead(complete)) {
    if (!complete) return false;
    log_.Note("a command frame ended the upload of table " + std::to_string(uploadTable_) +
              " before its end frame; the records received are dropped");
    accepted_.clear();
    state_ = State::Idle;
    return true;
  }
  if (buffer_.size() < static_cast<std::size_t>(recordLength_)) return false;
  const std::string record = Take(static_cast<std::size_t>(recordLength_));
  if (Accept(record)) UploadRecord(record);
  return true;
}

bool TRegisterEmulator::StepDownloading() {
  if (buffer_.size() < ShortFrameLength) return false;
  if (StartsWithEndFrame()) {
    if (Accept(Take(ShortFrameLength))) {
      log_.Note("the program ended table " + std::to_string(downloadTable_) + " after " + std::to_string(next_ + 1) +
                " records");
      state_ = State::Idle;
    }
    return true;
  }
  if (StartsWith(settings_.Drq, Accepted) || StartsWith(settings_.Drq, SendAgain)) {
    const std::string frame = Take(ShortFrameLength);
    if (!Accept(frame)) return true;
    if (!VerifyCheckBytes(frame)) {
      log_.Note("acknowledgement with wrong check bytes; no answer");
      return true;
    }
    if (static_cast<std::uint8_t>(frame[1]) == Accepted) ++next_;
    SendCurrentRecord();
    return true;
  }
  bool complete = false;
  if (CommandAhead(complete)) {
    if (!complete) return false;
    log_.Note("a command frame ended the download of table " + std::to_string(downloadTable_));
    state_ = State::Idle;
    return true;
  }
  DropGarbage("bytes that are no acknowledgement; ignored");
  return true;
}

void TRegisterEmulator::StepDead() {
  log_.Received(buffer_);
  log_.Note("not answered");
  buffer_.clear();
}

bool TRegisterEmulator::StartsWithEndFrame() const {
  return buffer_.size() >= ShortFrameLength && buffer_.compare(0, ShortFrameLength, EndFrame) == 0;
}

bool TRegisterEmulator::StartsWith(std::uint8_t first, std::uint8_t second) const {
  return buffer_.size() >= 2 && static_cast<std::uint8_t>(buffer_[0]) == first &&
         static_cast<std::uint8_t>(buffer_[1]) == second;
}

bool TRegisterEmulator::IsCommandByte(std::uint8_t byte) const {
  return byte == settings_.Enq || byte == settings_.Dtx || byte == settings_.Drq;
}

bool TRegisterEmulator::CommandAhead(bool& complete) const {
  complete = false;
  if (buffer_.empty() || !IsCommandByte(static_cast<std::uint8_t>(buffer_[0]))) return false;
  if (buffer_.size() < CommandLength) return true;
  complete = true;
  return VerifyCheckBytes(std::string_view(buffer_).substr(0, CommandLength));
}

std::string TRegisterEmulator::Take(std::size_t count) {
  std::string taken = buffer_.substr(0, count);
  buffer_.erase(0, count);
  return taken;
}

bool TRegisterEmulator::Accept(const std::string& frame) {
  ++frameNumber_;
  log_.Received(frame);
  if (!faults_.Silent(frameNumber_)) return true;
  log_.Note("silent from frame " + std::to_string(frameNumber_) + " on: no answer");
  state_ = State::Dead;
  return false;
}

void TRegisterEmulator::DropGarbage(std::string_view why) {
  log_.Received(buffer_);
  log_.Note(why);
  buffer_.clear();
}

// ----------------------------------------------------------------- commands

void TRegisterEmulator::Command(const std::string& frame) {
  const auto command = static_cast<std::uint8_t>(frame[0]);
  const auto tableCode = static_cast<std::uint8_t>(frame[2]);
  const TFrameKind kind = command == settings_.Enq   ? TFrameKind::Enq
                          : command == settings_.Dtx ? TFrameKind::Dtx
                                                     : TFrameKind::Drq;
  if (const auto status = faults_.StatusFor(kind, frameNumber_, 0)) {
    log_.Note("status " + HexByte(*status) + " instead of the reply");
    Reply(command, *status);
    return;
  }
  if (kind == TFrameKind::Enq) {
    Enquiry();
  } else if (kind == TFrameKind::Dtx) {
    TableUploadRequest(tableCode);
  } else {
    TableDownloadRequest(tableCode);
  }
}

void TRegisterEmulator::Enquiry() { Reply(settings_.ModelCode, settings_.KeyStatus); }

void TRegisterEmulator::TableUploadRequest(std::uint8_t tableCode) {
  const TTarget target = ResolveTableCode(tableCode, true);
  accepted_.clear();
  if (target.Known && target.IsReset && data_.HasReset(target.Number)) {
    resetIndex_ = target.Number;
    uploadTable_ = 0;
    recordLength_ = data_.Catalogue().Reset(target.Number)->Interpreter->RecordLength();
    state_ = State::Uploading;
    faults_.StartTransfer();
    Send(EndFrame);
    return;
  }
  TSoubor* table = target.Known && !target.IsReset ? data_.WritableTable(target.Number) : nullptr;
  if (table == nullptr) {
    log_.Note("no table that may be written has the code " + HexByte(tableCode));
    Reply(settings_.Dtx, ServiceError);
    return;
  }
  resetIndex_ = -1;
  uploadTable_ = target.Number;
  uploadMode_ = target.Mode;
  recordLength_ = table->Interpreter->RecordLength();
  state_ = State::Uploading;
  faults_.StartTransfer();
  Reply(settings_.Dtx, settings_.KeyStatus);
}

void TRegisterEmulator::TableDownloadRequest(std::uint8_t tableCode) {
  const TTarget target = ResolveTableCode(tableCode, false);
  if (target.Known && target.IsReset) {
    log_.Note("a reset has nothing to send");
    Send(EndFrame);
    return;
  }
  auto source = target.Known ? data_.Download(target.Number) : std::nullopt;
  if (!source) {
    log_.Note("no table has the code " + HexByte(tableCode));
    Reply(settings_.Drq, ServiceError);
    return;
  }
  if (faults_.Empty()) {
    log_.Note("nothing to send (fault option)");
    Send(EndFrame);
    return;
  }
  downloadTable_ = target.Number;
  source_ = std::move(*source);
  next_ = 0;
  state_ = State::Downloading;
  faults_.StartTransfer();
  Reply(settings_.Drq, settings_.KeyStatus);
  SendCurrentRecord();
}

// ------------------------------------------------------------------ records

void TRegisterEmulator::UploadRecord(const std::string& record) {
  const int number = static_cast<int>(accepted_.size()) + 1;
  if (faults_.DropsAfter(number)) {
    log_.Note("connection dropped after record " + std::to_string(number) + " (fault option)");
    state_ = State::Dead;
    answer_.Drop = true;
    return;
  }
  if (const auto status = faults_.StatusFor(TFrameKind::Record, frameNumber_, number)) {
    log_.Note("status " + HexByte(*status) + " instead of the reply to record " + std::to_string(number));
    Reply(settings_.Dtx, *status);
    if (*status == Accepted && VerifyCheckBytes(record)) accepted_.push_back(record);
    return;
  }
  if (!VerifyCheckBytes(record)) {
    Reply(settings_.Dtx, SendAgain);
    return;
  }
  if (resetIndex_ >= 0) {
    data_.ApplyReset(resetIndex_);
    log_.Note("reset " + std::to_string(resetIndex_) + " done");
    state_ = State::Idle;
    Reply(settings_.Dtx, Accepted);
    return;
  }
  TSoubor& table = *data_.Catalogue().Table(uploadTable_);
  if (table.Capacity > 0 && static_cast<int>(accepted_.size()) >= table.Capacity) {
    log_.Note("table " + std::to_string(uploadTable_) + " is full");
    Reply(settings_.Dtx, TableFull);
    return;
  }
  if (uploadTable_ != TableNumber::Request) {
    const std::string errors = table.Interpreter->CheckRecord(table, record);
    if (!errors.empty()) {
      log_.Note("record refused: " + Cp1250ToUtf8(errors));
      Reply(settings_.Dtx, ServiceError);
      return;
    }
  }
  accepted_.push_back(record);
  Reply(settings_.Dtx, Accepted);
}

void TRegisterEmulator::FinishUpload() {
  state_ = State::Idle;
  if (resetIndex_ >= 0) return;
  const auto wrong = static_cast<std::size_t>(faults_.WronglyStoredRecord());
  if (wrong > 0 && wrong <= accepted_.size() && uploadTable_ != TableNumber::Request) {
    const std::string change = StoreWrongly(*data_.Catalogue().Table(uploadTable_), accepted_[wrong - 1]);
    log_.Note("record " + std::to_string(wrong) + " stored wrongly (fault option): " + change);
  }
  data_.StoreUpload(uploadTable_, accepted_, uploadMode_);
  log_.Note("table " + std::to_string(uploadTable_) + ": " + std::to_string(accepted_.size()) + " records stored");
  if (uploadTable_ == TableNumber::Block) log_.Note(data_.Blocked() ? "register blocked" : "register released");
  accepted_.clear();
}

void TRegisterEmulator::SendCurrentRecord() {
  if (next_ >= source_.Count) {
    state_ = State::Idle;
    Send(EndFrame);
    return;
  }
  std::string record = source_.Record(next_);
  const int number = static_cast<int>(next_) + 1;
  if (faults_.CorruptsSend(number)) {
    record.back() = static_cast<char>(record.back() + 1);
    log_.Note("check byte of record " + std::to_string(number) + " corrupted (fault option)");
  }
  Send(std::move(record));
  if (faults_.DropsAfter(number)) {
    log_.Note("connection dropped after record " + std::to_string(number) + " (fault option)");
    state_ = State::Dead;
    answer_.Drop = true;
  }
}

void TRegisterEmulator::Reply(std::uint8_t first, std::uint8_t second) { Send(Frame(first, second)); }

void TRegisterEmulator::Send(std::string frame) {
  log_.Sent(frame);
  answer_.Bytes += frame;
}
