// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// One receipt of the emulated register: its sale lines, who took it, how it
// was paid and what else its journal shows.
#include <cstdint>
#include <vector>

#include "tools/mervsim/data/journal_record.h"

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

/// The payment key of cash (row 1 of table 8).
inline constexpr int CashPaymentKey = 1;

/// What the journal of a receipt shows beyond its lines, total and payment.
struct TReceiptExtras {
  /// VAT lines by group and the receipt number line (41).
  bool VatLines = false;
  /// Subtotal, a ten per cent discount and a surcharge that takes it back.
  bool Discounts = false;
  /// Card payment: the card's number (16 digits); 0 for none.
  std::int64_t CardNumber = 0;
  /// Insurance data of the total: insurer (4 digits) and personal number (10).
  int Insurer = 0;
  std::int64_t PersonalNumber = 0;
  /// Paid in this foreign currency (row of table 16); 0 for none.
  int Currency = 0;
  /// Cash tendered; above the total it gives a change line.
  std::int64_t Tendered = 0;
  /// A copy of the receipt was printed.
  bool Copy = false;
};

struct TReceipt {
  int Number = 0;
  int Operator = 0;
  int Waiter = 0;
  /// Payment key (row of table 8): 1 cash, 2 cheque, 3 card ...
  int Payment = CashPaymentKey;
  TJournalStamp Stamp;
  std::vector<TSaleLine> Lines;
  TReceiptExtras Extras;

  std::int64_t Total() const;
};
