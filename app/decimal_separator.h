#pragma once
// The decimal separator of the user's regional settings, for the one file
// that follows them (the daily sales export). Everything else the module
// writes uses ".". One implementation per platform.

/// POSIX: the LC_NUMERIC locale of the environment (LC_ALL, LC_NUMERIC,
/// LANG); Windows: the user's regional settings. "." when there are none or
/// the separator is not a single byte.
char DecimalSeparator();
