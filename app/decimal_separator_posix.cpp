#include "app/decimal_separator.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>

char DecimalSeparator() {
  // A locale object of its own: the process-wide numeric locale stays "C",
  // so record and file conversions never see a comma.
  const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return '.';
  const char* separator = nl_langinfo_l(RADIXCHAR, user);
  const char result = separator != nullptr && std::strlen(separator) == 1 ? separator[0] : '.';
  freelocale(user);
  return result;
}
