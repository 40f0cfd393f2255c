#pragma once
// TComLine: a line's COM medium, a port of the serial layer (TComLayer)
// opened with the speed, line mode and flow control of one line slot. A
// modem line (the modem slot) may deliver a frame in pieces: its reads may
// ask again for what is missing.
//
// Ownership: the line owns the medium; the medium borrows the COM layer and
// the line's settings (through the line, which may point them elsewhere).
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "transport/com_layer.h"
#include "transport/line_backend.h"
#include "transport/nastaveni.h"

class TComLine : public TLineBackend {
public:
  /// A closed medium for line slot `slot` of `*settings` (none: no slot).
  TComLine(TComLayer& comLayer, const TNastaveni* const& settings, std::uint8_t slot);

  /// Opens the slot's COM port; `flowMode` -1 takes the slot's default
  /// (hardware handshake, on slot 2 only with FlowSlot2). A step that fails
  /// is logged and raised; the port stays open for Close.
  void Open(int flowMode);

  bool Opened() const override { return opened_; }
  void Close() override;
  LineResult Write(std::string_view wire) override;
  LineResult Read(std::string& answer, std::size_t count, bool allowExtraReads, LineWait wait) override;
  ReadDeadline DeadlineOf(LineWait wait) const override;
  std::size_t Receive(std::string& bytes, std::size_t count, ReadDeadline deadline) override;
  std::chrono::steady_clock::time_point LastArrival() const override { return lastRead_; }
  void Flush() override;
  bool TakesModemCommands() const override { return true; }

private:
  std::int32_t SlotTimeout() const;
  int DefaultFlowMode() const;
  /// The total time-out of a read: `wait`, or the slot's when none is given.
  std::int32_t ReadTotal(LineWait wait) const;
  void SetReadTimeouts(std::int32_t totalMs);
  /// One sio_read of up to `count` bytes, logged when `logged`; appended to `answer`.
  int ReadOnce(std::string& answer, std::size_t count, bool logged);

  TComLayer& comLayer_;
  const TNastaveni* const& settings_;
  std::uint8_t slot_;
  bool opened_ = false;
  int port_ = 0;  // the COM port this medium opened, 0 when none
  std::chrono::steady_clock::time_point lastRead_{};
};
