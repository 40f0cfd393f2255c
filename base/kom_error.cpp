#include "base/kom_error.h"

#include "base/joined_text.h"
#include "base/error_table.h"
#include "base/localized_texts.h"

namespace {

std::string TwoDigits(int number) {
  const std::string digits = std::to_string(number);
  return digits.size() < 2 ? "0" + digits : digits;
}

}  // namespace

std::string FormatError(int number, std::string_view argument) {
  return JoinedText({"#", TwoDigits(number), ":", FormatText(ErrorTextOf(number), argument)});
}

void RaiseError(ErrorNumber number, std::string_view argument) { throw EKomError(FormatError(number, argument)); }

int ErrorNumberOf(std::string_view message) {
  if (message.size() < 3 || message[0] != '#') return UnnumberedFailure;
  const char tens = message[1];
  const char ones = message[2];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return UnnumberedFailure;
  return (tens - '0') * 10 + (ones - '0');
}
