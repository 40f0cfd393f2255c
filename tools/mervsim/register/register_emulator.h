// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// TRegisterEmulator: the register's side of the link protocol, byte by byte
// and independent of the line it runs on. The transport hands it every byte
// it receives and sends back what it answers; the emulator keeps the frame
// state between calls. It borrows the register data, the fault injector and
// the wire log, which outlive it.
//
// What the register does with each frame:
//   ENQ            answers its model code and the key status;
//   DTX of a table answers the DTX byte and the key status, then takes the
//                  records one by one, each answered DTX 06h (accepted), 15h
//                  (check bytes wrong: send it again), 16h (the table is
//                  full) or 17h (a field does not convert); the program's end
//                  frame stores the accepted records (table 3 by code 61h
//                  replaces the PLU table, by 03h and 63h adds to it);
//   DTX of a reset (45h to 57h) answers the end frame, takes the reset's one
//                  record, answers it DTX 06h and carries the reset out;
//   DRQ            answers the DRQ byte and the key status and sends the first
//                  record at once; the program's ACK asks for the next, its
//                  repeat (15h) for the same again, its end frame stops the
//                  table; after the last record the register sends the end
//                  frame;
//   a table the register does not have (or may not write) gets the status 17h;
//   a frame whose check bytes are wrong, and bytes that make no frame, get no
//   answer. A command frame that comes while a table is on its way ends that
//   table and is served.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/link_bytes.h"
#include "tools/mervsim/register/fault_injector.h"
#include "tools/mervsim/line/line_device.h"
#include "tools/mervsim/register/register_data.h"
#include "tools/mervsim/line/wire_log.h"

struct TEmulatorSettings {
  std::uint8_t Enq = LinkCommand::EcrEnq;
  std::uint8_t Dtx = LinkCommand::EcrDtxCommandLine;
  std::uint8_t Drq = LinkCommand::EcrDrqCommandLine;
  /// Byte 0 of the ENQ reply.
  std::uint8_t ModelCode = 18;
  /// Byte 1 of accepted DTX and DRQ replies and of the ENQ reply.
  std::uint8_t KeyStatus = KeyPositionBit(4);
};

class TRegisterEmulator : public TLineDevice {
public:
  TRegisterEmulator(TRegisterData& data, const TEmulatorSettings& settings, TFaultInjector& faults, TWireLog& log);

  /// A new connection (or the line opened again): frame counters start anew.
  /// `peer` ("127.0.0.1:40312") goes into the log so that a client can tell
  /// when its own connection was taken, and so that every earlier one is done.
  void StartConnection(const std::string& peer = {}) override;
  /// Takes received bytes; returns the register's answer to every frame they complete.
  TEmulatorAnswer Receive(std::string_view bytes) override;
  /// The line has been quiet for a while: bytes of an unfinished frame are dropped.
  void LineQuiet() override;
  /// The connection is gone: an unfinished upload is forgotten.
  void EndConnection() override;

  bool HasPartialFrame() const override { return !buffer_.empty(); }

private:
  enum class State { Idle, Uploading, Downloading, Dead };

  // Each step handles one frame at the head of the buffer; false when more
  // bytes are needed first.
  bool Step();
  bool StepIdle();
  bool StepUploading();
  bool StepDownloading();
  void StepDead();

  bool StartsWithEndFrame() const;
  bool StartsWith(std::uint8_t first, std::uint8_t second) const;
  bool IsCommandByte(std::uint8_t byte) const;
  /// True when the buffer begins with a command frame, or may once more bytes come.
  bool CommandAhead(bool& complete) const;
  std::string Take(std::size_t count);
  /// Counts and logs a received frame; false when the register has gone silent.
  bool Accept(const std::string& frame);
  void DropGarbage(std::string_view why);

  void Command(const std::string& frame);
  void Enquiry();
  void TableUploadRequest(std::uint8_t tableCode);
  void TableDownloadRequest(std::uint8_t tableCode);
  void UploadRecord(const std::string& record);
  void FinishUpload();
  void SendCurrentRecord();

  void Reply(std::uint8_t first, std::uint8_t second);
  void Send(const std::string& frame);

  TRegisterData& data_;
  TEmulatorSettings settings_;
  TFaultInjector& faults_;
  TWireLog& log_;

  State state_ = State::Idle;
  std::string buffer_;
  TEmulatorAnswer answer_;
  int frameNumber_ = 0;

  // Upload in progress.
  int uploadTable_ = 0;
  int resetIndex_ = -1;
  TUploadMode uploadMode_ = TUploadMode::Replace;
  int recordLength_ = 0;
  std::vector<std::string> accepted_;

  // Download in progress.
  int downloadTable_ = 0;
  TRecordSource source_;
  std::size_t next_ = 0;
};
