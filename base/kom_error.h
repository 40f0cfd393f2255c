#pragma once
// Numbered failures meant for the caller of the program. A failure carries
// its number and its message apart: the number goes to "error.dat", the
// message ("#", the number in two digits, ":" and the text) to the log.
#include <cstddef>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/error_numbers.h"
#include "base/failure_recorder.h"

class EKomError : public std::runtime_error {
public:
  /// A numbered failure: its message is "#nn:" and `text`.
  EKomError(int number, const std::string& text);
  EKomError(ErrorNumber number, const std::string& text) : EKomError(NumberOf(number), text) {}

  /// A failure without a number of its own: it counts as UnnumberedFailure
  /// and its message is `message` alone.
  static EKomError Unnumbered(const std::string& message);

  int Number() const { return number_; }
  /// The message without its "#nn:" (what "error.json" shows).
  std::string_view Text() const { return std::string_view(what()).substr(textStart_); }

private:
  EKomError(int number, const std::string& message, std::size_t textStart)
      : std::runtime_error(message), number_(number), textStart_(textStart) {}

  int number_;
  std::size_t textStart_;
};

/// The text of the error number, with `argument` put in place of the text's
/// "%s" (texts without a placeholder ignore it). Code page 1250.
std::string ErrorText(int number, std::string_view argument = {});

/// "#nn:" + ErrorText(number, argument).
std::string FormatError(int number, std::string_view argument = {});
inline std::string FormatError(ErrorNumber number, std::string_view argument = {}) {
  return FormatError(NumberOf(number), argument);
}

/// Throws EKomError(number, ErrorText(number, argument)).
[[noreturn]] void RaiseError(ErrorNumber number, std::string_view argument = {});

/// Number used for every failure that carries no number.
constexpr int UnnumberedFailure = NumberOf(ErrorNumber::Unnumbered);

/// The number a failure reports: an EKomError's own, UnnumberedFailure for
/// any other exception.
int FailureNumberOf(const std::exception& failure);

/// Records a raised failure in `failures` when it is the first: its number
/// (FailureNumberOf) and its text (an EKomError's Text(), else what()). A
/// number 0 would read as success: it counts as UnnumberedFailure, with that
/// number's text.
void RecordFailure(TFailureRecorder& failures, const std::exception& failure);
/// Records a failure known by its number alone (the outcome of a transfer
/// run) when it is the first, with the number's text.
void RecordFailure(TFailureRecorder& failures, int number);
