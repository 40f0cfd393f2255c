#pragma once
// Numbered failures meant for the caller of the program. The message is "#",
// the number in two digits, ":" and the text; the command processor reads the
// number back from the message and writes it to "error.dat".
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/error_numbers.h"

class EKomError : public std::runtime_error {
public:
  explicit EKomError(const std::string& message) : std::runtime_error(message) {}
};

/// "#nn:" + the text of the error number, with `argument` put in place of the
/// text's "%s" (texts without a placeholder ignore it). Code page 1250.
std::string FormatError(int number, std::string_view argument = {});
inline std::string FormatError(ErrorNumber number, std::string_view argument = {}) {
  return FormatError(NumberOf(number), argument);
}

/// Throws EKomError(FormatError(number, argument)).
[[noreturn]] void RaiseError(ErrorNumber number, std::string_view argument = {});

/// The number carried by a failure message: its second and third characters
/// when it begins with "#", else 10.
int ErrorNumberOf(std::string_view message);

/// Number used for every failure whose message carries no number.
constexpr int UnnumberedFailure = NumberOf(ErrorNumber::Unnumbered);
