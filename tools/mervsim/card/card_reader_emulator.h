// mervsim card/: the chip-card reader the emulator can play instead of the register.
#pragma once
// TCardReaderEmulator: a chip-card reader ("PCS") with a 256-byte memory card,
// on the emulator's line instead of the register. It answers the reader's
// byte-by-byte echo protocol:
//   06h 00h FFh    greeting, each byte echoed; the next 00h is answered with
//                  00h, the reader status and a byte making the two sum to 0;
//   10h / 11h      bus start / stop, echoed; a stop after written data saves
//                  the card image to its file;
//   13h b          send byte b on the bus, both echoed: right after a start b
//                  selects the card (A0h write, A1h read), else b is the
//                  card address of the next transfer;
//   14h n          both echoed, then n card bytes from the address on and a
//                  check byte that makes their sum 0;
//   15h n d...     every byte echoed; the n data bytes are written from the
//                  address on;
//   18h            status query: 18h, the status, a byte making them sum to 0;
//   00h            in a session: the end, answered 00h.
// Faults on purpose: a start status without the card or with error bits, a
// card inserted wrongly (status 31h once the card is selected), a changed
// echo of one written cell, a wrong check byte on reads, A5h at the end, a
// cell that keeps its old value, and silence.
//
// The image file is read at construction (a missing file gives a demo card)
// and rewritten, complete or not at all, after every block written.
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/mervsim/line/line_device.h"
#include "tools/mervsim/line/wire_log.h"

struct TCardReaderOptions {
  std::string ImagePath;
  /// Status byte of the greeting: 40h a card present, 00h none; error bits
  /// 04h, 08h and 10h may be added.
  std::uint8_t Status = 0x40;
  /// The status query answers 31h ("card inserted wrongly").
  bool InsertedWrongly = false;
  /// The echo of the data byte written to this cell comes back changed.
  int ChangedEchoCell = -1;
  /// Block reads end with a wrong check byte.
  bool BadCheckByte = false;
  /// The end of the session is answered A5h.
  bool EndWithA5 = false;
  /// Writes to this cell leave its old value.
  int StuckCell = -1;
  /// Nothing is ever answered.
  bool Silent = false;
};

class TCardReaderEmulator : public TLineDevice {
public:
  static constexpr int CardSize = 256;

  /// Raises std::invalid_argument when the image file exists with a size
  /// other than 256 bytes or cannot be read.
  TCardReaderEmulator(TCardReaderOptions options, TWireLog& log);

  void StartConnection(const std::string& peer = {}) override;
  TEmulatorAnswer Receive(std::string_view bytes) override;
  void LineQuiet() override {}
  void EndConnection() override;
  bool HasPartialFrame() const override { return false; }

  const std::string& Card() const { return card_; }

  /// The card a missing image file gives: byte i is (i * 37 + 11) mod 256.
  static std::string DemoCard();

private:
  enum class Expect { Command, BusByte, ReadLength, WriteLength, WriteData };

  void Take(std::uint8_t byte);
  void TakeCommand(std::uint8_t byte);
  void TakeZero();
  void TakeBusByte(std::uint8_t byte);
  void TakeWriteData(std::uint8_t byte);
  void SendCardBytes(int count);
  void Echo(std::uint8_t byte) { Send(byte); }
  void Send(std::uint8_t byte) { answer_ += static_cast<char>(byte); }
  void SendStatus(std::uint8_t first, std::uint8_t status);
  void SaveCard();
  void Reset();

  TCardReaderOptions options_;
  TWireLog& log_;
  std::string card_;
  std::string answer_;

  Expect expect_ = Expect::Command;
  /// Greeting bytes seen in order (06h, 00h, FFh), 4 once the session is open.
  int greeting_ = 0;
  bool afterStart_ = false;
  std::uint8_t address_ = 0;
  int dataLeft_ = 0;
  bool written_ = false;
};
