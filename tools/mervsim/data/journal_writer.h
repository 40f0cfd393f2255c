// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#pragma once
// TJournalWriter: the electronic journal of the emulated register, written
// record by record as the register writes it: receipts (sale start, PLU,
// department and link PLU lines, corrections, voids and refunds, discounts,
// VAT lines, subtotal, total with insurance data, payments by key, card and
// foreign currency, change, the receipt number line), operator log-ins,
// log-outs and hand-overs, cash in and out, no-sale, report headings and
// totals with the function-key lines of the model family, loyalty-card
// events and the register's own events (terminal on and off, resets, power
// failure, files from the PC). Rows are numbered from 1 in the order written;
// Clear starts the numbering again.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mervsim/data/journal_record.h"
#include "tools/mervsim/data/receipt.h"

struct TJournalRow {
  int Row = 0;
  /// The record as 40 hexadecimal digits.
  std::string Hex;
};

/// Which function-key lines (code 2C) a model writes under its reports.
enum class TFunctionKeyFamily { None, Ecr46x, Cm840 };

/// A VAT group (row of table 30) and its rate in hundredths of a percent.
struct TVatRate {
  int Group = 0;
  int Rate = 0;
};

class TJournalWriter {
public:
  const std::vector<TJournalRow>& Rows() const { return rows_; }
  void Clear();

  /// A receipt: sale start, its lines and whatever its extras ask for.
  void Receipt(const TReceipt& receipt, const std::vector<TVatRate>& rates);
  /// A receipt that was voided as a whole: its lines, each voided again.
  void VoidedReceipt(const TReceipt& receipt);
  /// A receipt of corrections and refunds: department, link PLU and PLU
  /// lines with their corrections, voids and refunds.
  void CorrectionReceipt(const TReceipt& receipt);

  void LogIn(int operatorNumber, const TJournalStamp& stamp);
  void LogOut(int operatorNumber, const TJournalStamp& stamp);
  /// The drawer handed over from one operator to another.
  void Handover(int from, int to);
  void CashMovement(bool in, int operatorNumber, int number, std::int64_t amount);
  void NoSale(int operatorNumber, int number, const TJournalStamp& stamp);
  /// A report heading (X or Z) and, with a total, the report's total line
  /// and the function-key lines of the family.
  void Report(int reportNumber, bool z, int counter, const TJournalStamp& stamp, std::int64_t total,
              TFunctionKeyFamily family);
  /// Loyalty card read, points and turnover, with the card's identifier.
  void LoyaltyCard(int cardNumber, std::int64_t turnover, const std::string& identifier);
  /// Terminal on and off, warm resets, power failure, RAM error and a file
  /// from the PC, as a register writes them over a day.
  void RegisterEvents(int operatorNumber, int receiptNumber, const TJournalStamp& stamp);
  /// A slip document and a tracked receipt of a restaurant table.
  void Documents(int table, std::int64_t amount, const TJournalStamp& stamp);

private:
  void Write(const TJournalRecord& record);
  void SaleStart(std::uint8_t code, const TReceipt& receipt);
  void PluLine(std::uint8_t code, std::int64_t amount, std::int64_t quantity, std::int64_t pluCode, int vatGroup);
  void Closing(const TReceipt& receipt, std::int64_t total);
  void VatLines(const TReceipt& receipt, const std::vector<TVatRate>& rates);

  std::vector<TJournalRow> rows_;
};
