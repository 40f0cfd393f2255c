// mervsim card/: the chip-card reader the emulator can play instead of the register.
#include "tools/mervsim/card/card_reader_emulator.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "protocol/card_reader_codes.h"

namespace {

constexpr int SessionOpen = 4;

std::uint8_t Negated(std::uint8_t value) { return static_cast<std::uint8_t>(0x100 - value); }

std::string ReadImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument("cannot read the card image " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() != TCardReaderEmulator::CardSize) {
    throw std::invalid_argument("the card image " + path + " has " + std::to_string(bytes.size()) + " bytes, not 256");
  }
  return bytes;
}

}  // namespace

TCardReaderEmulator::TCardReaderEmulator(TCardReaderOptions options, TWireLog& log)
    : options_(std::move(options)), log_(log) {
  card_ = !options_.ImagePath.empty() && std::filesystem::exists(options_.ImagePath) ? ReadImage(options_.ImagePath)
                                                                                     : DemoCard();
}

std::string TCardReaderEmulator::DemoCard() {
  std::string card(CardSize, '\0');
  for (int i = 0; i < CardSize; ++i) card[static_cast<std::size_t>(i)] = static_cast<char>((i * 37 + 11) % 256);
  return card;
}

void TCardReaderEmulator::StartConnection(const std::string& peer) {
  Reset();
  log_.Note(peer.empty() ? "card reader opened" : "card reader opened from " + peer);
}

void TCardReaderEmulator::EndConnection() {
  log_.Note("card reader closed");
  Reset();
}

void TCardReaderEmulator::Reset() {
  expect_ = Expect::Command;
  greeting_ = 0;
  afterStart_ = false;
  dataLeft_ = 0;
}

TEmulatorAnswer TCardReaderEmulator::Receive(std::string_view bytes) {
  answer_.clear();
  log_.Received(bytes);
  if (options_.Silent) {
    log_.Note("silent: no answer");
    return {};
  }
  for (const char byte : bytes) Take(static_cast<std::uint8_t>(byte));
  if (!answer_.empty()) log_.Sent(answer_);
  return {answer_, false};
}

void TCardReaderEmulator::Take(std::uint8_t byte) {
  switch (expect_) {
    case Expect::Command:
      return TakeCommand(byte);
    case Expect::BusByte:
      return TakeBusByte(byte);
    case Expect::ReadLength:
      Echo(byte);
      expect_ = Expect::Command;
      return SendCardBytes(byte);
    case Expect::WriteLength:
      Echo(byte);
      dataLeft_ = byte;
      expect_ = byte > 0 ? Expect::WriteData : Expect::Command;
      return;
    case Expect::WriteData:
      return TakeWriteData(byte);
  }
}

void TCardReaderEmulator::TakeCommand(std::uint8_t byte) {
  switch (byte) {
    case CardByte::Zero:
      return TakeZero();
    case CardByte::Greeting:
      greeting_ = 1;
      return Echo(byte);
    case CardByte::AllOnes:
      if (greeting_ == 2) greeting_ = 3;
      return Echo(byte);
    case CardByte::BusStart:
      afterStart_ = true;
      return Echo(byte);
    case CardByte::BusStop:
      Echo(byte);
      if (written_) SaveCard();
      return;
    case CardByte::SendByte:
      expect_ = Expect::BusByte;
      return Echo(byte);
    case CardByte::ReadBytes:
      expect_ = Expect::ReadLength;
      return Echo(byte);
    case CardByte::WriteBytes:
      expect_ = Expect::WriteLength;
      return Echo(byte);
    case CardByte::StatusQuery:
      return SendStatus(CardByte::StatusQuery,
                        options_.InsertedWrongly ? CardStatus::WronglyInserted : options_.Status);
    default:
      return Echo(byte);
  }
}

// 00h is part of the greeting, the status request that ends it, or the end
// of the session.
void TCardReaderEmulator::TakeZero() {
  if (greeting_ == 1) {
    greeting_ = 2;
    return Echo(CardByte::Zero);
  }
  if (greeting_ == 3) {
    greeting_ = SessionOpen;
    return SendStatus(CardByte::Zero, options_.Status);
  }
  if (greeting_ == SessionOpen) {
    greeting_ = 0;
    if (options_.EndWithA5) log_.Note("fault: end answered A5");
    return Send(options_.EndWithA5 ? CardByte::FailureReply : CardByte::Zero);
  }
  Echo(CardByte::Zero);
}

void TCardReaderEmulator::TakeBusByte(std::uint8_t byte) {
  Echo(byte);
  expect_ = Expect::Command;
  if (afterStart_) {
    afterStart_ = false;
    return;
  }
  address_ = byte;
}

void TCardReaderEmulator::TakeWriteData(std::uint8_t byte) {
  const bool changeEcho = address_ == options_.ChangedEchoCell;
  if (changeEcho) log_.Note("fault: echo of cell " + std::to_string(address_) + " changed");
  Echo(changeEcho ? static_cast<std::uint8_t>(byte ^ 0x5A) : byte);
  if (address_ == options_.StuckCell) {
    log_.Note("fault: cell " + std::to_string(address_) + " keeps its value");
  } else {
    card_[address_] = static_cast<char>(byte);
  }
  ++address_;
  written_ = true;
  if (--dataLeft_ == 0) expect_ = Expect::Command;
}

void TCardReaderEmulator::SendCardBytes(int count) {
  std::uint8_t sum = 0;
  for (int i = 0; i < count; ++i) {
    const auto byte = static_cast<std::uint8_t>(card_[address_]);
    Send(byte);
    sum = static_cast<std::uint8_t>(sum + byte);
    ++address_;
  }
  std::uint8_t check = Negated(sum);
  if (options_.BadCheckByte) {
    log_.Note("fault: wrong check byte");
    ++check;
  }
  Send(check);
}

void TCardReaderEmulator::SendStatus(std::uint8_t first, std::uint8_t status) {
  Send(first);
  Send(status);
  Send(Negated(status));
}

void TCardReaderEmulator::SaveCard() {
  written_ = false;
  if (options_.ImagePath.empty()) return;
  const std::string temporary = options_.ImagePath + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << card_;
    if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
  }
  std::filesystem::rename(temporary, options_.ImagePath);
  log_.Note("card saved");
}
