#include "app/open_tables_export.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <system_error>

#include "base/kom_error.h"
#include "base/safe_output_file.h"
#include "app/activity_run.h"
#include "journal/journal_texts.h"
#include "model/table_file.h"
#include "model/table_numbers.h"
#include "model/convert_error.h"
#include "base/localized_texts.h"
#include "model/soubory.h"
#include "model/value_conversions.h"
#include "base/communication_log.h"

namespace {

constexpr int TableColumn = 0;
constexpr int OperatorColumn = 1;
constexpr int TableAmountColumn = 2;
constexpr int QuantityColumn = 1;
constexpr int KindColumn = 2;
constexpr int PluCodeColumn = 3;
constexpr int VatIndexColumn = 4;
constexpr int UnitPriceColumn = 6;
constexpr int NameColumn = 1;
constexpr int PluCodeOfPluTable = 1;
constexpr int PluNameColumn = 2;
constexpr int VatRateColumn = 1;

constexpr std::size_t OperatorNameWidth = 18;

__extension__ typedef __int128 Wide;

/// Cell `column` of row number − 1, when 1 <= number <= the row count.
const std::string* NameOfNumber(const TSoubor& table, std::int64_t number, int column) {
  if (number < 1 || number > static_cast<std::int64_t>(table.Rows.size())) return nullptr;
  return &table.Rows[static_cast<std::size_t>(number - 1)].Cell(column);
}

bool HasIntegerValue(const std::string& text, std::int64_t wanted) {
  try {
    return StrToInt64(text) == wanted;
  } catch (const EConvertError&) {
    return false;
  }
}

std::string PluName(const TSoubor& plu, const std::string& codeText) {
  std::int64_t code = 0;
  try {
    code = StrToInt64(codeText);
  } catch (const EConvertError&) {
    return LoadText(JournalText::Plu) + " " + codeText;
  }
  const auto found = std::find_if(plu.Rows.rbegin(), plu.Rows.rend(), [code](const TRadek& row) {
    return HasIntegerValue(row.Cell(PluCodeOfPluTable), code);
  });
  return found != plu.Rows.rend() ? found->Cell(PluNameColumn) : LoadText(JournalText::Plu) + " " + codeText;
}

/// price × thousandths / 1000 to the nearest integer, a half to the even neighbour.
std::int64_t ItemTotal(std::int64_t unitPrice, std::int64_t thousandths) {
  const Wide product = Wide{unitPrice} * thousandths;
  Wide quotient = product / 1000;
  const Wide remainder = product % 1000;
  const Wide twice = remainder < 0 ? -2 * remainder : 2 * remainder;
  const int away = product < 0 ? -1 : 1;
  if (twice > 1000 || (twice == 1000 && quotient % 2 != 0)) quotient += away;
  return static_cast<std::int64_t>(quotient);
}

// A rate row of unprogrammed register memory holds hex digits ("FFFF"): it
// names no rate, as a row that is not there, rather than ending the export.
std::optional<std::int64_t> VatRateOf(const TSoubor& vat, int index) {
  const std::string* rate = NameOfNumber(vat, index, VatRateColumn);
  if (rate == nullptr) return std::nullopt;
  try {
    return StrToInt64(*rate);
  } catch (const EConvertError&) {
    LogLine("Sazba DPH " + std::to_string(index) + " neni cislo: " + *rate);
    return std::nullopt;
  }
}

std::string VatTextOf(const TSoubor& vat, int index) {
  if (const auto rate = VatRateOf(vat, index)) return std::to_string(*rate / 100);
  return LoadText(JournalText::Vat) + std::to_string(index);
}

bool IsDepartmentKind(const std::string& kind) { return kind.size() >= 4 && kind.substr(2, 2) == "D0"; }

std::string InCodePage(std::string line, int codePage) {
  if (codePage == TableFileCodePage::Register) return ToRegisterCharset(line);
  return line;
}

std::string FileLine(const std::string& line) { return ReplaceByte(line, '|', ';') + "\r\n"; }

}  // namespace

std::string OpenTableHeaderLine(const TRadek& openTable, const TOpenTableNames& names) {
  const std::string& operatorText = openTable.Cell(OperatorColumn);
  const int operatorNumber = operatorText.size() >= 2 ? HexPairToByte(operatorText[0], operatorText[1]) : 0;
  const std::string* name = NameOfNumber(names.Operators, operatorNumber, NameColumn);
  const std::string shownName = name != nullptr ? name->substr(0, OperatorNameWidth) : std::to_string(operatorNumber);
  return "T|" + openTable.Cell(TableColumn) + "|" + std::to_string(operatorNumber) + "|" + shownName + "|" +
         openTable.Cell(TableAmountColumn);
}

