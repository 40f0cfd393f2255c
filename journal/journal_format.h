#pragma once
// The journal file, as shared by its writer and its reader. The file is a
// sequence of texts of a TDataStream (enciphered by the activities):
//
//   CurrentMagic                                   once
//   number of receipt-header lines, decimal        data line
//   each receipt-header line                       data line
//   per journal record, in the register's order:
//     the record as 40 hex digits                  data line
//     its decoded main line                        data line
//     SecondMarker, then the second line           when the second line is set
//     ThirdMarker, then the third line             when the third line is set
//   EndMarker                                      once
//
// Every data line is written twice in a row; a reader takes the first and
// requires the second to be equal. Markers are written once. Files of the
// older version (OlderMagic) lack the count and the header lines; they are
// read, never written.
#include <cstddef>
#include <string_view>

namespace JournalFormat {

inline constexpr std::string_view CurrentMagic = "ZURNALMERVMANAGERSOUBOR2";
inline constexpr std::string_view OlderMagic = "ZURNALMERVMANAGERSOUBOR";
inline constexpr std::string_view SecondMarker = "SECOND";
inline constexpr std::string_view ThirdMarker = "THIRD";
inline constexpr std::string_view EndMarker = "KONECZURNALU";

/// Length of a record in hex digits.
inline constexpr std::size_t RecordDigits = 40;

}  // namespace JournalFormat

// The journal's failure messages (UTF-8; raised in code page 1250).
namespace JournalErrors {

inline constexpr std::string_view NoFileName = "#50:soubor pro uložení žurnálu není definován";
inline constexpr std::string_view FileExists = "#51:soubor pro uložení žurnálu již existuje";
inline constexpr std::string_view SaveFailed = "#52:chyba při uložení žurnálu do souboru";
inline constexpr std::string_view FileMissing = "#53:nebyl nalezen soubor s uloženým žurnálem";
inline constexpr std::string_view BadFormat = "#54:chybný formát souboru s uloženým žurnálem";
inline constexpr std::string_view PrintFailed = "#55:neznámá chyba při přípravě tisku";

/// Throws EKomError with the message in code page 1250.
[[noreturn]] void Raise(std::string_view utf8Message);

}  // namespace JournalErrors
