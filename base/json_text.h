#pragma once
// Text as a JSON string literal, for the machine-readable outcome files.
#include <string>
#include <string_view>

/// `text` quoted as a JSON string: quote and backslash escaped, control
/// bytes as \u00XX; other bytes are copied as they are.
std::string JsonString(std::string_view text);
