#include "tools/mervsim/sales_ledger.h"

#include <algorithm>
#include <array>

#include "model/table_numbers.h"

namespace {

constexpr std::uint8_t SaleStartCode = 0x40;
constexpr std::uint8_t PluSaleCode = 0x05;
constexpr std::uint8_t TotalCode = 0x20;
constexpr std::uint8_t PaymentCode = 0x21;
constexpr int JournalResetIndex = 17;
constexpr int FinancialDaily = 70;
constexpr int ShortFinancial = 85;

// Z reset index -> report table.
constexpr std::array<std::pair<int, int>, 15> ResetReports = {{
    {3, 70}, {4, 71}, {5, 72}, {6, 73}, {7, 74}, {8, 75}, {9, 76}, {10, 77},
    {11, 78}, {12, 79}, {13, 80}, {14, 81}, {15, 82}, {16, 83}, {18, 84},
}};

int CountingTable(int reportTable) {
  if (reportTable == ShortFinancial) return FinancialDaily;
  if (reportTable == TableNumber::PluAnswer) return TableNumber::DailyPluReport;
  return reportTable;
}

}  // namespace

std::int64_t TSaleLine::Amount() const { return (UnitPrice * Quantity + 500) / 1000; }

std::int64_t TReceipt::Total() const {
  std::int64_t total = 0;
  for (const auto& line : Lines) total += line.Amount();
  return total;
}

int ReportOfReset(int resetIndex) {
  for (const auto& [reset, table] : ResetReports) {
    if (reset == resetIndex) return table;
  }
  return 0;
}

void TSalesLedger::Add(TReceipt receipt) {
  lastReceiptNumber_ = std::max(lastReceiptNumber_, receipt.Number);
  grandTotal_ += receipt.Total();
  WriteJournal(receipt);
  receipts_.push_back(std::move(receipt));
}

std::vector<TReceipt> TSalesLedger::ReceiptsFor(int reportTable) const {
  const int table = CountingTable(reportTable);
  std::size_t first = 0;
  for (const auto& [report, start] : reportStart_) {
    if (report == table) first = start;
  }
  return {receipts_.begin() + static_cast<std::ptrdiff_t>(std::min(first, receipts_.size())), receipts_.end()};
}

void TSalesLedger::Reset(int resetIndex) {
  if (resetIndex == JournalResetIndex) {
    journal_.clear();
    nextJournalRow_ = 1;
    return;
  }
  const int table = ReportOfReset(resetIndex);
  if (table == 0) return;
  const auto found = std::find_if(reportStart_.begin(), reportStart_.end(),
                                  [table](const auto& entry) { return entry.first == table; });
  if (found != reportStart_.end()) {
    found->second = receipts_.size();
  } else {
    reportStart_.emplace_back(table, receipts_.size());
  }
}

void TSalesLedger::Clear() {
  receipts_.clear();
  reportStart_.clear();
  journal_.clear();
  nextJournalRow_ = 1;
  grandTotal_ = 0;
}

void TSalesLedger::WriteJournal(const TReceipt& receipt) {
  auto write = [this](const TJournalRecord& record) { journal_.push_back({nextJournalRow_++, record.Hex()}); };
  write(TJournalRecord(SaleStartCode)
            .Digits(2, static_cast<std::uint64_t>(receipt.Operator), 1)
            .Digits(5, static_cast<std::uint64_t>(receipt.Number), 4)
            .Stamp(12, receipt.Stamp));
  for (const auto& line : receipt.Lines) {
    write(TJournalRecord(PluSaleCode)
              .Amount(2, line.Amount())
              .Quantity(9, line.Quantity)
              .Digits(13, static_cast<std::uint64_t>(line.Code), 7)
              .Digits(20, static_cast<std::uint64_t>(line.VatGroup), 1));
  }
  write(TJournalRecord(TotalCode).Amount(2, receipt.Total()));
  write(TJournalRecord(PaymentCode).Amount(2, receipt.Total()).Digits(9, static_cast<std::uint64_t>(receipt.Payment), 1));
}
