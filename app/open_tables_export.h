#pragma once
// "ROT": the open restaurant tables of the register as one text file for the
// calling application. For every open table (table 89) a header line
//   T;table;operator;operator name;amount
// and, after asking the register for that table's items (request table 67,
// then table 91), one line per item
//   D;quantity;DP;PLU code;PLU name;unit price;total;VAT   (a PLU)
//   D;quantity;DD;department;department name;unit price;total;VAT
// Names come from the departments, PLU, operators and VAT rates read in the
// same transfer as table 89. Lines end in CR LF; the file appears only
// complete.
#include <string>

#include "app/activity_run.h"

class TRadek;
class TSoubor;
class TSoubory;

/// The reference tables of the item lines.
struct TOpenTableNames {
  const TSoubor& Departments;
  const TSoubor& Plu;
  const TSoubor& Operators;
  const TSoubor& Vat;
};

/// The header line of a row of table 89, fields separated by "|".
std::string OpenTableHeaderLine(const TRadek& openTable, const TOpenTableNames& names);

/// The line of a row of table 91 that is not an empty slot, fields separated
/// by "|". A quantity, unit price or VAT index that is not an integer raises
/// EConvertError.
std::string OpenTableItemLine(const TRadek& item, const TOpenTableNames& names);

/// True for a row of table 91 that holds no item.
bool IsEmptyItemSlot(const TRadek& item);

/// Reads the open tables and their items and writes DataFile.
void ExportOpenTables(TActivityRun& run);
