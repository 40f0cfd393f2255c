#pragma once
// The field forms of decoded journal lines: how a date, an amount, a
// quantity, a rate, a VAT group or a name sits in a receipt line. Each form
// has a fixed shape; widths are in characters.
//
//   date and time  "DD.MM.YY HH:MM" from six bytes: year, month, day, one
//                  unused byte, hour, minute (14 characters);
//   amount         a sign byte, five bytes of whole units and one of
//                  hundredths: leading zeros blank, "-" just before the first
//                  digit when the sign byte is not 00, sign byte E0 the
//                  free-of-charge text (15 characters, the wide amount of six
//                  whole bytes 17);
//   quantity       eight digits, three of them decimals, a first digit 8
//                  for a negative value (9 characters);
//   rate           six digits, two of them decimals (7 characters).
#include <string>
#include <string_view>

#include "journal/journal_record_text.h"

/// The date and time whose six bytes start at byte b.
std::string DateTimeField(const TJournalRecordText& record, int b);
/// The amount at byte b; with a width above 0 only its rightmost `width`
/// characters. A free-of-charge amount is text 626 left-padded to the width.
std::string AmountField(const TJournalRecordText& record, int b, std::size_t width);
/// As AmountField with six bytes of whole units.
std::string WideAmountField(const TJournalRecordText& record, int b, std::size_t width);
/// The quantity at byte b.
std::string QuantityField(const TJournalRecordText& record, int b);
/// The rate at byte b.
std::string RateField(const TJournalRecordText& record, int b);
/// The VAT group at byte b (read as a decimal number g): two blanks for 0,
/// "T" + g in English and German, else a blank and the group's letter.
std::string VatGroupField(const TJournalRecordText& record, int b);
/// The group's letter (1 "A", 2 "B" ...) or, in English and German, its number.
std::string VatGroupName(int group);
/// The text right-padded with blanks until it is longer than `width`.
std::string NameField(std::string_view text, std::size_t width);
/// The text left-padded with blanks to `width`.
std::string AlignRight(std::string_view text, std::size_t width);
