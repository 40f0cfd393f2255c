// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/sales_reports.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "model/table_numbers.h"
#include "tools/mervsim/data/report_record.h"

namespace {

constexpr int FirstReport = TableNumber::FinancialDaily;
constexpr int LastReport = TableNumber::ShortFinancialReport;
constexpr int PercentHundredths = 10000;
constexpr int ExemptNumber = 25;
constexpr int MaxNumberInKind = 255;

// Report fields by byte position.
constexpr int AmountFirst = 3, AmountLast = 10, WideAmountLast = 11;
constexpr int CountFirst = 18, CountLast = 19;
constexpr int QuantityFirst = 21, QuantityLast = 28;
constexpr int TotalFirst = 30, TotalLast = 37;
constexpr int CodeFirst = 14, CodeLast = 20;
constexpr int GroupByte = 38;
constexpr int StockFirst = 39, StockLast = 46;

struct TSum {
  std::int64_t Amount = 0;
  std::int64_t Quantity = 0;
  std::uint64_t Count = 0;
  int Group = 0;
  std::int64_t Code = 0;

  void AddLine(const TSaleLine& line) {
    Amount += line.Amount();
    Quantity += line.Quantity;
    ++Count;
  }
};

/// Adds every sale line of the receipts to the sum `sumFor(receipt, line)`
/// picks for it (none: the line is left out).
template <typename SumFor>
void AddEveryLine(const std::vector<TReceipt>& receipts, SumFor sumFor) {
  for (const auto& receipt : receipts) {
    for (const auto& line : receipt.Lines) {
      if (TSum* sum = sumFor(receipt, line)) sum->AddLine(line);
    }
  }
}

std::int64_t VatOf(std::int64_t gross, int rate) {
  return (gross * rate + (PercentHundredths + rate) / 2) / (PercentHundredths + rate);
}

int RateOf(const TReportContext& context, int group) {
  for (const auto& vat : context.VatRates) {
    if (vat.Group == group) return vat.Rate;
  }
  return 0;
}

// Kind, number, amount and count: the head of most sales records.
TReportRecord AmountCountRecord(int kind, int number, const TSum& sum) {
  TReportRecord record;
  record.Kind(kind, number).Signed(AmountFirst, AmountLast, sum.Amount).Unsigned(CountFirst, CountLast, sum.Count);
  return record;
}

std::string Payments(int kind, int number, const TSum& sum) {
  return AmountCountRecord(kind, number, sum).Signed(TotalFirst, TotalLast, sum.Amount).Finish();
}

// The department records and the operators' PLU records: amount, count,
// quantity and group.
std::string SalesLineRecord(int kind, int number, const TSum& sum) {
  return AmountCountRecord(kind, number, sum)
      .Signed(QuantityFirst, QuantityLast, sum.Quantity)
      .Unsigned(GroupByte, GroupByte, static_cast<std::uint64_t>(sum.Group))
      .Finish();
}

std::map<int, TSum> ByPayment(const std::vector<TReceipt>& receipts) {
  std::map<int, TSum> sums;
  for (const auto& receipt : receipts) {
    sums[receipt.Payment].Amount += receipt.Total();
    ++sums[receipt.Payment].Count;
  }
  return sums;
}

std::int64_t SalesTotal(const std::vector<TReceipt>& receipts) {
  std::int64_t total = 0;
  for (const auto& receipt : receipts) total += receipt.Total();
  return total;
}

void VatLines(const std::vector<TReceipt>& receipts, const TReportContext& context, std::vector<std::string>& out) {
  std::map<int, std::int64_t> grossByGroup;
  for (const auto& receipt : receipts) {
    for (const auto& line : receipt.Lines) grossByGroup[line.VatGroup] += line.Amount();
  }
  std::int64_t exempt = 0;
  for (const auto& [group, gross] : grossByGroup) {
    const int rate = RateOf(context, group);
    if (rate == 0 || group < 1 || 3 * group > ExemptNumber - 1) {
      exempt += gross;
      continue;
    }
    const std::int64_t vat = VatOf(gross, rate);
    out.push_back(TReportRecord().Kind(1, 3 * group - 2).Signed(AmountFirst, AmountLast, gross - vat).Finish());
    out.push_back(TReportRecord().Kind(1, 3 * group - 1).Signed(AmountFirst, AmountLast, gross).Finish());
    out.push_back(TReportRecord().Kind(1, 3 * group).Signed(AmountFirst, AmountLast, vat).Finish());
  }
  if (exempt != 0)
    out.push_back(TReportRecord().Kind(1, ExemptNumber).Signed(AmountFirst, AmountLast, exempt).Finish());
}

std::vector<std::string> Financial(const std::vector<TReceipt>& receipts, const TReportContext& context) {
  std::vector<std::string> out;
  VatLines(receipts, context, out);
  const std::int64_t sales = SalesTotal(receipts);
  const std::int64_t turnover[] = {sales, sales, context.GrandTotal, 0, context.GrandTotal};
  for (int number = 1; number <= 5; ++number) {
    out.push_back(TReportRecord().Kind(2, number).Signed(AmountFirst, WideAmountLast, turnover[number - 1]).Finish());
  }
  const auto payments = ByPayment(receipts);
  for (const auto& [key, sum] : payments) out.push_back(Payments(3, key, sum));
  const auto cash = payments.find(CashPaymentKey);
  out.push_back(TReportRecord()
                    .Kind(4, 1)
                    .Signed(TotalFirst, TotalLast, cash == payments.end() ? 0 : cash->second.Amount)
                    .Finish());
  for (const auto& [key, sum] : payments) {
    if (key != CashPaymentKey && key <= 30)
      out.push_back(TReportRecord().Kind(4, key).Signed(TotalFirst, TotalLast, sum.Amount).Finish());
  }
  const auto receiptCount = static_cast<std::uint64_t>(receipts.size());
  out.push_back(Payments(4, 31, {}));
  out.push_back(TReportRecord().Kind(4, 73).Unsigned(CountFirst, CountLast, 0).Finish());
  out.push_back(TReportRecord().Kind(4, 75).Unsigned(CountFirst, CountLast, receiptCount).Finish());
  out.push_back(TReportRecord().Kind(4, 76).Unsigned(CountFirst, CountLast, receiptCount).Finish());
  return out;
}

std::vector<std::string> Departments(const std::vector<TReceipt>& receipts) {
  std::map<int, TSum> sums;
  AddEveryLine(receipts, [&](const TReceipt&, const TSaleLine& line) {
    TSum& sum = sums[line.Department];
    sum.Group = line.MainGroup;
    return &sum;
  });
  std::vector<std::string> out;
  for (const auto& [department, sum] : sums) out.push_back(SalesLineRecord(department, 0, sum));
  return out;
}

std::string PluSumRecord(int pluNumber, const TSum& sum, const TReportContext& context) {
  return TReportRecord()
      .RecordNumber(pluNumber)
      .Signed(AmountFirst, AmountLast, sum.Amount)
      .Unsigned(CodeFirst, CodeLast, static_cast<std::uint64_t>(sum.Code))
      .Signed(QuantityFirst, QuantityLast, sum.Quantity)
      .Unsigned(GroupByte, GroupByte, static_cast<std::uint64_t>(sum.Group))
      .Signed(StockFirst, StockLast, context.Stock(sum.Code))
      .Finish();
}

std::vector<std::string> Plus(const std::vector<TReceipt>& receipts, const TReportContext& context) {
  std::map<int, TSum> sums;
  AddEveryLine(receipts, [&](const TReceipt&, const TSaleLine& line) {
    TSum& sum = sums[line.PluNumber];
    sum.Code = line.Code;
    sum.Group = line.Department;
    return &sum;
  });
  std::vector<std::string> out;
  for (const auto& [number, sum] : sums) out.push_back(PluSumRecord(number, sum, context));
  return out;
}

std::vector<std::string> OperatorPlus(const std::vector<TReceipt>& receipts) {
  std::map<int, std::map<int, TSum>> sums;
  AddEveryLine(receipts, [&](const TReceipt& receipt, const TSaleLine& line) {
    TSum& sum = sums[receipt.Operator][line.PluNumber];
    sum.Group = line.Department;
    return &sum;
  });
  std::vector<std::string> out;
  for (const auto& [person, plus] : sums) {
    int place = 0;
    for (const auto& [number, sum] : plus) {
      if (++place > MaxNumberInKind) break;
      out.push_back(SalesLineRecord(person, place, sum));
    }
  }
  return out;
}

std::vector<std::string> Staff(const std::vector<TReceipt>& receipts, bool waiters) {
  std::map<int, std::vector<TReceipt>> byPerson;
  for (const auto& receipt : receipts) {
    const int person = waiters ? receipt.Waiter : receipt.Operator;
    if (person > 0) byPerson[person].push_back(receipt);
  }
  std::vector<std::string> out;
  for (const auto& [person, own] : byPerson) {
    const std::int64_t sales = SalesTotal(own);
    const auto count = static_cast<std::uint64_t>(own.size());
    out.push_back(TReportRecord()
                      .Kind(person, 1)
                      .Signed(AmountFirst, AmountLast, sales)
                      .Unsigned(CountFirst, CountLast, count)
                      .Finish());
    out.push_back(TReportRecord().Kind(person, 2).Signed(AmountFirst, AmountLast, sales).Finish());
    out.push_back(TReportRecord().Kind(person, 7).Unsigned(CountFirst, CountLast, count).Finish());
    for (const auto& [key, sum] : ByPayment(own)) {
      if (10 + key <= 40) out.push_back(Payments(person, 10 + key, sum));
    }
  }
  return out;
}

std::vector<std::string> Hours(const std::vector<TReceipt>& receipts) {
  std::map<int, TSum> sums;
  for (const auto& receipt : receipts) {
    sums[receipt.Stamp.Hour].Amount += receipt.Total();
    ++sums[receipt.Stamp.Hour].Count;
  }
  std::vector<std::string> out;
  for (const auto& [hour, sum] : sums) out.push_back(AmountCountRecord(hour, 0, sum).Finish());
  return out;
}

std::vector<std::string> Drawer(const std::vector<TReceipt>& receipts) {
  std::vector<std::string> out;
  for (const auto& [key, sum] : ByPayment(receipts)) {
    out.push_back(TReportRecord().Kind(key, 0).Signed(TotalFirst, TotalLast, sum.Amount).Finish());
  }
  return out;
}

std::vector<std::string> ShortFinancial(const std::vector<TReceipt>& receipts, const TReportContext& context) {
  const auto payments = ByPayment(receipts);
  const auto cash = payments.find(CashPaymentKey);
  return {TReportRecord()
              .Signed(3, 7, SalesTotal(receipts))
              .Signed(8, 12, context.OpenTablesTotal)
              .Signed(13, 17, 0)
              .Unsigned(18, 19, 0)
              .Signed(20, 24, 0)
              .Unsigned(25, 26, 0)
              .Signed(27, 31, cash == payments.end() ? 0 : cash->second.Amount)
              .Signed(32, 36, 0)
              .Unsigned(37, 38, 0)
              .Signed(39, 43, 0)
              .Unsigned(44, 45, 0)
              .Unsigned(46, 47, 0)
              .Finish()};
}

}  // namespace

