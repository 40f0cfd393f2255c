#include "app/kom_error.h"

#include "model/code_page.h"
#include "model/localized_texts.h"

namespace {

constexpr int RefusedResetNumber = 49;

// Text identifier of an error number; 0 for numbers without a text.
int TextIdOf(int number) {
  switch (number) {
    case 22: return 875;
    case 23: return 597;
    case 25: return 598;
    case 26: return 422;
    case 32: return 596;
    case 33: return 480;
    case 34: return 475;
    case 35: return 599;
    case 36: return 600;
    case 38: return 606;
    case 56: return 1002;
    case 57: return 1029;
    case 58: return 1051;
    case UnnumberedFailure: return 0;
    default: break;
  }
  if (number >= 27 && number <= 31) return number + 411;
  if (number >= 39 && number <= 46) return number + 568;
  if (number == 47 || number == 48) return number + 604;
  return number + 350;
}

std::string TwoDigits(int number) {
  const std::string digits = std::to_string(number);
  return digits.size() < 2 ? "0" + digits : digits;
}

}  // namespace

std::string FormatError(int number, std::string_view argument) {
  if (number == RefusedResetNumber) return Utf8ToCp1250("#49:Nepovolený reset");
  const int textId = TextIdOf(number);
  const std::string text = textId == 0 ? std::string() : LoadTextWith(textId, argument);
  return "#" + TwoDigits(number) + ":" + text;
}

void RaiseError(int number, std::string_view argument) { throw EKomError(FormatError(number, argument)); }

int ErrorNumberOf(std::string_view message) {
  if (message.size() < 3 || message[0] != '#') return UnnumberedFailure;
  const char tens = message[1];
  const char ones = message[2];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return UnnumberedFailure;
  return (tens - '0') * 10 + (ones - '0');
}
