#pragma once
// Text inside the program is 8-bit Windows code page 1250 (the Czech texts,
// the log, "error.dat"). Terminals and the resource sources speak UTF-8; these
// two functions are the only bridge between the two.
#include <string>
#include <string_view>

/// UTF-8 to code page 1250. A character that code page 1250 cannot hold, and
/// a malformed UTF-8 sequence, become "?".
std::string Utf8ToCp1250(std::string_view utf8);

/// Utf8ToCp1250 of one of the program's fixed texts (a log message said for
/// every frame), converted on its first use in the thread and kept for the
/// thread's life. Every distinct text is kept: not for texts that vary.
const std::string& KeptUtf8ToCp1250(std::string_view utf8);

/// Appends the UTF-8 form of one code point (up to U+10FFFF; a surrogate is
/// written in the same three-byte form, which a strict decoder refuses).
void AppendUtf8(std::string& out, char32_t cp);

/// Code page 1250 to UTF-8. The five bytes that code page 1250 leaves
/// undefined (81h, 83h, 88h, 90h, 98h) become U+FFFD.
std::string Cp1250ToUtf8(std::string_view cp1250);