bool IsReportTable(int table) { return table >= FirstReport && table <= LastReport; }

std::vector<std::string> ReportRecords(int table, const std::vector<TReceipt>& receipts,
                                       const TReportContext& context) {
  switch (table) {
    case 70:
    case 71:
      return Financial(receipts, context);
    case 72:
    case 73:
      return Departments(receipts);
    case 74:
    case 75:
      return Plus(receipts, context);
    case 76:
      return OperatorPlus(receipts);
    case 77:
    case 78:
      return {};
    case 79:
    case 80:
      return Staff(receipts, false);
    case 81:
    case 82:
      return Staff(receipts, true);
    case 83:
      return Hours(receipts);
    case 84:
      return Drawer(receipts);
    case 85:
      return ShortFinancial(receipts, context);
    default:
      throw std::invalid_argument("table " + std::to_string(table) + " is no report");
  }
}

std::optional<std::string> PluRecord(std::int64_t code, int pluNumber, int department,
                                     const std::vector<TReceipt>& receipts, const TReportContext& context) {
  TSum sum;
  sum.Code = code;
  sum.Group = department;
  AddEveryLine(receipts, [&](const TReceipt&, const TSaleLine& line) -> TSum* {
    if (line.Code != code) return nullptr;
    pluNumber = line.PluNumber;
    sum.Group = line.Department;
    return &sum;
  });
  if (pluNumber == 0) return std::nullopt;
  return PluSumRecord(pluNumber, sum, context);
}