bool IsEmptyItemSlot(const TRadek& item) { return item.Cell(KindColumn) == "0000"; }

std::string OpenTableItemLine(const TRadek& item, const TOpenTableNames& names) {
  const std::int64_t quantity = StrToInt64(item.Cell(QuantityColumn));
  const std::int64_t unitPrice = StrToInt64(item.Cell(UnitPriceColumn));
  const int vatIndex = StrToInt(item.Cell(VatIndexColumn));
  const std::string& kind = item.Cell(KindColumn);

  std::string what;
  if (IsDepartmentKind(kind)) {
    const int department = HexPairToByte(kind[0], kind[1]);
    const std::string* name = NameOfNumber(names.Departments, department, NameColumn);
    what = "DD|" + std::to_string(department) + "|" +
           (name != nullptr ? *name : LoadText(JournalText::Department) + " " + std::to_string(department));
  } else {
    const std::string& code = item.Cell(PluCodeColumn);
    what = "DP|" + code + "|" + PluName(names.Plu, code);
  }
  return "D|" + ThousandthsText(std::to_string(quantity)) + "|" + what + "|" + std::to_string(unitPrice) + "|" +
         std::to_string(ItemTotal(unitPrice, quantity)) + "|" + VatTextOf(names.Vat, vatIndex);
}

namespace {

// The open tables' lines, each followed by the items of its detail, asked
// for one table after the other.
void WriteOpenTables(TActivityRun& run, const TOpenTableNames& names, TSoubor& request, TSoubor& detail) {
  const CommandParameters& parameters = run.Parameters;
  TSafeOutputFile out(parameters.DataFile, LinkRule::FollowOnce);
  LogLine("Prochazim stoly");
  for (const TRadek& open : run.Table->Rows) {
    const std::string header = InCodePage(OpenTableHeaderLine(open, names), parameters.CodePage);
    LogLine("Zapisuji stul " + header);
    out.Write(FileLine(header));

    const std::string& number = open.Cell(TableColumn);
    LogLine("Posilam dotaz na stul " + number);
    TRadek& asked = request.Rows.front();
    asked.SetCell(0, "1");
    asked.SetCell(1, "0");
    asked.SetCell(2, number);
    run.Transfer({{&request}, true});
    LogLine("Dotaz na stul odeslan");
    LogLine("Nacitam detail stolu");
    // A failed read must not pass the previous table's items off as these.
    detail.Rows.clear();
    run.Transfer({{&detail}, false});
    LogLine("Detail stolu nacten");

    for (const TRadek& item : detail.Rows) {
      if (IsEmptyItemSlot(item)) continue;
      const std::string line = InCodePage(OpenTableItemLine(item, names), parameters.CodePage);
      LogLine("Ukladam detail stolu " + line);
      out.Write(FileLine(line));
    }
  }
  out.Commit();
}

}  // namespace

void ExportOpenTables(TActivityRun& run) {
  TSoubory& catalogue = *run.Catalogue;
  const CommandParameters& parameters = run.Parameters;
  const auto existing = [&catalogue](int number) -> TSoubor& {
    TSoubor* table = catalogue.Table(number);
    if (table == nullptr) RaiseError(ErrorNumber::NoActivity);
    return *table;
  };
  TSoubor& openTables = *run.Table;
  TSoubor& detail = existing(TableNumber::OpenTableDetail);
  TSoubor& request = existing(TableNumber::Request);
  const TOpenTableNames names{catalogue.JournalDepartments(), catalogue.JournalPlu(), catalogue.JournalOperators(),
                              catalogue.JournalVat()};

  LogLine("Nacitam 89,1,3,6,30");
  catalogue.JournalDepartments().Name = existing(TableNumber::Department).Name;
  catalogue.JournalPlu().Name = existing(TableNumber::Plu).Name;
  catalogue.JournalOperators().Name = existing(TableNumber::Operator).Name;
  catalogue.JournalVat().Name = existing(TableNumber::Vat).Name;
  run.Transfer({{&openTables, &catalogue.JournalDepartments(), &catalogue.JournalPlu(), &catalogue.JournalOperators(),
                 &catalogue.JournalVat()},
                false});
  LogLine("Nacteno 89,1,3,6,30");
  LogLine("Inicializuju 67");
  if (request.Rows.empty()) request.AddRow(-1, "");

  LogLine("Vytvarim soubor " + parameters.DataFile);
  try {
    WriteOpenTables(run, names, request, detail);
  } catch (const std::system_error& failure) {
    // The output file's failures are error 07, as for every activity's
    // output; a value that does not convert stays the unnumbered failure.
    LogLine(std::string("Chyba behen ukladani: ") + failure.what());
    RaiseError(ErrorNumber::OutputFileFailure);
  }
  LogLine("Vystupni soubor uzavren");
}
