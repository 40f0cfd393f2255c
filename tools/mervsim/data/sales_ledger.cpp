// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/sales_ledger.h"

#include <algorithm>
#include <array>

#include "model/table_numbers.h"

namespace {

constexpr int JournalResetIndex = 17;

// Z reset index -> report table.
constexpr std::array<std::pair<int, int>, 15> ResetReports = {{
    {3, 70},
    {4, 71},
    {5, 72},
    {6, 73},
    {7, 74},
    {8, 75},
    {9, 76},
    {10, 77},
    {11, 78},
    {12, 79},
    {13, 80},
    {14, 81},
    {15, 82},
    {16, 83},
    {18, 84},
}};

int CountingTable(int reportTable) {
  if (reportTable == TableNumber::ShortFinancialReport) return TableNumber::FinancialDaily;
  if (reportTable == TableNumber::PluAnswer) return TableNumber::DailyPluReport;
  return reportTable;
}

}  // namespace

int ReportOfReset(int resetIndex) {
  for (const auto& [reset, table] : ResetReports) {
    if (reset == resetIndex) return table;
  }
  return 0;
}

void TSalesLedger::Add(TReceipt receipt) {
  lastReceiptNumber_ = std::max(lastReceiptNumber_, receipt.Number);
  grandTotal_ += receipt.Total();
  journal_.Receipt(receipt, vatRates_);
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

void TSalesLedger::Reset(int resetIndex, const TJournalStamp& stamp) {
  if (resetIndex == JournalResetIndex) {
    journal_.Clear();
    return;
  }
  const int table = ReportOfReset(resetIndex);
  if (table == 0) return;
  std::int64_t total = 0;
  for (const auto& receipt : ReceiptsFor(table)) total += receipt.Total();
  journal_.Report(table, true, ++zCounter_, stamp, total, family_);
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
  journal_.Clear();
  grandTotal_ = 0;
  zCounter_ = 0;
}
