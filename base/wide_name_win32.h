#pragma once
// UTF-8 names and the UTF-16 of the Windows API, for the Windows files of
// base/ and of the programs. A name is converted exactly or refused: a byte
// sequence that is not UTF-8 has no UTF-16 form, and the system's own
// conversion would put U+FFFD or "?" in its place, naming another file.
#include <string>
#include <string_view>

/// The UTF-16 of a UTF-8 name; std::system_error (ERROR_NO_UNICODE_TRANSLATION)
/// naming the name when it is not UTF-8.
std::wstring WideName(std::string_view name);

/// True when WideName converts the name (it is UTF-8): for the lookups that
/// report a name that cannot exist as missing rather than fail.
bool ConvertsToWide(std::string_view name) noexcept;

/// The UTF-8 of UTF-16 text. A lone surrogate (a name Windows allows but
/// Unicode does not) is kept as its three-byte form, which is not UTF-8, so
/// that WideName refuses it later instead of opening another name.
std::string NameFromWide(std::wstring_view wide);
