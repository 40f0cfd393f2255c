#pragma once
// The error table in the forms a person reads: `mervmodul --explain`, the
// document docs/errors.md and the ERRORS section of the manual page. A test
// keeps the two documents equal to what these functions make.
#include <optional>
#include <string>
#include <string_view>

/// "Error 4: <Czech text>", the meaning and what to check, one per line;
/// number 0 is success. Empty for a number the program never writes.
std::string ExplanationText(int number);

/// The number on the first line of an "error.dat" (" 4", "48"), or none when
/// the text does not begin with one.
std::optional<int> OutcomeNumberOf(std::string_view errorDat);

/// docs/errors.md: a table of every number with its Czech text, meaning and advice.
std::string ErrorDocument();

/// The ERRORS section of man/mervmodul.1, from ".SH ERRORS" up to the next section.
std::string ErrorManSection();
