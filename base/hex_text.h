#pragma once
// The hexadecimal text of bytes as the communication log writes it, both in
// its plain lines and inside its enciphered ones.
#include <cstdint>
#include <string>
#include <string_view>

/// Two upper-case hexadecimal digits, high nibble first.
std::string ByteToHex(std::uint8_t byte);

/// ByteToHex of every byte, run together.
std::string BytesToHex(std::string_view bytes);

/// ByteToHex of every byte, each followed by one blank.
std::string HexDump(std::string_view bytes);
