#pragma once
// The numbers of the register tables that the program treats by name. The
// catalogue holds every table; these are the ones some step looks up or
// handles apart.

/// The column of a text table (header, footer, slip, descriptive text) that
/// holds the text.
constexpr int TextColumn = 1;

/// The most rows a download takes of a table that has no capacity in the
/// catalogue (the journal): far more than a register holds, so that only a
/// register that never ends the table meets it.
constexpr int RowsWithoutCapacity = 100'000;

namespace TableNumber {

constexpr int Department = 1;
constexpr int Plu = 3;
constexpr int LinkPlu = 4;
constexpr int Operator = 6;
constexpr int Payment = 8;
constexpr int Keyboard = 15;
constexpr int Currency = 16;
constexpr int PluOperator = 20;
constexpr int Tcp = 21;
constexpr int DescriptiveText = 24;
constexpr int LongName = 25;
constexpr int OperatorAccess = 26;
constexpr int KeyChain = 27;
constexpr int TextMemory = 28;
constexpr int Vat = 30;
constexpr int Header = 31;
constexpr int Footer = 32;
constexpr int KitchenMessage = 40;
constexpr int OrderName = 41;
constexpr int Slip = 42;
constexpr int Logo = 44;
constexpr int DepartmentStock = 64;
constexpr int PluStock = 65;
/// The record that asks the register for one PLU or one journal row.
constexpr int Request = 67;
constexpr int DallasKey = 68;
/// Blocks and releases the register.
constexpr int Block = 69;
constexpr int FinancialDaily = 70;
constexpr int FinancialPeriodic = 71;
constexpr int DepartmentDaily = 72;
constexpr int DailyPluReport = 74;
constexpr int PeriodicPluReport = 75;
constexpr int ShortFinancialReport = 85;
/// The electronic journal, oldest record first.
constexpr int Journal = 87;
/// The electronic journal from a given row.
constexpr int JournalFromRow = 88;
constexpr int OpenTables = 89;
/// The register's answer to a PLU request.
constexpr int PluAnswer = 90;
constexpr int OpenTableDetail = 91;
/// The register's answer to a journal row request.
constexpr int JournalRowAnswer = 92;

/// Whether the rows of a table carry their record number in the first cell
/// (tables 1, 2, 4, 5 and 66).
constexpr bool HasRecordNumbers(int number) {
  return number == 1 || number == 2 || number == 4 || number == 5 || number == 66;
}

}  // namespace TableNumber
