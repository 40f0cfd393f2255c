#include "base/kom_error.h"

#include "base/joined_text.h"
#include "base/error_table.h"
#include "base/localized_texts.h"

namespace {

std::string TwoDigits(int number) {
  const std::string digits = std::to_string(number);
  return digits.size() < 2 ? "0" + digits : digits;
}

std::string NumberPrefix(int number) { return JoinedText({"#", TwoDigits(number), ":"}); }

}  // namespace

EKomError::EKomError(int number, const std::string& text)
    : EKomError(number, NumberPrefix(number) + text, NumberPrefix(number).size()) {}

EKomError EKomError::Unnumbered(const std::string& message) { return {UnnumberedFailure, message, 0}; }

std::string ErrorText(int number, std::string_view argument) { return FormatText(ErrorTextOf(number), argument); }

std::string FormatError(int number, std::string_view argument) {
  return NumberPrefix(number) + ErrorText(number, argument);
}

void RaiseError(ErrorNumber number, std::string_view argument) {
  throw EKomError(number, ErrorText(NumberOf(number), argument));
}

int FailureNumberOf(const std::exception& failure) {
  const auto* numbered = dynamic_cast<const EKomError*>(&failure);
  return numbered != nullptr ? numbered->Number() : UnnumberedFailure;
}

void RecordFailure(TFailureRecorder& failures, const std::exception& failure) {
  const int number = FailureNumberOf(failure);
  if (number == 0) return RecordFailure(failures, UnnumberedFailure);
  const auto* numbered = dynamic_cast<const EKomError*>(&failure);
  failures.Record(number, numbered != nullptr ? std::string(numbered->Text()) : std::string(failure.what()));
}

void RecordFailure(TFailureRecorder& failures, int number) {
  const int counted = number != 0 ? number : UnnumberedFailure;
  failures.Record(counted, ErrorText(counted));
}
