// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/fault_injector.h"

TFaultInjector::TFaultInjector(TFaultOptions options)
    : options_(std::move(options)), repliesUsed_(options_.StatusReplies.size(), 0) {}

void TFaultInjector::StartConnection() {
  repliesUsed_.assign(options_.StatusReplies.size(), 0);
  StartTransfer();
}

void TFaultInjector::StartTransfer() { badSends_ = 0; }

std::optional<std::uint8_t> TFaultInjector::StatusFor(TFrameKind kind, int frameNumber, int recordNumber) {
  for (std::size_t i = 0; i < options_.StatusReplies.size(); ++i) {
    const auto& rule = options_.StatusReplies[i];
    if (repliesUsed_[i] >= rule.Count || !Matches(rule, kind, frameNumber, recordNumber)) continue;
    ++repliesUsed_[i];
    return rule.Status;
  }
  return std::nullopt;
}

bool TFaultInjector::CorruptsSend(int recordNumber) {
  if (options_.BadCheckRecord == 0 || recordNumber != options_.BadCheckRecord) return false;
  if (badSends_ >= options_.BadCheckSends) return false;
  ++badSends_;
  return true;
}

bool TFaultInjector::Silent(int frameNumber) const {
  return options_.SilentAfter && frameNumber > *options_.SilentAfter;
}

bool TFaultInjector::DropsAfter(int recordNumber) const {
  return options_.DropAfter && recordNumber == *options_.DropAfter;
}

bool TFaultInjector::Matches(const TStatusReplyRule& rule, TFrameKind kind, int frameNumber, int recordNumber) const {
  switch (rule.Aim) {
    case TStatusReplyRule::Target::Frame:
      return rule.Number == frameNumber && kind != TFrameKind::Other;
    case TStatusReplyRule::Target::Enq:
      return kind == TFrameKind::Enq;
    case TStatusReplyRule::Target::Dtx:
      return kind == TFrameKind::Dtx;
    case TStatusReplyRule::Target::Drq:
      return kind == TFrameKind::Drq;
    case TStatusReplyRule::Target::Record:
      return kind == TFrameKind::Record && rule.Number == recordNumber;
  }
  return false;
}
