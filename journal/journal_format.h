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

#include "base/error_numbers.h"

namespace JournalFormat {

inline constexpr std::string_view CurrentMagic = "ZURNALMERVMANAGERSOUBOR2";
inline constexpr std::string_view OlderMagic = "ZURNALMERVMANAGERSOUBOR";
inline constexpr std::string_view SecondMarker = "SECOND";
inline constexpr std::string_view ThirdMarker = "THIRD";
inline constexpr std::string_view EndMarker = "KONECZURNALU";

/// Length of a record in hex digits.
inline constexpr std::size_t RecordDigits = 40;

}  // namespace JournalFormat

// The journal's failures (their texts are in the error table).
namespace JournalErrors {

inline constexpr ErrorNumber NoFileName = ErrorNumber::JournalFileUnnamed;
inline constexpr ErrorNumber FileExists = ErrorNumber::JournalFileExists;
inline constexpr ErrorNumber SaveFailed = ErrorNumber::JournalSaveFailed;
inline constexpr ErrorNumber FileMissing = ErrorNumber::JournalFileMissing;
inline constexpr ErrorNumber BadFormat = ErrorNumber::JournalFileDamaged;
inline constexpr ErrorNumber PrintFailed = ErrorNumber::PrintPreparationFailed;

/// Throws EKomError with the number's message.
[[noreturn]] void Raise(ErrorNumber number);

}  // namespace JournalErrors
