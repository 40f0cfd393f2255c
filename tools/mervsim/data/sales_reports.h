// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// The report records of the emulated register, computed from the receipts a
// report counts (TSalesLedger::ReceiptsFor). Each function returns finished
// 49-byte records (report_record.h) in the order the register sends them.
//
// Record contents (kind, number: bytes 1 and 2; fields by byte position):
//   financial 70/71: kind 1 VAT lines (per VAT group g: 3g-2 base, 3g-1 with
//     VAT, 3g the VAT; number 25 the exempt sales), kind 2 turnover (1 gross,
//     2 net, 3 positive grand total, 4 negative, 5 grand total; 3-11),
//     kind 3 per payment key (amount 3-10, count 18-19, total 30-37), kind 4
//     drawer (1 cash, 2.. other payments, 31 voids, 73 no-sale, 75 customers,
//     76 receipts);
//   departments 72/73: kind the department, amount, count 18-19, quantity
//     21-28, main group 38;
//   PLU 74/75 and the PLU query 90: bytes 1-2 the PLU's record number, amount,
//     code 14-20, quantity, department 38, stock 39-46;
//   operator by PLU 76: kind the operator, number the PLU's place in the
//     operator's list (up to 255), amount, count, quantity, department;
//   link PLU 77/78: none (the demo sells no link PLU);
//   operators 79/80 and waiters 81/82: kind the person, number 1 sales
//     (amount, count), 2 net sales, 7 customers, 10 + payment key the
//     payments (amount, count, total);
//   hourly 83: kind the hour, amount, count of receipts;
//   drawer 84: kind the payment key, total 30-37;
//   short financial 85: one record of twelve fields.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/mervsim/data/sales_ledger.h"

// TVatRate (a VAT group, row of table 30, and its rate): journal_writer.h.

/// What the reports take from the register's tables besides the receipts.
struct TReportContext {
  std::vector<TVatRate> VatRates;
  /// Stock of a PLU code in thousandths.
  std::function<std::int64_t(std::int64_t code)> Stock = [](std::int64_t) { return std::int64_t{0}; };
  /// Sum of the open tables (the short financial report shows it).
  std::int64_t OpenTablesTotal = 0;
  std::int64_t GrandTotal = 0;
};

/// Whether the emulator computes this table number as a report.
bool IsReportTable(int table);

/// The records of report table 70 to 85.
std::vector<std::string> ReportRecords(int table, const std::vector<TReceipt>& receipts, const TReportContext& context);

/// The PLU report record of one PLU: its sales in the receipts given, with
/// the record number and department of its PLU row. None when the PLU is not
/// programmed (`pluNumber` 0) and was not sold either.
std::optional<std::string> PluRecord(std::int64_t code, int pluNumber, int department,
                                     const std::vector<TReceipt>& receipts, const TReportContext& context);
