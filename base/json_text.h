#pragma once
// Text as a JSON string literal, for the machine-readable outcome files.
#include <string>
#include <string_view>

/// `text` quoted as a JSON string: quote and backslash escaped, control
/// bytes as \u00XX, valid UTF-8 copied as it is. A byte that begins no valid
/// UTF-8 sequence (a path in another code page, a cut or overlong sequence,
/// a surrogate) becomes U+FFFD, one for each such byte, so the result is
/// always valid UTF-8 and valid JSON.
std::string JsonString(std::string_view text);

/// True when `text` is valid UTF-8 throughout, as JsonString tells it.
bool IsUtf8(std::string_view text);
