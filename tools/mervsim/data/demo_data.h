// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// The demo content of the emulated register: a small shop's programming
// (departments, main groups, PLU with EAN codes, stock, operators, head
// waiters, payment keys, VAT rates, receipt header), a day of receipts sold
// from the PLU table as it stands, and a few open restaurant tables. All of
// it is made from a fixed seed, so every start gives the same data.
//
// Demo PLU number i (1-based) has the EAN-13 code 859 + i in nine digits +
// check digit (DemoPluCode) and a name of a product word and a number.
#include <cstdint>
#include <optional>
#include <vector>

#include "model/soubory.h"
#include "tools/mervsim/register/open_table.h"
#include "tools/mervsim/data/sales_ledger.h"

/// The EAN-13 code of demo PLU `number`.
std::int64_t DemoPluCode(int number);

/// Fills the programming tables the model has (1, 2, 3, 6, 7, 8, 30, 31, 65)
/// with the demo content; `pluCount` PLU rows (and as many stock rows).
void FillDemoTables(TSoubory& catalogue, int pluCount);

/// The sale line of a PLU row (quantity 0), or none when the row's numbers
/// do not read.
std::optional<TSaleLine> SaleOfPluRow(const TRadek& row);

/// A day of receipts for the stamp's date (hours 7 to 18), sold from the rows
/// of the PLU table; none when it is empty. Receipt numbers start at
/// `firstNumber`.
std::vector<TReceipt> DemoReceipts(const TSoubor& pluTable, const TJournalStamp& day, int firstNumber);

/// Takes the day's receipts into the ledger and writes the journal of the
/// day around them: the first two receipts come first and plain, then the
/// events between receipts, and the day's X report at the end.
void WriteDemoDay(TSalesLedger& ledger, std::vector<TReceipt> receipts);

/// Three open tables with items from the PLU table and one department item.
std::vector<TOpenTable> DemoOpenTables(const TSoubor& pluTable);
