#include "app/activity_table.h"

#include <algorithm>
#include <iterator>
#include <cctype>

#include "app/card_transfer.h"
#include "app/daily_sales_export.h"
#include "app/journal_activities.h"
#include "app/modem_activities.h"
#include "app/open_tables_export.h"
#include "app/register_activities.h"
#include "model/table_numbers.h"

namespace {

using enum WordMatch;
namespace T = TableNumber;

void CopyCard(TActivityRun& run) { TransferCard(run.Settings, run.Parameters, run.Lines.Options); }

// Word, match, needs a line, with the catalogue, table, step, export values.
constexpr TActivity ActivityRows[] = {
    {"SAVEZUR", Exact, true, true, T::Journal, SaveJournalToFile, false},
    {"SAVERESETZUR", Exact, true, true, T::Journal, SaveJournalAndReset, false},
    {"PRINTZUR", Exact, false, true, T::Journal, PrintStoredJournal, false},
    {"PRINTUCT", Exact, false, true, T::Journal, PrintReceiptCopies, false},
    {"PLU", Exact, true, true, T::PluAnswer, QueryPlu, false},
    {"ROT", Exact, true, true, T::OpenTables, ExportOpenTables, false},
    {"OLJ", Exact, true, true, T::JournalFromRow, ReadJournalFromRow, false},
    {"RJF", Exact, true, true, T::JournalRowAnswer, QueryJournalRow, false},
    {"BLOCK", Exact, true, true, T::Block, BlockRegister, false},
    {"DEBLOCK", Exact, true, true, T::Block, BlockRegister, false},
    {"EXPORTZ74", AnyCase, true, true, T::DailyPluReport, ExportDailySales, true},
    {"W", LetterAndTable, true, true, TableOfWord, SendTableFromFile, false},
    {"R", LetterAndTable, true, true, TableOfWord, ReadTableToFile, false},
    {"D", LetterAndTable, true, true, TableOfWord, CompareTableWithFile, false},
    {"A", LetterAndTable, true, true, TableOfWord, SendTableFromFile, false},
    {"N", LetterAndReset, true, true, TableOfWord, SendReset, false},
    {"V03", Exact, true, true, NoTable, SendNewPlu, false},
    {"STS", Exact, true, true, T::ShortFinancialReport, SaveKeyPosition, false},
    {"PCSR", Prefix, true, false, NoTable, CopyCard, false},
    {"PCSW", Prefix, true, false, NoTable, CopyCard, false},
    {"MODEMDIAL", Exact, true, false, NoTable, DialModem, false},
    {"MODEMHANGUP", Exact, true, false, NoTable, HangUpModem, false},
};

bool SameWordIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

bool Matches(const TActivity& row, std::string_view activity) {
  switch (row.Match) {
    case Exact:
      return activity == row.Word;
    case AnyCase:
      return SameWordIgnoringCase(activity, row.Word);
    case Prefix:
      return activity.starts_with(row.Word);
    case LetterAndTable:
      return activity.starts_with(row.Word) && NumberAfterLetter(activity, 10).has_value();
    case LetterAndReset:
      return activity.starts_with(row.Word) && NumberAfterLetter(activity, 16).has_value();
  }
  return false;
}

}  // namespace

std::span<const TActivity> Activities() { return ActivityRows; }

const TActivity* FindActivity(std::string_view activity) {
  const auto found = std::find_if(std::begin(ActivityRows), std::end(ActivityRows),
                                  [activity](const TActivity& row) { return Matches(row, activity); });
  return found == std::end(ActivityRows) ? nullptr : &*found;
}
