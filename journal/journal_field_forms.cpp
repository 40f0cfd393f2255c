#include "journal/journal_field_forms.h"

#include <algorithm>

#include "base/joined_text.h"
#include "base/localized_texts.h"

namespace {

constexpr int FreeOfChargeText = 626;
constexpr std::string_view FreeOfChargeSign = "E0";
constexpr std::string_view PositiveSign = "00";
constexpr char NegativeQuantityMark = '8';

// Leading zeros become blanks, keeping at least the last digit; a negative
// value gets "-" in place of the last blank, or in front without one.
std::string BlankLeadingZeros(std::string digits, bool negative) {
  const std::size_t firstKept = std::min(digits.find_first_not_of('0'), digits.size() - 1);
  std::fill_n(digits.begin(), firstKept, ' ');
  if (negative) {
    if (firstKept > 0) {
      digits[firstKept - 1] = '-';
    } else {
      digits.insert(0, 1, '-');
    }
  }
  return digits;
}

std::string RightmostCharacters(std::string text, std::size_t width) {
  if (width > 0 && text.size() > width) text.erase(0, text.size() - width);
  return text;
}

std::string SignedAmount(const TJournalRecordText& record, int b, int wholeBytes, std::size_t width) {
  const std::string_view sign = record.Byte(b);
  if (sign == FreeOfChargeSign) return AlignRight(LoadText(FreeOfChargeText), width);
  std::string whole(PositiveSign);
  whole += record.Bytes(b + 1, b + wholeBytes);
  std::string text = BlankLeadingZeros(std::move(whole), sign != PositiveSign);
  text += '.';
  text += record.Byte(b + wholeBytes + 1);
  return RightmostCharacters(std::move(text), width);
}

}  // namespace

std::string DateTimeField(const TJournalRecordText& record, int b) {
  std::string text(record.Byte(b + 2));
  text += '.';
  text += record.Byte(b + 1);
  text += '.';
  text += record.Byte(b);
  text += ' ';
  text += record.Byte(b + 4);
  text += ':';
  text += record.Byte(b + 5);
  return text;
}

std::string AmountField(const TJournalRecordText& record, int b, std::size_t width) {
  return SignedAmount(record, b, 5, width);
}

std::string WideAmountField(const TJournalRecordText& record, int b, std::size_t width) {
  return SignedAmount(record, b, 6, width);
}

std::string QuantityField(const TJournalRecordText& record, int b) {
  std::string digits(record.Bytes(b, b + 3));
  const bool negative = digits[0] == NegativeQuantityMark;
  if (negative) digits[0] = '0';
  std::string text = BlankLeadingZeros(digits.substr(0, 5), negative);
  text += '.';
  text += digits.substr(5);
  return text;
}

std::string RateField(const TJournalRecordText& record, int b) {
  const std::string_view digits = record.Bytes(b, b + 2);
  std::string text = BlankLeadingZeros(std::string(digits.substr(0, 4)), false);
  text += '.';
  text += digits.substr(4);
  return text;
}

std::string VatGroupName(int group) {
  const int base = LanguageBase();
  if (base == EnglishLanguageBase || base == GermanLanguageBase) return std::to_string(group);
  return std::string(1, static_cast<char>('A' + group - 1));
}

std::string VatGroupField(const TJournalRecordText& record, int b) {
  const auto group = static_cast<int>(record.Decimal(b, b));
  if (group == 0) return "  ";
  const int base = LanguageBase();
  if (base == EnglishLanguageBase || base == GermanLanguageBase) return JoinedText({"T", VatGroupName(group)});
  return JoinedText({" ", VatGroupName(group)});
}

std::string NameField(std::string_view text, std::size_t width) {
  std::string field(text);
  if (field.size() <= width) field.resize(width + 1, ' ');
  return field;
}

std::string AlignRight(std::string_view text, std::size_t width) {
  std::string field(text.size() < width ? width - text.size() : 0, ' ');
  field += text;
  return field;
}
