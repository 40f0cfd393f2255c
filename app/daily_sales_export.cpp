#include "app/daily_sales_export.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "app/activity_run.h"
#include "app/decimal_separator.h"
#include "base/file_name.h"
#include "base/communication_log.h"
#include "base/durable_file.h"
#include "base/input_file.h"
#include "base/joined_text.h"
#include "base/kom_error.h"
#include "base/local_clock.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "model/convert_error.h"
#include "model/soubory.h"
#include "model/value_conversions.h"

namespace {

constexpr int AmountColumn = 2;
constexpr int EanColumn = 3;
constexpr int QuantityColumn = 4;
constexpr int QuantityDecimals = 3;

__extension__ typedef __int128 Wide;

/// numerator / denominator to the nearest integer, halves away from zero.
std::int64_t RoundedQuotient(Wide numerator, Wide denominator) {
  Wide quotient = numerator / denominator;
  const Wide remainder = numerator % denominator;
  const Wide twiceRemainder = remainder < 0 ? -2 * remainder : 2 * remainder;
  if (twiceRemainder >= (denominator < 0 ? -denominator : denominator)) {
    quotient += (numerator < 0) == (denominator < 0) ? 1 : -1;
  }
  return static_cast<std::int64_t>(quotient);
}

/// Hundredths as fixed-point text with two decimals.
std::string Hundredths(std::int64_t value, char separator) {
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::uint64_t cents = magnitude % 100;
  return JoinedText({value < 0 ? "-" : "", std::to_string(magnitude / 100), std::string_view(&separator, 1),
                     cents < 10 ? "0" : "", std::to_string(cents)});
}

/// The integer of `text`, or 0 with the log line `complaint` + text.
std::int64_t NumberOrZero(std::string_view digits, const std::string& complaint, const std::string& shown) {
  try {
    return StrToInt64(digits);
  } catch (const EConvertError&) {
    LogLine(complaint + shown);
    return 0;
  }
}

std::string TwoDigits(int value) { return JoinedText({value < 10 ? "0" : "", std::to_string(value)}); }

}  // namespace

std::string ComposeExportFileName(const std::string& programFolder, const CommandParameters& parameters,
                                  const std::tm& day) {
  std::string folder = parameters.ExportDir.empty() ? programFolder : parameters.ExportDir;
  if (!folder.empty() && folder.back() != PathSeparator()) folder += PathSeparator();
  return folder + std::to_string(day.tm_year + 1900) + TwoDigits(day.tm_mon + 1) + TwoDigits(day.tm_mday) + "_" +
         parameters.ShopId + "_" + parameters.RegisterId + ".csv";
}

std::string ComposeExportFileName(const std::string& programFolder, const CommandParameters& parameters) {
  return ComposeExportFileName(programFolder, parameters, LocalTimeNow());
}

std::string DailySalesLine(const TSoubor& table, int row, char decimalSeparator) {
  const TRadek& cells = table.Rows.at(static_cast<std::size_t>(row));
  const std::string& ean = cells.Cell(EanColumn);
  const std::string& amountText = cells.Cell(AmountColumn);
  const std::string& quantityText = cells.Cell(QuantityColumn);

  const std::int64_t amount = NumberOrZero(amountText, "Chybny udaj o trzbe: EAN " + ean + "  = ", amountText);
  std::string quantityDigits = quantityText;
  if (quantityDigits.size() > QuantityDecimals) quantityDigits.erase(quantityDigits.size() - QuantityDecimals - 1, 1);
  const std::int64_t quantity =
      NumberOrZero(quantityDigits, "Chybny udaj o mnozstvi: EAN " + ean + "  = ", quantityText);

  // amount / 100 divided by quantity / 1000, in hundredths.
  const std::int64_t price = quantity == 0 ? 0 : RoundedQuotient(Wide{amount} * 1000, quantity);
  const std::int64_t quantityHundredths = RoundedQuotient(quantity, 10);
  return ean + ";;" + ean + ";" + Hundredths(price, decimalSeparator) + ";0;0;" + Hundredths(amount, decimalSeparator) +
         ";" + Hundredths(quantityHundredths, decimalSeparator) + ";0";
}

// Each export of a day moves the earlier one aside with one ".bak" more;
// once the name would exceed what the file system takes, the export is
// refused, naming the files to clear.
[[noreturn]] void RefuseTooManyBackups(const std::string& file) {
  const std::string text = "Nelze odlozit soubor \"" + file + "\": jmena " + FileNameOf(file) +
                           ".bak... dosahla delky " + std::to_string(LongestFileName) +
                           " znaku; smazte nebo presunte soubory " + file + ".bak*";
  LogLine(text);
  throw EKomError(ErrorNumber::OutputFileFailure,
                  ErrorText(NumberOf(ErrorNumber::OutputFileFailure)) + " (" + text + ")");
}

// An earlier export is kept under a ".bak" name that is still free. A regular
// file or a link under the name is moved (a link itself, never what it leads
// to); anything else is replaced or refused when the export is written.
void MoveAside(const std::string& file) {
  using Kind = TFileEntry::Kind;
  const Kind kind = LookAtEntry(file).kind;
  if (kind != Kind::Regular && kind != Kind::Link) return;
  std::string backup = file + ".bak";
  for (;;) {
    while (LookAtEntry(backup).kind != Kind::Missing) backup += ".bak";
    if (FileNameOf(backup).size() > LongestFileName) RefuseTooManyBackups(file);
    try {
      if (RenameWithoutReplacing(file, backup)) return;
    } catch (const std::system_error&) {
      throw std::runtime_error("Nelze prejmenovat soubor \"" + file + "\" na \"" + backup + "\"");
    }
  }
}

void ExportDailySales(TActivityRun& run) {
  TSoubor* table = run.Table;
  run.Transfer({{table}, false});
  const std::string& file = run.Parameters.DataFile;
  MoveAside(file);
  if (run.TransferFailed()) return;

  LogLine("Vytvarim soubor " + file);
  const char separator = DecimalSeparator();
  SaveWith([&] {
    // The day's name is the module's own: whatever is planted under it
    // (a link, a FIFO) is replaced, never followed.
    TSafeOutputFile out(file, LinkRule::Replace);
    for (int row = 0; row < static_cast<int>(table->Rows.size()); ++row) {
      out.Write(DailySalesLine(*table, row, separator) + "\r\n");
    }
    out.Commit();
  });
  LogLine("Vystupni soubor uzavren");
}
