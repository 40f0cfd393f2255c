#pragma once
// Base64 with the standard alphabet (A-Z, a-z, 0-9, "+", "/") and "=" padding,
// the text form of the cipher's output. Bytes in, text out, and back.
#include <string>
#include <string_view>

/// Four characters for every started group of three bytes; "" for "".
std::string EncodeBase64(std::string_view bytes);

/// EncodeBase64 appending to `text`.
void AppendEncodedBase64(std::string_view bytes, std::string& text);

/// The bytes of a canonical Base64 text. Throws std::invalid_argument when the
/// length is not a multiple of four, a character is outside the alphabet,
/// padding stands anywhere but at the end, or the unused bits of the last
/// group are not zero.
std::string DecodeBase64(std::string_view text);

/// DecodeBase64 appending to `bytes`. On failure `bytes` keeps what it held.
void AppendDecodedBase64(std::string_view text, std::string& bytes);
