#pragma once
// The table catalogue: the layout of every register table the program may
// transfer, by table number: columns (type and width), capacity, key column,
// the marks (writable, stoppable, announced with ENQ), the register list and
// the interpreter. The model catalogue (TSoubory) creates its tables from it
// and owns them; the model layout changes some of them afterwards.
//
// Programming tables get the column interpreter over their columns (table
// 65 over its first three only); report tables get their member of the
// report family.
#include <memory>
#include <span>

#include "model/soubor.h"
#include "model/tlumocnik.h"

/// The report interpreters a table may carry.
enum class ReportInterpreter {
  None,
  Financial,        // TTlumocnikReport70
  FinancialEcr40,   // TTlumocnikReport70ECR40
  Department,       // TTlumocnikReport72
  DepartmentStock,  // TTlumocnikReport72a
  Plu,              // TTlumocnikReport74
  LinkPlu,          // TTlumocnikReport77
  Operator,         // TTlumocnikReport79
  Hourly,           // TTlumocnikReport83
  Drawer,           // TTlumocnikReport84
  ShortFinancial,   // TTlumocnikReport85
};

/// The table numbers of the catalogue, in rising order.
std::span<const int> CatalogueTableNumbers();

/// A new table with the catalogue's layout for this number, interpreter and
/// register list included; none for a number the catalogue does not have.
/// Name and headings stay empty until the descriptions are read.
std::unique_ptr<TSoubor> CreateCatalogueTable(int number);

/// A new member of the report family; none for ReportInterpreter::None.
std::unique_ptr<TTlumocnik> CreateReportInterpreter(ReportInterpreter kind);

/// Gives the table a new column interpreter over all its columns (the
/// columns were changed).
void RenewColumnInterpreter(TSoubor& table);
