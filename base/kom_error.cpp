#include "base/kom_error.h"

#include "base/code_page.h"
#include "base/localized_texts.h"

namespace {

// Text identifier of an error number; 0 for numbers without a text.
int TextIdOf(int number) {
  switch (number) {
    case NumberOf(ErrorNumber::BadTableFile): return 875;
    case NumberOf(ErrorNumber::BadModelCode): return 597;
    case NumberOf(ErrorNumber::BadCodePage): return 598;
    case NumberOf(ErrorNumber::RegisterFull): return 422;
    case NumberOf(ErrorNumber::BadFileFormat): return 596;
    case NumberOf(ErrorNumber::ModemSilent): return 480;
    case NumberOf(ErrorNumber::LineBusy): return 475;
    case NumberOf(ErrorNumber::NoConnection): return 599;
    case NumberOf(ErrorNumber::OtherModemError): return 600;
    case NumberOf(ErrorNumber::BadJournalRow): return 606;
    case NumberOf(ErrorNumber::SortRefused): return 1002;
    case NumberOf(ErrorNumber::CardInsertedBadly): return 1029;
    case NumberOf(ErrorNumber::KeyNotOff): return 1051;
    case UnnumberedFailure: return 0;
    default: break;
  }
  const auto within = [number](ErrorNumber first, ErrorNumber last) {
    return number >= NumberOf(first) && number <= NumberOf(last);
  };
  if (within(ErrorNumber::ResetBusy, ErrorNumber::NetworkSilent)) return number + 411;
  if (within(ErrorNumber::BadCardReply, ErrorNumber::CardRemovedBadly)) return number + 568;
  if (within(ErrorNumber::NoIpAddress, ErrorNumber::NoIpPort)) return number + 604;
  return number + 350;
}

std::string TwoDigits(int number) {
  const std::string digits = std::to_string(number);
  return digits.size() < 2 ? "0" + digits : digits;
}

}  // namespace

std::string FormatError(int number, std::string_view argument) {
  if (number == NumberOf(ErrorNumber::RefusedReset)) return Utf8ToCp1250("#49:Nepovolený reset");
  const int textId = TextIdOf(number);
  const std::string text = textId == 0 ? std::string() : LoadTextWith(textId, argument);
  return "#" + TwoDigits(number) + ":" + text;
}

void RaiseError(ErrorNumber number, std::string_view argument) { throw EKomError(FormatError(number, argument)); }

int ErrorNumberOf(std::string_view message) {
  if (message.size() < 3 || message[0] != '#') return UnnumberedFailure;
  const char tens = message[1];
  const char ones = message[2];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return UnnumberedFailure;
  return (tens - '0') * 10 + (ones - '0');
}
