#include "protocol/card_exchange.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include "base/kom_error.h"
#include "protocol/card_reader_codes.h"
#include "transport/port.h"

namespace {

constexpr std::chrono::milliseconds DrainRead{100};
constexpr auto DrainLimit = std::chrono::milliseconds(1000);
constexpr std::chrono::milliseconds BlockRead{5000};
constexpr std::chrono::milliseconds StepPause{1};
constexpr std::chrono::milliseconds WriteEndPause{10};

std::uint8_t ByteAt(const std::string& bytes, std::size_t index) { return static_cast<std::uint8_t>(bytes[index]); }

/// Raises the failure of a port result; a COM read that ended before all
/// bytes came is a broken transmission as well.
void CheckReceived(LineResult result, const std::string& answer, int count) {
  if (result == LineResult::NoAnswer) RaiseError(ErrorNumber::NoAnswer);
  if (result != LineResult::Done || answer.size() != static_cast<std::size_t>(count))
    RaiseError(ErrorNumber::LineFailure);
}

std::string Exchange(TPort& port, std::uint8_t command, int replyLength) {
  std::string answer;
  const char byte = static_cast<char>(command);
  const LineResult result = port.WriteRead(std::string_view(&byte, 1), answer, replyLength);
  CheckReceived(result, answer, replyLength);
  return answer;
}

void Echo(TPort& port, std::uint8_t byte) {
  if (ByteAt(Exchange(port, byte, 1), 0) != byte) RaiseError(ErrorNumber::BadCardReply);
}

/// Sends `command` for a 3-byte reply: the command, the status, and a byte
/// that makes the last two sum to 0. Returns the status.
std::uint8_t StatusReply(TPort& port, std::uint8_t command) {
  const std::string reply = Exchange(port, command, 3);
  if (ByteAt(reply, 0) != command) RaiseError(ErrorNumber::BadCardReply);
  if (!SumIsZero(std::string_view(reply).substr(1))) RaiseError(ErrorNumber::BadCheckBytes);
  return ByteAt(reply, 1);
}

void DrainLine(TPort& port) {
  const auto start = port.Now();
  std::string stray;
  while (port.Read(stray, 1, false, DrainRead) == LineResult::Done && !stray.empty() &&
         port.Now() - start <= DrainLimit) {
  }
}

void CheckReaderStatus(std::uint8_t status) {
  if ((status & CardStatus::CardPresentBit) == 0) RaiseError(ErrorNumber::NoCard);
  if ((status & CardStatus::CommunicationErrorBit) != 0) RaiseError(ErrorNumber::CardStatusLineFailure);
  if ((status & CardStatus::CommandOrAckErrorBit) != 0) RaiseError(ErrorNumber::CardStatusCommandError);
  if ((status & CardStatus::PulledOutBit) != 0) RaiseError(ErrorNumber::CardRemovedBadly);
}

void CheckRange(int start, int length) {
  if (start < 0 || length < 0 || start + length > CardSize || length >= CardSize) {
    throw std::out_of_range("card block " + std::to_string(start) + "+" + std::to_string(length) +
                            " lies outside the card");
  }
}

/// Selects the card for writing and sets its address to `start`.
void AddressCard(TPort& port, int start) {
  Echo(port, CardByte::BusStart);
  Echo(port, CardByte::SendByte);
  Echo(port, CardByte::CardForWriting);
  if (StatusReply(port, CardByte::StatusQuery) == CardStatus::WronglyInserted)
    RaiseError(ErrorNumber::CardInsertedBadly);
  port.Pause(StepPause);
  Echo(port, CardByte::SendByte);
  Echo(port, static_cast<std::uint8_t>(start));
  StatusReply(port, CardByte::StatusQuery);
}

}  // namespace

bool SumIsZero(std::string_view bytes) {
  std::uint8_t sum = 0;
  for (const char byte : bytes) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(byte));
  return sum == 0;
}

void StartCardExchange(TPort& port) {
  DrainLine(port);
  Echo(port, CardByte::Greeting);
  Echo(port, CardByte::Zero);
  Echo(port, CardByte::AllOnes);
  CheckReaderStatus(StatusReply(port, CardByte::Zero));
}

bool ReadCardBlock(TPort& port, TCardImage& image, int start, int length, bool verify) {
  CheckRange(start, length);
  AddressCard(port, start);
  port.Pause(StepPause);
  Echo(port, CardByte::BusStart);
  Echo(port, CardByte::SendByte);
  Echo(port, CardByte::CardForReading);
  StatusReply(port, CardByte::StatusQuery);
  port.Pause(StepPause);
  Echo(port, CardByte::ReadBytes);
  Echo(port, static_cast<std::uint8_t>(length));

  std::string data;
  CheckReceived(port.Read(data, length + 1, false, BlockRead), data, length + 1);
  if (!SumIsZero(data)) RaiseError(ErrorNumber::BadCheckBytes);
  bool same = true;
  for (int i = 0; i < length; ++i) {
    auto& cell = image[static_cast<std::size_t>(start + i)];
    const std::uint8_t byte = ByteAt(data, static_cast<std::size_t>(i));
    if (verify && byte != cell) same = false;
    cell = byte;
  }
  Echo(port, CardByte::BusStop);
  return same;
}

void WriteCardBlock(TPort& port, const TCardImage& image, int start, int length) {
  CheckRange(start, length);
  AddressCard(port, start);
  port.Pause(StepPause);
  Echo(port, CardByte::WriteBytes);
  Echo(port, static_cast<std::uint8_t>(length));
  for (int i = 0; i < length; ++i) {
    Echo(port, image[static_cast<std::size_t>(start + i)]);
    port.Pause(StepPause);
  }
  port.Pause(WriteEndPause);
  Echo(port, CardByte::BusStop);
}

void EndCardExchange(TPort& port) {
  const std::uint8_t reply = ByteAt(Exchange(port, CardByte::Zero, 1), 0);
  if (reply == CardByte::FailureReply) RaiseError(ErrorNumber::CardLineFailure);
  if (reply != CardByte::Zero) RaiseError(ErrorNumber::BadCardReply);
}
