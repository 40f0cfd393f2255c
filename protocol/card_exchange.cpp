#include "protocol/card_exchange.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include "base/kom_error.h"
#include "transport/port.h"

namespace {

constexpr char Greeting = '\x06';
constexpr char Zero = '\x00';
constexpr char AllOnes = '\xFF';
constexpr char BusStart = '\x10';
constexpr char BusStop = '\x11';
constexpr char SendByte = '\x13';
constexpr char ReadBytes = '\x14';
constexpr char WriteBytes = '\x15';
constexpr char StatusQuery = '\x18';
constexpr char CardForWriting = '\xA0';
constexpr char CardForReading = '\xA1';
constexpr char ReaderFailureReply = '\xA5';

constexpr std::uint8_t CardPresentBit = 0x40;
constexpr std::uint8_t CommunicationErrorBit = 0x04;
constexpr std::uint8_t CommandOrAckErrorBit = 0x08;
constexpr std::uint8_t PulledOutBit = 0x10;
constexpr std::uint8_t WronglyInsertedStatus = 0x31;

constexpr int DrainReadMs = 100;
constexpr auto DrainLimit = std::chrono::milliseconds(1000);
constexpr int BlockReadMs = 5000;
constexpr int StepPauseMs = 1;
constexpr int WriteEndPauseMs = 10;

std::uint8_t ByteAt(const std::string& bytes, std::size_t index) { return static_cast<std::uint8_t>(bytes[index]); }

/// Raises the failure of a port result; a COM read that ended before all
/// bytes came is a broken transmission as well.
void CheckReceived(int result, const std::string& answer, int count) {
  if (result == PortResult::NoAnswer) RaiseError(ErrorNumber::NoAnswer);
  if (result != PortResult::Done || answer.size() != static_cast<std::size_t>(count)) RaiseError(ErrorNumber::LineFailure);
}

std::string Exchange(TPort& port, char command, int replyLength) {
  std::string answer;
  const int result = port.WriteRead(std::string_view(&command, 1), answer, replyLength);
  CheckReceived(result, answer, replyLength);
  return answer;
}

void Echo(TPort& port, char byte) {
  if (Exchange(port, byte, 1)[0] != byte) RaiseError(ErrorNumber::BadCardReply);
}

/// Sends `command` for a 3-byte reply: the command, the status, and a byte
/// that makes the last two sum to 0. Returns the status.
std::uint8_t StatusReply(TPort& port, char command) {
  const std::string reply = Exchange(port, command, 3);
  if (reply[0] != command) RaiseError(ErrorNumber::BadCardReply);
  if (!SumIsZero(std::string_view(reply).substr(1))) RaiseError(ErrorNumber::BadCheckBytes);
  return ByteAt(reply, 1);
}

void DrainLine(TPort& port) {
  const auto start = port.Now();
  std::string stray;
  while (port.Read(stray, 1, false, DrainReadMs) == PortResult::Done && !stray.empty() &&
         port.Now() - start <= DrainLimit) {
  }
}

void CheckReaderStatus(std::uint8_t status) {
  if ((status & CardPresentBit) == 0) RaiseError(ErrorNumber::NoCard);
  if ((status & CommunicationErrorBit) != 0) RaiseError(ErrorNumber::CardStatusLineFailure);
  if ((status & CommandOrAckErrorBit) != 0) RaiseError(ErrorNumber::CardStatusCommandError);
  if ((status & PulledOutBit) != 0) RaiseError(ErrorNumber::CardRemovedBadly);
}

void CheckRange(int start, int length) {
  if (start < 0 || length < 0 || start + length > CardSize || length >= CardSize) {
    throw std::out_of_range("card block " + std::to_string(start) + "+" + std::to_string(length) +
                            " lies outside the card");
  }
}

/// Selects the card for writing and sets its address to `start`.
void AddressCard(TPort& port, int start) {
  Echo(port, BusStart);
  Echo(port, SendByte);
  Echo(port, CardForWriting);
  if (StatusReply(port, StatusQuery) == WronglyInsertedStatus) RaiseError(ErrorNumber::CardInsertedBadly);
  port.Pause(StepPauseMs);
  Echo(port, SendByte);
  Echo(port, static_cast<char>(start));
  StatusReply(port, StatusQuery);
}

}  // namespace

bool SumIsZero(std::string_view bytes) {
  std::uint8_t sum = 0;
  for (const char byte : bytes) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(byte));
  return sum == 0;
}

void StartCardExchange(TPort& port) {
  DrainLine(port);
  Echo(port, Greeting);
  Echo(port, Zero);
  Echo(port, AllOnes);
  CheckReaderStatus(StatusReply(port, Zero));
}

bool ReadCardBlock(TPort& port, TCardImage& image, int start, int length, bool verify) {
  CheckRange(start, length);
  AddressCard(port, start);
  port.Pause(StepPauseMs);
  Echo(port, BusStart);
  Echo(port, SendByte);
  Echo(port, CardForReading);
  StatusReply(port, StatusQuery);
  port.Pause(StepPauseMs);
  Echo(port, ReadBytes);
  Echo(port, static_cast<char>(length));

  std::string data;
  CheckReceived(port.Read(data, length + 1, false, BlockReadMs), data, length + 1);
  if (!SumIsZero(data)) RaiseError(ErrorNumber::BadCheckBytes);
  bool same = true;
  for (int i = 0; i < length; ++i) {
    auto& cell = image[static_cast<std::size_t>(start + i)];
    const std::uint8_t byte = ByteAt(data, static_cast<std::size_t>(i));
    if (verify && byte != cell) same = false;
    cell = byte;
  }
  Echo(port, BusStop);
  return same;
}

void WriteCardBlock(TPort& port, const TCardImage& image, int start, int length) {
  CheckRange(start, length);
  AddressCard(port, start);
  port.Pause(StepPauseMs);
  Echo(port, WriteBytes);
  Echo(port, static_cast<char>(length));
  for (int i = 0; i < length; ++i) {
    Echo(port, static_cast<char>(image[static_cast<std::size_t>(start + i)]));
    port.Pause(StepPauseMs);
  }
  port.Pause(WriteEndPauseMs);
  Echo(port, BusStop);
}

void EndCardExchange(TPort& port) {
  const char reply = Exchange(port, Zero, 1)[0];
  if (reply == ReaderFailureReply) RaiseError(ErrorNumber::CardLineFailure);
  if (reply != Zero) RaiseError(ErrorNumber::BadCardReply);
}
