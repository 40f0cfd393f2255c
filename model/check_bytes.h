#pragma once
// The two check bytes that close every register record and link frame: the
// exclusive-or of the bytes, then the two's complement of the 8-bit sum of the
// bytes and the exclusive-or byte, so that a whole frame sums to 0 modulo 256.
// E9 00 03 becomes E9 00 03 EA 2A.
#include <cstdint>
#include <string>
#include <string_view>

/// Exclusive-or of all bytes (0 for none).
std::uint8_t CheckXor(std::string_view bytes);
/// Two's complement of the 8-bit sum of all bytes and CheckXor(bytes).
std::uint8_t CheckNeg(std::string_view bytes);
/// Appends CheckXor, then CheckNeg, to `bytes`.
void AddCheckBytes(std::string& bytes);
/// True when the frame is at least two bytes long and its last two bytes are
/// the check bytes of the bytes before them.
bool VerifyCheckBytes(std::string_view frame);
