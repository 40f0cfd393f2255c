#include "app/decimal_separator.h"

#include <windows.h>

char DecimalSeparator() {
  char separator[4] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator);
  // The length counts the terminating zero: 2 is a one-byte separator.
  return length == 2 ? separator[0] : '.';
}
