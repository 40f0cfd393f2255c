#pragma once
// The string resource table: every user-visible text and the description
// blocks, by 16-bit identifier, compiled into the executable in code page 1250.
// A text is fetched by its number relative to the language base: the base of
// the run in use (run_context.h), Czech without one.
#include <string>
#include <string_view>

constexpr int CzechLanguageBase = 12000;
constexpr int EnglishLanguageBase = 27000;
constexpr int SlovakLanguageBase = 39000;
constexpr int GermanLanguageBase = 51000;

int LanguageBase();

/// The text with identifier base + id (code page 1250), or the empty text when
/// the table has none. Id 156, the currency sign, is read from the Czech block
/// when the base is English or German.
std::string LoadText(int id);

/// The text with an absolute identifier, without the language base.
std::string LoadResourceString(int absoluteId);

/// The text with its first "%s" or "%d" replaced by `argument`.
std::string FormatText(std::string text, std::string_view argument);

/// FormatText of LoadText(id).
std::string LoadTextWith(int id, std::string_view argument);
