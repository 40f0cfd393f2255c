#pragma once
// TSalesLedger: the day's sales of the emulated register, receipt by receipt,
// with the electronic journal they wrote and the points from which each
// report counts. Reports are computed from the receipts on request (see
// sales_reports.h); a Z reset of a report moves that report's starting point
// past the receipts so far, the journal reset empties the journal. The grand
// total counts every receipt ever taken and survives the resets.
//
// Journal of one receipt: a sale start (code 40) with the operator and the
// receipt number, one PLU sale (05) per line, the total (20) and the payment
// (21). Journal rows are numbered from 1 in the order written; after the
// journal reset the numbering starts at 1 again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mervsim/journal_record.h"

struct TSaleLine {
  /// PLU code (EAN) and the PLU's record number in table 3.
  std::int64_t Code = 0;
  int PluNumber = 0;
  int Department = 0;
  int MainGroup = 0;
  int VatGroup = 0;
  /// Thousandths.
  std::int64_t Quantity = 0;
  /// Hundredths of the money unit.
  std::int64_t UnitPrice = 0;

  /// Unit price times quantity, rounded half up to hundredths.
  std::int64_t Amount() const;
};

struct TReceipt {
  int Number = 0;
  int Operator = 0;
  int Waiter = 0;
  /// Payment key (row of table 8): 1 cash, 2 cheque, 3 card ...
  int Payment = 1;
  TJournalStamp Stamp;
  std::vector<TSaleLine> Lines;

  std::int64_t Total() const;
};

struct TJournalRow {
  int Row = 0;
  /// The record as 40 hexadecimal digits.
  std::string Hex;
};

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

  /// The Z reset with this index (3 to 16, 18) clears its report; 17 clears
  /// the journal. Other indexes change nothing here.
  void Reset(int resetIndex);
  /// Forgets all receipts, reports and the journal (the total memory reset).
  void Clear();

  const std::vector<TJournalRow>& Journal() const { return journal_; }

private:
  void WriteJournal(const TReceipt& receipt);

  std::vector<TReceipt> receipts_;
  /// Index of the first receipt each report table counts.
  std::vector<std::pair<int, std::size_t>> reportStart_;
  std::vector<TJournalRow> journal_;
  int nextJournalRow_ = 1;
  int lastReceiptNumber_ = 0;
  std::int64_t grandTotal_ = 0;
};

/// The report table that the Z reset with this index clears, or 0.
int ReportOfReset(int resetIndex);
