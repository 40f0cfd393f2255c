#pragma once
// TFfDoublingLine: a line medium whose bytes travel with every FFh doubled
// (TFfDoubling), over any other medium: what is written is doubled, what is
// read undoubled. A read that ends on an FFh also takes its copy off the
// line, so that the next read starts at a byte of its own; a copy that does
// not come within the read is not looked for by the next one. The reads of
// the wire that one read takes share its one deadline.
#include <memory>

#include "transport/ff_doubling.h"
#include "transport/line_backend.h"

class TFfDoublingLine : public TLineBackend {
public:
  explicit TFfDoublingLine(std::unique_ptr<TLineBackend> wire);

  bool Opened() const override { return wire_->Opened(); }
  void Close() override { wire_->Close(); }
  LineResult Write(std::string_view bytes) override;
  /// Reads the way a stream does: all `count` bytes, or ShortRead.
  LineResult Read(std::string& answer, std::size_t count, bool allowExtraReads, LineWait wait) override;
  ReadDeadline DeadlineOf(LineWait wait) const override { return wire_->DeadlineOf(wait); }
  std::size_t Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) override;
  std::chrono::steady_clock::time_point LastArrival() const override { return wire_->LastArrival(); }
  void Flush() override { wire_->Flush(); }
  bool TakesModemCommands() const override { return wire_->TakesModemCommands(); }

private:
  std::unique_ptr<TLineBackend> wire_;
};
