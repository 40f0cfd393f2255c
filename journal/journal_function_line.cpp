#include "journal/journal_function_line.h"

#include <array>
#include <utility>

#include "journal/journal_field_forms.h"
#include "journal/journal_texts.h"
#include "base/localized_texts.h"
#include "model/soubory.h"
#include "model/value_conversions.h"

namespace {

constexpr std::size_t LineWidth = 48;
constexpr std::size_t PaymentNameCut = 10;
constexpr std::size_t CurrencyNameCut = 19;
constexpr std::size_t DepartmentNameCut = 18;
constexpr char OwnKeyKind = 'O';
constexpr char EuroKeyKind = 'E';

constexpr std::array<std::string_view, 3> Ecr46xModels = {"ECR 465T/465TF", "ECR 466T/466TF", "ECR 460T/460TF"};
constexpr std::string_view Cm840Model = "CM-840/842";

// Report headings the 465 family prints in place of a key name.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> ReportHeadings = {{
    {"08", "EKONOMI RAPPORT "},
    {"16", "MOMS RAPPORT "},
    {"17", "DAGSINSLAG "},
    {"18", "BETALS\xC4TT "},
    {"14", "VARUGRUPPS RAPPORT "},
    {"9E", "Z1 "},
    {"9F", "Z2 "},
}};

// The key of byte 3 (a binary number): its name from the table, or the label
// and the number.
std::string NamedKeyHead(const TJournalLineContext& context, int label, NameLookup lookup, std::size_t cut) {
  const int number = context.Record.Binary(3);
  if (const auto name = NameOf(context, lookup, number, cut)) return *name + " ";
  return Cat(LoadText(label), " ", std::to_string(number), " ");
}

std::string PaymentHead(const TJournalLineContext& context) {
  return NamedKeyHead(context, JournalText::Payment, &TSoubory::JournalPayments, PaymentNameCut);
}

std::string CurrencyHead(const TJournalLineContext& context) {
  return NamedKeyHead(context, JournalText::Currency, &TSoubory::JournalCurrencies, CurrencyNameCut);
}

std::string DepartmentHead(const TJournalLineContext& context) {
  return NamedKeyHead(context, JournalText::Department, &TSoubory::JournalDepartments, DepartmentNameCut);
}

// Key function v of byte 2 (a binary number, counted from 1), or none.
const TPopisKlavFunkce* KeyFunctionOfByte2(const TJournalLineContext& context) {
  const auto& functions = context.Catalogue.KeyFunctions.Functions;
  const int number = context.Record.Binary(2);
  if (number < 1 || static_cast<std::size_t>(number) > functions.size()) return nullptr;
  return &functions[static_cast<std::size_t>(number - 1)];
}

// A key function is named by its key label on one line.
std::string KeyFunctionName(const TPopisKlavFunkce& function) { return ReplaceByte(function.KeyLabel, '|', ' '); }

std::string UnknownKeyHead(const TJournalLineContext& context) { return Cat("#24.", context.Record.Byte(2), " "); }

std::string Ecr46xHead(const TJournalLineContext& context) {
  const std::string_view key = context.Record.Byte(2);
  if (key == "FC") return PaymentHead(context);
  if (key == "FD") return CurrencyHead(context);
  if (key == "FE") return DepartmentHead(context);
  for (const auto& [code, heading] : ReportHeadings) {
    if (key == code) return std::string(heading);
  }
  const TPopisKlavFunkce* function = KeyFunctionOfByte2(context);
  return function == nullptr ? UnknownKeyHead(context) : KeyFunctionName(*function) + " ";
}

std::string Cm840Head(const TJournalLineContext& context) {
  const std::string_view key = context.Record.Byte(2);
  if (key == "00") return PaymentHead(context);
  if (key == "01") return CurrencyHead(context);
  if (key == "02") return DepartmentHead(context);
  const TPopisKlavFunkce* function = KeyFunctionOfByte2(context);
  if (function == nullptr) return UnknownKeyHead(context);
  std::string name = KeyFunctionName(*function);
  if (function->Kind == OwnKeyKind && !name.empty()) {
    name.front() = '|';
    name.back() = '|';
  } else if (function->Kind == EuroKeyKind) {
    name = EuroToText(name);
  }
  return name + " ";
}

std::string Head(const TJournalLineContext& context) {
  const std::string& model = context.Catalogue.ModelName;
  for (const auto name : Ecr46xModels) {
    if (model == name) return Ecr46xHead(context);
  }
  if (model == Cm840Model) return Cm840Head(context);
  return {};
}

// The head cut or padded so that head and value fill the line.
std::string WithValue(const std::string& head, const std::string& value) {
  const std::size_t room = value.size() < LineWidth ? LineWidth - value.size() : 0;
  return FitText(head, room) + value;
}

std::string AmountValue(const TJournalRecordText& record, int b) { return AmountField(record, b, 0) + "  "; }

}  // namespace

JournalLines FunctionKeyLines(const TJournalLineContext& context) {
  const TJournalRecordText& record = context.Record;
  const std::string head = Head(context);
  const std::string_view value = record.Byte(4);
  const std::string digits(record.Bytes(5, 6));
  JournalLines lines;
  if (value == "00") {
    lines.Main = FitText(head, LineWidth);
  } else if (value == "01") {
    lines.Main = FitText(head + digits, LineWidth);
  } else if (value == "02") {
    lines.Main = WithValue(head, AmountValue(record, 5));
  } else if (value == "03") {
    lines.Main = WithValue(head, Cat(record.Byte(5), "%"));
  } else if (value == "04" || value == "05") {
    lines.Main = WithValue(head, digits);
    lines.Second = AlignRight(AmountValue(record, 7), LineWidth);
    if (value == "05") lines.Third = AlignRight(AmountValue(record, 14), LineWidth);
  } else if (value == "06") {
    lines.Main = WithValue(head, digits);
  } else if (value == "07") {
    lines.Main = WithValue(head, digits);
    lines.Second = WithValue("    " + QuantityField(record, 7), AmountValue(record, 11));
  } else if (value == "08") {
    lines.Main = WithValue(head, WideAmountField(record, 5, 0) + "  ");
  } else {
    lines.Main = head;
  }
  return lines;
}
