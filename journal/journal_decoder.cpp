#include "journal/journal_decoder.h"

#include <array>
#include <exception>

#include "journal/journal_field_forms.h"
#include "journal/journal_function_line.h"
#include "journal/journal_line_context.h"
#include "journal/journal_texts.h"
#include "base/localized_texts.h"
#include "model/convert_error.h"
#include "model/soubory.h"
#include "model/value_conversions.h"

namespace {

namespace Text = JournalText;

constexpr std::size_t OperatorCut = 18;
constexpr std::size_t ReceiptOperatorCut = 17;
constexpr std::size_t ReceiptNumberDigits = 8;

using Context = TJournalLineContext;

std::string Label(int id, std::size_t width) { return FitText(LoadText(id), width); }

JournalLines MainLine(std::string text) {
  JournalLines lines;
  lines.Main = std::move(text);
  return lines;
}

// With names on, the name of the number in byte b (read as decimal); else none.
std::optional<std::string> NameOfByte(const Context& c, NameLookup lookup, int b, std::size_t cut) {
  if (c.Names == nullptr) return std::nullopt;
  return NameOf(c, lookup, c.Record.Decimal(b, b), cut);
}

// The digits of byte b, or with names on the operator's name cut to `cut`.
std::string OperatorField(const Context& c, int b, std::size_t cut = OperatorCut) {
  const auto name = NameOfByte(c, &TSoubory::JournalOperators, b, cut);
  return name ? *name : std::string(c.Record.Byte(b));
}

// ------------------------------------------------------ register events

JournalLines TerminalLine(const Context& c) {
  const auto& r = c.Record;
  const int label = r.Code() == "47" ? Text::TerminalOn : Text::TerminalOff;
  return MainLine(Cat(Label(label, 6), " ", r.Byte(2), Blanks(5), r.Bytes(5, 8), Blanks(12), DateTimeField(r, 12)));
}

JournalLines SaleStartLine(const Context& c) {
  const auto& r = c.Record;
  const int label = r.Code() == "40" ? Text::Sale : Text::ReceiptVoid;
  return MainLine(Cat(Label(label, 13), " ", r.Bytes(5, 8), Blanks(8), " ", OperatorField(c, 2)));
}

JournalLines FileFromPcLine(const Context& c) {
  const auto& r = c.Record;
  const std::string label =
      r.Byte(3) != "00" ? FitText(Cat(LoadText(Text::FileFromPc), " ", r.Byte(3)), 33) : Label(Text::RewritePlu, 33);
  return MainLine(Cat(label, " ", DateTimeField(r, 12)));
}

JournalLines NoSaleLine(const Context& c) {
  const auto& r = c.Record;
  if (r.Bytes(3, 4) == "0100") {
    return MainLine(Cat(FitText(Cat("IRC_ERROR ", OperatorField(c, 2)), 24), " ", Blanks(9), DateTimeField(r, 12)));
  }
  return MainLine(Cat(FitText(Cat(LoadText(Text::NoSale), " ", OperatorField(c, 2)), 24), " ", r.Bytes(5, 8), " ",
                      DateTimeField(r, 12)));
}

// The receipt number of bytes 5-8 plus one, all its digits; a number that
// is not decimal counts as 0.
std::string NextReceiptNumber(const TJournalRecordText& r) {
  const std::string_view digits = r.Bytes(5, 8);
  const bool decimal = digits.find_first_not_of("0123456789") == std::string_view::npos;
  const std::string number = std::to_string((decimal ? StrToInt64(digits) : 0) + 1);
  const std::size_t padding = number.size() < ReceiptNumberDigits ? ReceiptNumberDigits - number.size() : 0;
  return std::string(padding, '0') + number;
}

JournalLines ReceiptNumberLine(const Context& c) {
  const auto& r = c.Record;
  return MainLine(Cat(Label(Text::Receipt, 7), " ", r.Byte(3).substr(1), r.Byte(4), "/", NextReceiptNumber(r),
                      AmountField(r, 14, 11), " ", OperatorField(c, 2, ReceiptOperatorCut)));
}

JournalLines ReportLine(const Context& c) {
  const auto& r = c.Record;
  if (r.Byte(2) == "FF") {
    return MainLine(Cat(Label(Text::ReportTotal, 10), AmountField(r, 3, 14), " ", AmountField(r, 10, 14)));
  }
  const std::string_view kind = r.Bytes(3, 4);
  const std::string kindLabel = kind == "0000"   ? Label(Text::XReport, 5) + " "
                                : kind == "FFFF" ? Label(Text::ZReport, 5) + " "
                                                 : Blanks(6);
  return MainLine(
      Cat(Label(Text::Report, 1), kindLabel, r.Byte(2), Blanks(5), r.Bytes(18, 20), Blanks(14), DateTimeField(r, 12)));
}

JournalLines CopyLine(const Context& c) {
  const auto& r = c.Record;
  return MainLine(
      Cat(Label(Text::Copy, 5), " ", r.Byte(2), Blanks(5), r.Bytes(5, 8), Blanks(12), DateTimeField(r, 12)));
}

JournalLines CashInOutLine(const Context& c) {
  const auto& r = c.Record;
  const int label = r.Code() == "45" ? Text::CashIn : Text::CashOut;
  return MainLine(Cat(Label(label, 6), " ", r.Byte(2), Blanks(5), r.Bytes(5, 8), Blanks(10), AmountField(r, 12, 15)));
}

JournalLines SystemEventLine(const Context& c) {
  const auto& r = c.Record;
  const std::string_view code = r.Code();
  if (code == "4B") return MainLine(Cat(Label(Text::WarmReset, 33), " ", DateTimeField(r, 12)));
  if (code == "4D") return MainLine(Cat(Label(Text::PowerFail, 33), " ", DateTimeField(r, 12)));
  const int label = code == "4C" ? Text::WarmResetCheck : Text::RamError;
  return MainLine(Cat(Label(label, 31), r.Byte(3), " ", DateTimeField(r, 12)));
}

JournalLines DocumentLine(const Context& c) {
  const auto& r = c.Record;
  const std::string label = r.Byte(8) != "00" ? Label(Text::Document, 7) : Blanks(7);
  return MainLine(Cat(label, r.Byte(9), Blanks(6), QuantityField(r, 10), Blanks(10), DateTimeField(r, 2)));
}

JournalLines TrackLine(const Context& c) {
  const auto& r = c.Record;
  return MainLine(Cat(Label(Text::Receipt, 7), " ", r.Byte(8).substr(1), r.Byte(9), AmountField(r, 14, 15), Blanks(8),
                      DateTimeField(r, 2)));
}

// ---------------------------------------------------------------- sales

// "    " for a plain sale, else the correction, void or refund label.
std::string SalePrefix(int kind) {
  switch (kind) {
    case 2:
      return Cat(" ", Label(Text::Correction, 2), " ");
    case 3:
      return Cat(" ", Label(Text::Void, 2), " ");
    case 0:
      return Cat(" ", Label(Text::Refund, 2), " ");
    default:
      return Blanks(4);
  }
}

// The kind of a sale code: 1 plain, 2 correction, 3 void, 0 refund.
int SaleKind(const TJournalRecordText& r) { return r.Binary(1) % 4; }

JournalLines DepartmentSaleLine(const Context& c) {
  const auto& r = c.Record;
  const auto name = NameOfByte(c, &TSoubory::JournalDepartments, 9, 18);
  const std::string shown = name ? *name : Cat(Label(Text::Department, 2), " ", r.Byte(9));
  return MainLine(
      Cat(SalePrefix(SaleKind(r)), NameField(shown, 17), Blanks(10), AmountField(r, 2, 14), VatGroupField(r, 10)));
}

JournalLines PluSaleLine(const Context& c) {
  const auto& r = c.Record;
  const std::string prefix = SalePrefix(SaleKind(r));
  std::optional<std::string> name;
  std::optional<std::string> longName;
  if (c.Names != nullptr) {
    const std::int64_t code = r.Decimal(13, 19);
    name = c.Names->Plu(code);
    longName = c.Names->LongPluName(code);
  }
  const std::string shown = name ? *name : Cat(Label(Text::Plu, 3), " ", r.Bytes(13, 19));
  JournalLines lines = MainLine(
      Cat(prefix, NameField(shown, 17), " ", QuantityField(r, 9), AmountField(r, 2, 14), VatGroupField(r, 20)));
  if (longName) lines.Second = Blanks(prefix.size()) + *longName;
  return lines;
}

JournalLines LinkPluSaleLine(const Context& c) {
  const auto& r = c.Record;
  const int number = r.Binary(16);
  const auto name = NameOf(c, &TSoubory::JournalLinkPlu, number, 18);
  const std::string shown = name ? *name : Cat(Label(Text::LinkPlu, 8), " ", std::to_string(number));
  return MainLine(Cat(Blanks(6), NameField(shown, 17), Blanks(8), AmountField(r, 2, 14), VatGroupField(r, 20)));
}

JournalLines PercentDiscountLine(const Context& c) {
  const auto& r = c.Record;
  const std::string_view percent = r.Bytes(13, 15);
  const std::string label = percent == "000000" ? Cat(LoadText(Text::PercentDiscount), " ")
                                                : Cat(LoadText(Text::PercentDiscount), " ", percent);
  return MainLine(
      Cat("  ", FitText(label, 19), " ", QuantityField(r, 9).substr(0, 5), "%    ", AmountField(r, 2, 14), "  "));
}

JournalLines AmountDiscountLine(const Context& c) {
  return MainLine(Cat("  ", Label(Text::AmountDiscount, 19), " ", Blanks(10), AmountField(c.Record, 2, 14), "  "));
}

// The whole percentage of VAT group g from the VAT name table, "??" unknown.
// A rate row of unprogrammed register memory holds hex digits ("FFFF"): it
// names no rate either, and the line keeps its amounts.
std::string VatPercentage(const Context& c, int group) {
  const auto rate = NameOf(c, &TSoubory::JournalVat, group, std::string::npos);
  if (!rate) return "??";
  try {
    return AlignRight(std::to_string(StrToInt64(*rate) / 100), 2);
  } catch (const EConvertError&) {
    return "??";
  }
}

JournalLines VatLine(const Context& c) {
  const auto& r = c.Record;
  const auto group = static_cast<int>(r.Decimal(16, 16));
  return MainLine(Cat(Blanks(7), FitText(Cat(LoadText(Text::Vat), " ", VatGroupName(group)), 6), " ",
                      VatPercentage(c, group), "%", AmountField(r, 2, 13), AmountField(r, 9, 10)));
}

// -------------------------------------------------------- receipt ends

JournalLines LabelledAmountLine(const Context& c, int label) {
  return MainLine(Cat(Blanks(11), Label(label, 18), "  ", AmountField(c.Record, 2, 15), "  "));
}

// The insurer and the personal number a receipt total may carry.
std::string InsuranceLine(const TJournalRecordText& r) {
  std::string insurer(r.Bytes(9, 10));
  if (insurer.front() == '0') insurer.front() = ' ';
  const std::string_view personal = r.Bytes(11, 15);
  const std::string_view tail = personal.substr(6, personal[9] == 'F' ? 3 : 4);
  return Cat(Blanks(11), LoadText(Text::Insurer), " ", insurer, "    ", LoadText(Text::PersonalNumber), " ",
             personal.substr(0, 6), "/", tail);
}

JournalLines TotalLine(const Context& c) {
  JournalLines lines = LabelledAmountLine(c, Text::Total);
  const auto& r = c.Record;
  if (!r.AllDigitsAre(9, 15, '0') && !r.AllDigitsAre(9, 15, 'F')) lines.Second = InsuranceLine(r);
  return lines;
}

// The payment key of byte 9: its name cut to `cut`, or the label and the
// number fixed to `cut`; then as a name field one narrower.
std::string PaymentName(const Context& c, std::size_t cut) {
  const auto name = NameOfByte(c, &TSoubory::JournalPayments, 9, cut);
  return NameField(name ? *name : FitText(Cat(LoadText(Text::Payment), " ", c.Record.Byte(9)), cut), cut - 1);
}

std::string CurrencyName(const Context& c, std::size_t cut) {
  const auto name = NameOfByte(c, &TSoubory::JournalCurrencies, 14, cut);
  return NameField(name ? *name : FitText(Cat(LoadText(Text::Currency), " ", c.Record.Byte(14)), cut), cut - 1);
}

JournalLines PaymentLine(const Context& c) {
  const auto& r = c.Record;
  const std::string name = PaymentName(c, 18);
  const std::string head =
      r.AllDigitsAre(10, 17, '0') ? Cat(Blanks(11), name, "  ") : Cat(name.substr(0, 13), " ", r.Bytes(10, 17), " ");
  return MainLine(Cat(head, AmountField(r, 2, 15), "  "));
}

JournalLines CurrencyLine(const Context& c) {
  const auto& r = c.Record;
  return MainLine(Cat(CurrencyName(c, 19), Blanks(4), RateField(r, 11), " ", AmountField(r, 2, 15), "  "));
}

JournalLines CurrencyPaymentLine(const Context& c) {
  return MainLine(Cat(CurrencyName(c, 11), " ", PaymentName(c, 18), " ", AmountField(c.Record, 2, 15), "  "));
}

JournalLines ChangeLine(const Context& c) { return LabelledAmountLine(c, Text::Change); }
JournalLines SubtotalLine(const Context& c) { return LabelledAmountLine(c, Text::Subtotal); }

// ------------------------------------------------------------ operators

JournalLines ForOperatorLine(const Context& c) {
  return MainLine(Cat(FitText(OperatorField(c, 2), 18), " ", LoadText(Text::For), " ", OperatorField(c, 3)));
}

JournalLines LogInOutLine(const Context& c) {
  const auto& r = c.Record;
  const int label = r.Code() == "30" ? Text::LogIn : Text::LogOut;
  return MainLine(Cat(Label(label, 14), " ", OperatorField(c, 8), " ", DateTimeField(r, 2)));
}

// ---------------------------------------------------------- card events

JournalLines CardLine(const Context& c) {
  const auto& r = c.Record;
  const std::string_view code = r.Code();
  const int label = code == "49"   ? Text::Card1
                    : code == "27" ? Text::Card2
                    : code == "28" ? Text::Points
                                   : Text::Turnover;
  return MainLine(Cat(Label(label, 6), " ", r.Byte(2), " ", r.Bytes(3, 5), " ", AmountField(r, 6, 14), " ",
                      AmountField(r, 13, 14), "  "));
}

JournalLines CardIdLine(const Context& c) {
  std::string id;
  for (int b = 2; b <= 18; ++b) {
    const std::string_view digits = c.Record.Byte(b);
    id += static_cast<char>(HexPairToByte(digits[0], digits[1]));
  }
  return MainLine("ID: " + id);
}

// --------------------------------------------------------------- table

struct TRecordKind {
  std::string_view Code;
  JournalLines (*Build)(const Context&);
};

constexpr std::array<TRecordKind, 46> RecordKinds = {{
    {"47", TerminalLine},
    {"48", TerminalLine},
    {"40", SaleStartLine},
    {"4F", FileFromPcLine},
    {"4A", NoSaleLine},
    {"41", ReceiptNumberLine},
    {"42", ReportLine},
    {"43", SaleStartLine},
    {"44", CopyLine},
    {"45", CashInOutLine},
    {"46", CashInOutLine},
    {"4B", SystemEventLine},
    {"4C", SystemEventLine},
    {"4D", SystemEventLine},
    {"4E", SystemEventLine},
    {"80", DocumentLine},
    {"81", TrackLine},
    {"01", DepartmentSaleLine},
    {"02", DepartmentSaleLine},
    {"03", DepartmentSaleLine},
    {"04", DepartmentSaleLine},
    {"05", PluSaleLine},
    {"06", PluSaleLine},
    {"07", PluSaleLine},
    {"08", PluSaleLine},
    {"09", LinkPluSaleLine},
    {"0A", LinkPluSaleLine},
    {"0B", LinkPluSaleLine},
    {"0C", PercentDiscountLine},
    {"0D", AmountDiscountLine},
    {"10", VatLine},
    {"20", TotalLine},
    {"21", PaymentLine},
    {"22", ChangeLine},
    {"23", CurrencyLine},
    {"24", CurrencyPaymentLine},
    {"25", SubtotalLine},
    {"26", ForOperatorLine},
    {"30", LogInOutLine},
    {"31", LogInOutLine},
    {"49", CardLine},
    {"27", CardLine},
    {"28", CardLine},
    {"29", CardLine},
    {"2B", CardIdLine},
    {"2C", FunctionKeyLines},
}};

JournalLines DecodeRecord(const Context& c) {
  const std::string_view code = c.Record.Code();
  for (const auto& kind : RecordKinds) {
    if (kind.Code == code) return kind.Build(c);
  }
  return MainLine(Cat("??? (", code, ")"));
}

}  // namespace

TJournalDecoder::TJournalDecoder(const TSoubory& catalogue) : catalogue_(catalogue), names_(catalogue) {}

JournalLines TJournalDecoder::Decode(const std::string& recordHex, bool namesOn) const {
  try {
    const TJournalRecordText record(recordHex);
    JournalLines lines = DecodeRecord({record, catalogue_, namesOn ? &names_ : nullptr});
    lines.Main = ReplaceByte(lines.Main, '^', ' ');
    return lines;
  } catch (const std::exception& failure) {
    return MainLine(Cat("ERROR: ", failure.what(), " (", recordHex, ")"));
  }
}
