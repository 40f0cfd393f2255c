// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/journal_writer.h"

#include <algorithm>
#include <map>

#include "tools/mervsim/data/receipt.h"

namespace {

namespace Code {
constexpr std::uint8_t DepartmentSale = 0x01;
constexpr std::uint8_t DepartmentCorrection = 0x02;
constexpr std::uint8_t DepartmentVoid = 0x03;
constexpr std::uint8_t DepartmentRefund = 0x04;
constexpr std::uint8_t PluSale = 0x05;
constexpr std::uint8_t PluCorrection = 0x06;
constexpr std::uint8_t PluVoid = 0x07;
constexpr std::uint8_t PluRefund = 0x08;
constexpr std::uint8_t LinkPluSale = 0x09;
constexpr std::uint8_t LinkPluCorrection = 0x0A;
constexpr std::uint8_t LinkPluVoid = 0x0B;
constexpr std::uint8_t PercentDiscount = 0x0C;
constexpr std::uint8_t AmountSurcharge = 0x0D;
constexpr std::uint8_t Vat = 0x10;
constexpr std::uint8_t Total = 0x20;
constexpr std::uint8_t Payment = 0x21;
constexpr std::uint8_t Change = 0x22;
constexpr std::uint8_t Currency = 0x23;
constexpr std::uint8_t CurrencyPayment = 0x24;
constexpr std::uint8_t Subtotal = 0x25;
constexpr std::uint8_t Handover = 0x26;
constexpr std::uint8_t Card2 = 0x27;
constexpr std::uint8_t Points = 0x28;
constexpr std::uint8_t Turnover = 0x29;
constexpr std::uint8_t CardId = 0x2B;
constexpr std::uint8_t FunctionKey = 0x2C;
constexpr std::uint8_t LogIn = 0x30;
constexpr std::uint8_t LogOut = 0x31;
constexpr std::uint8_t SaleStart = 0x40;
constexpr std::uint8_t ReceiptNumber = 0x41;
constexpr std::uint8_t Report = 0x42;
constexpr std::uint8_t VoidStart = 0x43;
constexpr std::uint8_t Copy = 0x44;
constexpr std::uint8_t CashIn = 0x45;
constexpr std::uint8_t CashOut = 0x46;
constexpr std::uint8_t TerminalOn = 0x47;
constexpr std::uint8_t TerminalOff = 0x48;
constexpr std::uint8_t Card1 = 0x49;
constexpr std::uint8_t NoSale = 0x4A;
constexpr std::uint8_t WarmReset = 0x4B;
constexpr std::uint8_t JournalCheck = 0x4C;
constexpr std::uint8_t PowerFail = 0x4D;
constexpr std::uint8_t RamError = 0x4E;
constexpr std::uint8_t FileFromPc = 0x4F;
constexpr std::uint8_t Document = 0x80;
constexpr std::uint8_t Track = 0x81;
}  // namespace Code

constexpr int CurrencyRate = 2550;          // hundredths of a unit per foreign unit
constexpr std::int64_t Percent10 = 10'000;  // thousandths
constexpr int ReportTotalMark = 0xFF;
constexpr int LinkPluNumber = 1;
constexpr std::uint64_t Terminal = 1;

std::uint64_t U(std::int64_t value) { return static_cast<std::uint64_t>(value); }

TJournalRecord KeyLine(int head, int key, int valueKind) {
  TJournalRecord record(Code::FunctionKey);
  record.Raw(2, std::string(1, static_cast<char>(head))).Raw(3, std::string(1, static_cast<char>(key)));
  record.Digits(4, static_cast<std::uint64_t>(valueKind), 1);
  return record;
}

}  // namespace

void TJournalWriter::Clear() { rows_.clear(); }

void TJournalWriter::Write(const TJournalRecord& record) {
  rows_.push_back({static_cast<int>(rows_.size()) + 1, record.Hex()});
}

