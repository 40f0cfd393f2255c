#include "transport/ff_doubling_line.h"

TFfDoublingLine::TFfDoublingLine(std::unique_ptr<TLineBackend> wire) : wire_(std::move(wire)) {}

LineResult TFfDoublingLine::Write(std::string_view bytes) { return wire_->Write(TFfDoubling::Double(bytes)); }

LineResult TFfDoublingLine::Read(std::string& answer, std::size_t count, [[maybe_unused]] bool allowExtraReads,
                                 LineWait wait) {
  return ReceiveLogged(answer, count, wait);
}

// The wire is asked for no more bytes than are still missing, so nothing of
// the next frame is taken: each byte on the wire yields at most one byte.
std::size_t TFfDoublingLine::Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) {
  const std::size_t before = bytes.size();
  TFfDoubling undoubling;
  std::string piece;
  while (bytes.size() - before < count || undoubling.CopyExpected()) {
    const std::size_t wanted = count - (bytes.size() - before) + (undoubling.CopyExpected() ? 1 : 0);
    piece.clear();
    const std::size_t got = wire_->Receive(piece, wanted, deadline);
    bytes += undoubling.Undouble(piece);
    if (got < wanted) break;
  }
  return bytes.size() - before;
}
