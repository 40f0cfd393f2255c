#pragma once
// The bytes of the chip-card reader's line: the commands a byte each (the
// reader echoes every one), the card selections, the failure reply at the
// end, and the bits of its status byte. The module's card exchange and the
// emulator's card reader both speak by these.
#include <cstdint>

namespace CardByte {
inline constexpr std::uint8_t Greeting = 0x06;
inline constexpr std::uint8_t Zero = 0x00;
inline constexpr std::uint8_t AllOnes = 0xFF;
inline constexpr std::uint8_t BusStart = 0x10;
inline constexpr std::uint8_t BusStop = 0x11;
inline constexpr std::uint8_t SendByte = 0x13;
inline constexpr std::uint8_t ReadBytes = 0x14;
inline constexpr std::uint8_t WriteBytes = 0x15;
inline constexpr std::uint8_t StatusQuery = 0x18;
inline constexpr std::uint8_t CardForWriting = 0xA0;
inline constexpr std::uint8_t CardForReading = 0xA1;
/// The reply to the closing zero when the copy failed.
inline constexpr std::uint8_t FailureReply = 0xA5;
}  // namespace CardByte

namespace CardStatus {
inline constexpr std::uint8_t CardPresentBit = 0x40;
inline constexpr std::uint8_t CommunicationErrorBit = 0x04;
inline constexpr std::uint8_t CommandOrAckErrorBit = 0x08;
inline constexpr std::uint8_t PulledOutBit = 0x10;
/// The whole status byte of a card inserted the wrong way round.
inline constexpr std::uint8_t WronglyInserted = 0x31;
}  // namespace CardStatus
