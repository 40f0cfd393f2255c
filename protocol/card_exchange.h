#pragma once
// The exchanges with the chip-card reader ("PCS") on a COM line. The reader
// holds a memory card of 256 bytes and speaks a byte-by-byte echo protocol:
// every command byte sent comes back unchanged, the status query (18h) is
// answered with 18h, the status byte and a byte that makes the two sum to 0.
//
// A card copy is StartCardExchange, block reads or writes, EndCardExchange.
// The port is borrowed, open on its slot with the reader's line settings; the
// image belongs to the caller. Every failure raises EKomError at once with
// the number of its step; nothing is retried and no end exchange is sent
// after a failure (the caller closes the port).
#include <array>
#include <cstdint>
#include <string_view>

class TPort;

inline constexpr int CardSize = 256;
using TCardImage = std::array<std::uint8_t, CardSize>;

/// True when the 8-bit sum of all bytes is 0.
bool SumIsZero(std::string_view bytes);

/// Drains the line, greets the reader (06h 00h FFh) and checks its status:
/// no card #42, then communication error #44, bad command or ACK #45, card
/// pulled out wrongly #46.
void StartCardExchange(TPort& port);

/// Reads `length` bytes of the card from `start` into the image. With
/// `verify`, returns false when a byte differs from the image (the image
/// still takes the card's bytes); otherwise true.
bool ReadCardBlock(TPort& port, TCardImage& image, int start, int length, bool verify);

/// Writes `length` bytes of the image from `start` onto the card; every data
/// byte must come back unchanged (#39).
void WriteCardBlock(TPort& port, const TCardImage& image, int start, int length);

/// Ends the exchange: the reader answers 00h; A5h is #40, anything else #39.
void EndCardExchange(TPort& port);
