#pragma once
// The line format of the enciphered communication log ("KL.log"), shared by
// its writer and its readers.
//
// The log text is cut into pieces of ten characters; there are
// N = length / 10 + 1 of them, so a length that is a multiple of ten ends with
// an empty piece. The pieces run through one cipher stream that is Reset at
// the start of the line. The line is all upper-case hex digits: ByteToHex of
// N mod 256, then for each piece ByteToHex of the length of its Base64 text
// and ByteToHex of each Base64 character.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/text_cipher.h"

inline constexpr std::size_t LogPieceLength = 10;

/// A line of the enciphered log that does not follow the format.
class EMalformedLogLine : public std::runtime_error {
public:
  explicit EMalformedLogLine(const std::string& reason) : std::runtime_error(reason) {}
};

/// The enciphered line of one log text, without the line end. Resets `cipher`
/// first.
std::string EncipherLogLine(std::string_view logText, TTextCipher& cipher);

/// The log text of one enciphered line (without its line end). Resets
/// `cipher` first. The piece count is checked modulo 256 against the pieces
/// that the line holds, so a text longer than 2559 characters still reads
/// back. Throws EMalformedLogLine for a bad hex digit, a truncated piece, bad
/// Base64, a piece of the wrong size or a count that does not match.
std::string DecipherLogLine(std::string_view line, TTextCipher& cipher);
