// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// TSalesLedger: the day's sales of the emulated register, receipt by receipt,
// with the electronic journal they wrote and the points from which each
// report counts. Reports are computed from the receipts on request (see
// sales_reports.h); a Z reset of a report moves that report's starting point
// past the receipts so far, the journal reset empties the journal. The grand
// total counts every receipt ever taken and survives the resets.
//
// Journal of one receipt (TJournalWriter): a sale start (code 40) with the
// operator and the receipt number, one PLU sale (05) per line, the total (20)
// and the payment (21), and what the receipt's extras add. Other events of
// the day are written through Writer(). A Z reset writes its report heading
// and total; the journal reset empties the journal, and the numbering of its
// rows starts at 1 again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mervsim/data/journal_writer.h"
#include "tools/mervsim/data/receipt.h"

class TSalesLedger {
public:
  /// Takes a receipt and writes its journal records.
  void Add(TReceipt receipt);

  /// The receipts a report table counts: those taken since its last Z reset.
  /// Table 85 counts with table 70, the PLU query (90) with table 74.
  std::vector<TReceipt> ReceiptsFor(int reportTable) const;
  const std::vector<TReceipt>& Receipts() const { return receipts_; }
  std::int64_t GrandTotal() const { return grandTotal_; }
  int NextReceiptNumber() const { return lastReceiptNumber_ + 1; }

  /// The Z reset with this index (3 to 16, 18) clears its report and writes
  /// its heading and total to the journal; 17 clears the journal. Other
  /// indexes change nothing here.
  void Reset(int resetIndex, const TJournalStamp& stamp = {});
  /// Which function-key lines the journal's reports carry.
  void SetFunctionKeyFamily(TFunctionKeyFamily family) { family_ = family; }
  TFunctionKeyFamily FunctionKeyFamily() const { return family_; }
  /// The VAT rates the journal's VAT lines are computed with.
  void SetVatRates(std::vector<TVatRate> rates) { vatRates_ = std::move(rates); }
  /// Forgets all receipts, reports and the journal (the total memory reset).
  void Clear();

  const std::vector<TJournalRow>& Journal() const { return journal_.Rows(); }
  /// For the events of the day that are not receipts.
  TJournalWriter& Writer() { return journal_; }

private:
  std::vector<TReceipt> receipts_;
  /// Index of the first receipt each report table counts.
  std::vector<std::pair<int, std::size_t>> reportStart_;
  TJournalWriter journal_;
  TFunctionKeyFamily family_ = TFunctionKeyFamily::None;
  std::vector<TVatRate> vatRates_;
  int zCounter_ = 0;
  int lastReceiptNumber_ = 0;
  std::int64_t grandTotal_ = 0;
};

/// The report table that the Z reset with this index clears, or 0.
int ReportOfReset(int resetIndex);
