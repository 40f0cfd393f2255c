#include "tools/mervfleet/line_failures.h"

#include <algorithm>
#include <array>

#include "base/error_numbers.h"

namespace {

constexpr std::array<ErrorNumber, 8> LineFailures = {ErrorNumber::NoAnswer,       ErrorNumber::LineFailure,
                                                     ErrorNumber::ConnectFailure, ErrorNumber::NetworkSilent,
                                                     ErrorNumber::ModemSilent,    ErrorNumber::LineBusy,
                                                     ErrorNumber::NoConnection,   ErrorNumber::OtherModemError};

}  // namespace

bool IsLineFailure(int number) {
  return std::any_of(LineFailures.begin(), LineFailures.end(),
                     [number](ErrorNumber failure) { return NumberOf(failure) == number; });
}