void TJournalWriter::SaleStart(std::uint8_t code, const TReceipt& receipt) {
  Write(
      TJournalRecord(code).Digits(2, U(receipt.Operator), 1).Digits(5, U(receipt.Number), 4).Stamp(12, receipt.Stamp));
}

void TJournalWriter::PluLine(std::uint8_t code, std::int64_t amount, std::int64_t quantity, std::int64_t pluCode,
                             int vatGroup) {
  Write(TJournalRecord(code)
            .Amount(2, amount)
            .Quantity(9, quantity)
            .Digits(13, U(pluCode), 7)
            .Digits(20, U(vatGroup), 1));
}

void TJournalWriter::VatLines(const TReceipt& receipt, const std::vector<TVatRate>& rates) {
  std::map<int, std::int64_t> gross;
  for (const auto& line : receipt.Lines) gross[line.VatGroup] += line.Amount();
  for (const auto& [group, amount] : gross) {
    int rate = 0;
    for (const auto& known : rates) {
      if (known.Group == group) rate = known.Rate;
    }
    const std::int64_t vat = amount * rate / (10'000 + rate);
    Write(TJournalRecord(Code::Vat).Amount(2, amount).Amount(9, vat).Digits(16, U(group), 1));
  }
}

void TJournalWriter::Closing(const TReceipt& receipt, std::int64_t total) {
  const auto& extras = receipt.Extras;
  TJournalRecord totalLine(Code::Total);
  totalLine.Amount(2, total);
  if (extras.Insurer > 0) totalLine.Digits(9, U(extras.Insurer), 2).Digits(11, U(extras.PersonalNumber), 5);
  Write(totalLine);
  if (extras.Currency > 0) {
    Write(TJournalRecord(Code::Currency)
              .Amount(2, total * 100 / CurrencyRate)
              .Digits(11, CurrencyRate, 3)
              .Digits(14, U(extras.Currency), 1));
    Write(TJournalRecord(Code::CurrencyPayment)
              .Amount(2, total)
              .Digits(9, U(receipt.Payment), 1)
              .Digits(14, U(extras.Currency), 1));
    return;
  }
  const std::int64_t paid = std::max(total, extras.Tendered);
  TJournalRecord payment(Code::Payment);
  payment.Amount(2, paid).Digits(9, U(receipt.Payment), 1);
  if (extras.CardNumber > 0) payment.Digits(10, U(extras.CardNumber), 8);
  Write(payment);
  if (paid > total) Write(TJournalRecord(Code::Change).Amount(2, paid - total));
}

void TJournalWriter::Receipt(const TReceipt& receipt, const std::vector<TVatRate>& rates) {
  const auto& extras = receipt.Extras;
  SaleStart(Code::SaleStart, receipt);
  for (const auto& line : receipt.Lines) PluLine(Code::PluSale, line.Amount(), line.Quantity, line.Code, line.VatGroup);
  const std::int64_t total = receipt.Total();
  if (extras.Discounts) {
    // A ten per cent discount taken back by a surcharge of the same amount.
    const std::int64_t discount = total / 10;
    Write(TJournalRecord(Code::Subtotal).Amount(2, total));
    Write(TJournalRecord(Code::PercentDiscount).Amount(2, -discount).Quantity(9, Percent10).Digits(13, 1000, 3));
    Write(TJournalRecord(Code::AmountSurcharge).Amount(2, discount));
  }
  if (extras.VatLines) VatLines(receipt, rates);
  Closing(receipt, total);
  if (extras.VatLines) {
    Write(TJournalRecord(Code::ReceiptNumber)
              .Digits(2, U(receipt.Operator), 1)
              .Digits(3, Terminal, 2)
              .Digits(5, U(receipt.Number - 1), 4)
              .Amount(14, total));
  }
  if (extras.Copy) {
    Write(TJournalRecord(Code::Copy)
              .Digits(2, U(receipt.Operator), 1)
              .Digits(5, U(receipt.Number), 4)
              .Stamp(12, receipt.Stamp));
  }
}

void TJournalWriter::VoidedReceipt(const TReceipt& receipt) {
  SaleStart(Code::VoidStart, receipt);
  for (const auto& line : receipt.Lines) PluLine(Code::PluSale, line.Amount(), line.Quantity, line.Code, line.VatGroup);
  for (const auto& line : receipt.Lines)
    PluLine(Code::PluVoid, -line.Amount(), -line.Quantity, line.Code, line.VatGroup);
  Write(TJournalRecord(Code::Total).Amount(2, 0));
  Write(TJournalRecord(Code::Payment).Amount(2, 0).Digits(9, U(receipt.Payment), 1));
}

void TJournalWriter::CorrectionReceipt(const TReceipt& receipt) {
  if (receipt.Lines.empty()) return;
  const TSaleLine& line = receipt.Lines.front();
  const std::int64_t amount = line.Amount();
  SaleStart(Code::SaleStart, receipt);
  auto department = [&](std::uint8_t code, std::int64_t value) {
    Write(TJournalRecord(code).Amount(2, value).Digits(9, U(line.Department), 1).Digits(10, U(line.VatGroup), 1));
  };
  auto link = [&](std::uint8_t code, std::int64_t value) {
    Write(TJournalRecord(code)
              .Amount(2, value)
              .Raw(16, std::string(1, static_cast<char>(LinkPluNumber)))
              .Digits(20, U(line.VatGroup), 1));
  };
  department(Code::DepartmentSale, amount);
  department(Code::DepartmentCorrection, -amount);
  department(Code::DepartmentSale, amount);
  department(Code::DepartmentVoid, -amount);
  department(Code::DepartmentRefund, -amount);
  link(Code::LinkPluSale, amount);
  link(Code::LinkPluCorrection, -amount);
  link(Code::LinkPluSale, amount);
  link(Code::LinkPluVoid, -amount);
  PluLine(Code::PluSale, amount, line.Quantity, line.Code, line.VatGroup);
  PluLine(Code::PluCorrection, -amount, -line.Quantity, line.Code, line.VatGroup);
  PluLine(Code::PluSale, amount, line.Quantity, line.Code, line.VatGroup);
  PluLine(Code::PluRefund, -amount, -line.Quantity, line.Code, line.VatGroup);
  // Sales: department, link PLU, PLU; the department refund takes one back.
  const std::int64_t total = amount + amount + amount - amount;
  Write(TJournalRecord(Code::Total).Amount(2, total));
  Write(TJournalRecord(Code::Payment).Amount(2, total).Digits(9, U(receipt.Payment), 1));
}

void TJournalWriter::LogIn(int operatorNumber, const TJournalStamp& stamp) {
  Write(TJournalRecord(Code::LogIn).Stamp(2, stamp).Digits(8, U(operatorNumber), 1));
}

void TJournalWriter::LogOut(int operatorNumber, const TJournalStamp& stamp) {
  Write(TJournalRecord(Code::LogOut).Stamp(2, stamp).Digits(8, U(operatorNumber), 1));
}

void TJournalWriter::Handover(int from, int to) {
  Write(TJournalRecord(Code::Handover).Digits(2, U(from), 1).Digits(3, U(to), 1));
}

void TJournalWriter::CashMovement(bool in, int operatorNumber, int number, std::int64_t amount) {
  Write(TJournalRecord(in ? Code::CashIn : Code::CashOut)
            .Digits(2, U(operatorNumber), 1)
            .Digits(5, U(number), 4)
            .Amount(12, amount));
}

void TJournalWriter::NoSale(int operatorNumber, int number, const TJournalStamp& stamp) {
  Write(TJournalRecord(Code::NoSale).Digits(2, U(operatorNumber), 1).Digits(5, U(number), 4).Stamp(12, stamp));
}

void TJournalWriter::Report(int reportNumber, bool z, int counter, const TJournalStamp& stamp, std::int64_t total,
                            TFunctionKeyFamily family) {
  Write(TJournalRecord(Code::Report)
            .Digits(2, U(reportNumber % 100), 1)
            .Raw(3, z ? std::string(2, '\xFF') : std::string(2, '\0'))
            .Stamp(12, stamp)
            .Digits(18, U(counter), 3));
  Write(TJournalRecord(Code::Report)
            .Raw(2, std::string(1, static_cast<char>(ReportTotalMark)))
            .Amount(3, total)
            .Amount(10, total));
  if (family == TFunctionKeyFamily::None) return;
  const bool cm = family == TFunctionKeyFamily::Cm840;
  const int payment = cm ? 0x00 : 0xFC;
  const int currency = cm ? 0x01 : 0xFD;
  const int department = cm ? 0x02 : 0xFE;
  const int keyFunction = 0x1A;
  if (!cm) Write(KeyLine(0x08, 0, 0));  // report heading alone
  Write(KeyLine(payment, 1, 2).Amount(5, total));
  Write(KeyLine(department, 1, 4).Digits(5, 1, 2).Amount(7, total));
  Write(KeyLine(currency, 1, 5).Digits(5, 1, 2).Amount(7, total * 100 / CurrencyRate).Amount(14, total));
  Write(KeyLine(keyFunction, 0, 1).Digits(5, U(counter), 2));
  Write(KeyLine(keyFunction, 0, 3).Digits(5, 21, 1));
  Write(KeyLine(keyFunction, 0, 6).Digits(5, U(counter), 2));
  Write(KeyLine(keyFunction, 0, 7).Digits(5, 1, 2).Quantity(7, 1000).Amount(11, total));
  TJournalRecord wide = KeyLine(cm ? keyFunction : 0x17, 0, 8);
  wide.Raw(5, std::string(1, '\0')).Digits(6, U(total / 100), 6).Digits(12, U(total % 100), 1);
  Write(wide);
}

void TJournalWriter::LoyaltyCard(int cardNumber, std::int64_t turnover, const std::string& identifier) {
  for (const std::uint8_t code : {Code::Card1, Code::Card2, Code::Points, Code::Turnover}) {
    Write(TJournalRecord(code)
              .Digits(2, 1, 1)
              .Digits(3, U(cardNumber), 3)
              .Amount(6, turnover)
              .Amount(13, turnover / 100));
  }
  std::string id = identifier;
  id.resize(17, ' ');
  Write(TJournalRecord(Code::CardId).Raw(2, id));
}

void TJournalWriter::RegisterEvents(int operatorNumber, int receiptNumber, const TJournalStamp& stamp) {
  const auto op = U(operatorNumber);
  const auto number = U(receiptNumber);
  Write(TJournalRecord(Code::TerminalOff).Digits(2, op, 1).Digits(5, number, 4).Stamp(12, stamp));
  Write(TJournalRecord(Code::PowerFail).Stamp(12, stamp));
  Write(TJournalRecord(Code::WarmReset).Stamp(12, stamp));
  Write(TJournalRecord(Code::JournalCheck).Digits(3, 0, 1).Stamp(12, stamp));
  Write(TJournalRecord(Code::RamError).Digits(3, 0, 1).Stamp(12, stamp));
  Write(TJournalRecord(Code::TerminalOn).Digits(2, op, 1).Digits(5, number, 4).Stamp(12, stamp));
  Write(TJournalRecord(Code::FileFromPc).Digits(3, 3, 1).Stamp(12, stamp));
  Write(TJournalRecord(Code::FileFromPc).Stamp(12, stamp));
}

void TJournalWriter::Documents(int table, std::int64_t amount, const TJournalStamp& stamp) {
  Write(TJournalRecord(Code::Document).Stamp(2, stamp).Digits(8, 1, 1).Digits(9, U(table), 1).Quantity(10, 2000));
  Write(TJournalRecord(Code::Track).Stamp(2, stamp).Digits(8, 0, 1).Digits(9, U(table), 1).Amount(14, amount));
}
