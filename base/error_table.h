#pragma once
// The error table: every number the program can write to "error.dat", with
// its Czech text (the text of the "#nn:" message), an English meaning and
// what to check. The messages, `mervmodul --explain`, docs/errors.md and the
// manual page's ERRORS section are all made from it.
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct TErrorEntry {
  int Number = 0;
  /// The Czech text's identifier in the resource table; 0 when the text is
  /// the one below.
  int TextId = 0;
  /// The Czech text (UTF-8) of a number whose text is not in the resource table.
  std::string_view OwnText;
  /// What happened, in English.
  std::string_view Meaning;
  /// What to check: cable, speed, model code, file, register state.
  std::string_view Advice;
};

/// Every row, in rising order of the number.
std::span<const TErrorEntry> ErrorTable();

/// The row of a number, or none.
const TErrorEntry* FindErrorEntry(int number);

/// One number explained: the Czech text in UTF-8 (its "%s" placeholder kept),
/// the English meaning and the advice.
struct TErrorExplanation {
  int Number = 0;
  std::string Czech;
  std::string Meaning;
  std::string Advice;
};

/// The explanation of a number, or none when the program never writes it;
/// the advice in this platform's terms.
std::optional<TErrorExplanation> ExplainError(int number);

/// The same for the documents, which serve Linux and Windows alike: where
/// the advice differs by platform, it names each.
std::optional<TErrorExplanation> ExplainErrorOnEveryPlatform(int number);

/// The Czech text of a number in code page 1250 in the language the process
/// runs with, as the "#nn:" message carries it; empty for numbers without a text.
std::string ErrorTextOf(int number);
