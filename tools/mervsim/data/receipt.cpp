// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/receipt.h"

std::int64_t TSaleLine::Amount() const { return (UnitPrice * Quantity + 500) / 1000; }

std::int64_t TReceipt::Total() const {
  std::int64_t total = 0;
  for (const auto& line : Lines) total += line.Amount();
  return total;
}
