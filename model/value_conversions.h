#pragma once
// The small value conversions shared by the interpreters, the transfers, the
// table files and the journal: hexadecimal pairs, packed decimal numbers,
// three-decimal quantities, the register's character set and fixed-width text.
// All texts are 8-bit; program texts are code page 1250, register texts code
// page 852. Failed number conversions raise EConvertError (convert_error.h).
//
// Packed decimal: two decimal digits a byte, the high half-byte first, the
// most significant byte first. A signed field starts with a sign byte (0 for
// positive, anything else negative) followed by the digit bytes.
#include <cstdint>
#include <string>
#include <string_view>

/// Decimal integer text to a 64-bit integer: leading blanks and one sign are
/// allowed, nothing after the digits. Anything else, or a value out of range,
/// raises EConvertError "'text' is not a valid integer value".
std::int64_t StrToInt64(std::string_view text);
/// As StrToInt64, for the 32-bit range.
std::int32_t StrToInt(std::string_view text);

/// Value of one hexadecimal digit (0-9, A-F, a-f); any other character is 0.
std::uint8_t HexDigitValue(char digit);
/// First character the high half, second the low half (see HexDigitValue).
std::uint8_t HexPairToByte(char high, char low);

/// Without leading blanks and NUL characters.
std::string TrimLeadingBlanks(std::string_view text);
/// Without trailing blanks and NUL characters.
std::string TrimTrailingBlanks(std::string_view text);
/// Removes leading "0" characters while the text is longer than `keep`.
std::string StripLeadingZeros(std::string_view text, std::size_t keep);

/// A packed decimal field as a number. Unsigned: all bytes are digits. Signed:
/// the first byte is the sign, the other bytes the digits. A half-byte above 9
/// or a value beyond the 64-bit range raises EConvertError naming the digits.
/// A field without digit bytes is 0.
std::int64_t PackedToInteger(std::string_view bytes, bool isSigned);

/// An integer text in thousandths shown with three decimals: the digits (after
/// an optional "-") are left-padded with "0" to four, then "." goes before
/// the last three. "5" -> "0.005", "-5" -> "-0.005", "1234567" -> "1234.567".
std::string ThousandthsText(std::string_view integerText);

/// Code page 1250 to 852 for the 44 Czech and Slovak accented letters. The 30
/// bytes that are a letter's code in 852 but no letter in 1250 trade places
/// with those the letters leave, so that FromRegisterCharset undoes it; every
/// other byte is unchanged.
std::string ToRegisterCharset(std::string_view text);
/// Code page 852 to 1250 for the same 44 letters, the exact inverse of
/// ToRegisterCharset.
std::string FromRegisterCharset(std::string_view text);

/// Every byte 80h (the euro sign of code page 1250) becomes "EUR".
std::string EuroToText(std::string_view text);
/// Every byte equal to `from` becomes `to`.
std::string ReplaceByte(std::string_view text, char from, char to);
/// The first `width` characters, right-padded with blanks to exactly `width`.
std::string FitText(std::string_view text, std::size_t width);
/// The number in decimal, its digits left-padded with "0" to at least `digits`.
std::string ZeroPadNumber(std::uint16_t number, int digits);
std::string ZeroPadNumber(std::int32_t number, int digits);

/// Whether a cell text is acceptable for a column of the given type (0 to 4):
/// types 0 and 1 digits only (type 1 at least one, as it is read as a
/// number), type 4 hexadecimal digits only, type 2 "[-]digits.ddd" of more
/// than four characters, type 3 anything. Unknown types accept nothing.
bool CellPassesInputCheck(std::uint8_t columnType, std::string_view cell);

/// A price typed with a decimal separator, for a type 0 column, in the
/// register's integer form: the part before the first "." (else ",")
/// followed by exactly two decimals ("12.5" -> "1250", "12,345" -> "1234",
/// "12." -> "1200"). Only "[sign]digits separator digits" with at least one
/// digit is rewritten; any other text ("1.299,00", "12.34abc"), a text
/// without a separator, and cells of other column types are returned
/// unchanged, for the column's type check to judge.
std::string PriceToRegisterForm(std::uint8_t columnType, std::string_view cell);
