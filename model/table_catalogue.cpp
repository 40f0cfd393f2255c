#include "model/table_catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>
#include <string_view>

#include "model/table_numbers.h"
#include "model/tlumocnik_report_financial.h"
#include "model/tlumocnik_report_sales.h"
#include "model/tlumocnik_report_staff.h"
#include "model/tlumocnik_sloupce.h"

namespace {

using Report = ReportInterpreter;

struct CatalogueEntry {
  int number;
  int capacity;
  /// The columns as "type:width", separated by blanks.
  std::string_view columns;
  int keyColumn;
  /// W writable, S stoppable, Q announced with ENQ.
  std::string_view marks;
  Report report = Report::None;
  /// Registers of the table's register list; 0 for no list.
  int registerCount = 0;
};

constexpr std::string_view Financial = "1:2 1:2 3:15 0:7 0:4 0:7";
constexpr std::string_view Department = "1:2 1:2 3:5 0:7 0:4 0:4 0:1";
constexpr std::string_view PluDaily = "1:3 3:5 0:7 0:7 0:4 0:1 0:4";
constexpr std::string_view OperatorDaily = "1:2 1:2 3:15 0:7 0:4 0:7";
constexpr std::string_view JournalRecord = "1:2 4:20 1:2";

// clang-format off
constexpr std::array<CatalogueEntry, 64> Catalogue = {{
    {1, 99, "1:2 3:18 0:4 0:4 0:1 0:1 0:1 0:2 4:1 0:1", -1, "W"},
    {2, 32, "1:2 3:18", -1, "W"},
    {3, 30000, "1:2 0:7 3:18 0:4 0:4 0:1 0:1 0:1 0:1 0:1 0:1 0:1 0:1 0:1 4:1", 1, "WS"},
    {4, 50, "1:2 3:18 0:4 0:4 0:1 0:1 0:1 0:1", -1, "W"},
    {5, 99, "1:2 3:18", -1, "W"},
    {6, 99, "1:2 3:18 0:2 0:1 0:2 0:1 4:1 4:1", -1, "W", Report::None, 2},
    {7, 9, "1:2 3:18 0:1 0:2 0:1", -1, "W"},
    {8, 30, "1:2 3:18 0:1 4:1 0:1", -1, "W", Report::None, 1},
    {9, 2, "1:2 0:4 0:1", -1, "W"},
    {10, 6, "1:2 0:2", -1, "W"},
    {11, 2, "1:2 4:2", -1, "W"},
    {12, 1, "1:2 4:2", -1, "W"},
    {13, 16, "1:2 4:1", -1, "W", Report::None, 14},
    {14, 3, "1:2 4:3", -1, "W"},
    {15, 12, "1:2 4:44", -1, "WQ"},
    {16, 4, "1:2 3:18 4:1 0:3", -1, "W"},
    {17, 26, "1:2 0:1", -1, "W"},
    {18, 3, "1:2 4:1", -1, "W", Report::None, 2},
    {19, 3, "1:2 4:1", -1, "W", Report::None, 3},
    {20, 40, "1:2 0:7", -1, "W"},
    {21, 1, "1:2 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1 1:1", -1, "W"},
    {23, 5, "1:2 4:3", -1, "W"},
    {24, 51, "1:2 3:40", -1, "WQ"},
    {25, 30000, "1:2 0:7 3:18", 1, "WS"},
    {26, 26, "1:2 4:7", -1, "W"},
    {27, 1, "1:2 4:32", -1, "W"},
    {28, 1638, "1:2 3:40", -1, "WQ"},
    {30, 8, "1:2 0:2 0:1", -1, "W"},
    {31, 7, "1:2 3:48", -1, "WQ"},
    {32, 6, "1:2 3:48", -1, "WQ"},
    {33, 1, "1:2 3:18", -1, "W"},
    {40, 30, "1:2 3:18 0:1", -1, "W"},
    {41, 10, "1:2 3:48", -1, "WQ"},
    {42, 4, "1:2 3:48", -1, "WQ"},
    {43, 8, "1:2 3:18 0:1 0:1", -1, "W"},
    {44, 359, "1:2 4:45", -1, "WQ"},
    {64, 50, "1:2 2:4", -1, "W"},
    {65, 30000, "1:2 0:7 2:4 3:18", 1, "WS"},
    {66, 50, "1:2 2:4", -1, "W"},
    {67, 1, "1:2 0:7 0:2", 1, "W"},
    {68, 100, "1:2 0:1 4:7", 1, "W"},
    {69, 1, "1:2 4:1", 1, "W"},
    {70, 138, Financial, -1, "", Report::Financial},
    {71, 138, Financial, -1, "", Report::Financial},
    {72, 99, Department, -1, "", Report::Department},
    {73, 99, Department, -1, "", Report::Department},
    {74, 30000, PluDaily, -1, "", Report::Plu},
    {75, 30000, "1:3 3:5 0:7 0:7 0:4 0:1", -1, "", Report::Plu},
    {76, 3960, "1:2 1:2 3:15 0:7 0:4 0:4", -1, "", Report::Department},
    {77, 50, "1:2 1:2 3:10 0:7 0:4 0:1 0:4", -1, "", Report::LinkPlu},
    {78, 50, "1:2 1:2 3:10 0:7 0:4 0:1", -1, "", Report::LinkPlu},
    {79, 3960, OperatorDaily, -1, "", Report::Operator},
    {80, 3960, "1:2 1:2 3:25 0:7 0:4 0:7", -1, "", Report::Operator},
    {81, 360, OperatorDaily, -1, "", Report::Operator},
    {82, 360, OperatorDaily, -1, "", Report::Operator},
    {83, 24, "1:2 1:2 3:10 0:7 0:4", -1, "", Report::Hourly},
    {84, 30, "1:2 1:2 3:10 0:7", -1, "", Report::Drawer},
    {85, 1, "0:10 0:10 0:10 0:4 0:10 0:4 0:10 0:10 0:4 0:10 0:4 0:4", -1, "", Report::ShortFinancial},
    {87, 0, JournalRecord, -1, ""},
    {88, 0, JournalRecord, -1, ""},
    {89, 800, "1:2 4:1 0:7", 1, ""},
    {90, 1, PluDaily, -1, "", Report::Plu},
    {91, 70, "1:2 0:4 4:2 0:7 0:1 0:1 0:4", 1, ""},
    {92, 0, JournalRecord, -1, "S"},
}};
// clang-format on

// The table numbers, kept beside the layouts so that lookups stay simple.
constexpr auto Numbers = [] {
  std::array<int, Catalogue.size()> numbers{};
  for (std::size_t i = 0; i < Catalogue.size(); ++i) numbers[i] = Catalogue[i].number;
  return numbers;
}();

static_assert(std::is_sorted(Numbers.begin(), Numbers.end()), "catalogue entries must rise by number");

constexpr int OperatorCodeColumn = 2;
constexpr int PluStockColumnsInRecord = 3;
constexpr int OpenTablesMarkedColumn = 1;

const CatalogueEntry* FindEntry(int number) {
  const auto found = std::lower_bound(Numbers.begin(), Numbers.end(), number);
  if (found == Numbers.end() || *found != number) return nullptr;
  return &Catalogue[static_cast<std::size_t>(found - Numbers.begin())];
}

int ParseNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) {
    throw std::logic_error("bad column layout in the table catalogue: " + std::string(text));
  }
  return value;
}

void AddColumns(TSoubor& table, std::string_view layout) {
  while (!layout.empty()) {
    const auto blank = layout.find(' ');
    const auto column = layout.substr(0, blank);
    const auto colon = column.find(':');
    table.AddColumn(static_cast<std::uint8_t>(ParseNumber(column.substr(0, colon))),
                    ParseNumber(column.substr(colon + 1)));
    layout = blank == std::string_view::npos ? std::string_view{} : layout.substr(blank + 1);
  }
}

int ColumnsInRecord(const TSoubor& table) {
  return table.Number == TableNumber::PluStock ? PluStockColumnsInRecord : -1;
}

template <typename Interpreter>
std::unique_ptr<TTlumocnik> Make() {
  return std::make_unique<Interpreter>();
}

struct ReportMaker {
  Report Kind;
  std::unique_ptr<TTlumocnik> (*Made)();
};

// The interpreter of each report kind; Report::None has none.
constexpr std::array<ReportMaker, 10> ReportMakers = {{
    {Report::Financial, &Make<TTlumocnikReport70>},
    {Report::FinancialEcr40, &Make<TTlumocnikReport70ECR40>},
    {Report::Department, &Make<TTlumocnikReport72>},
    {Report::DepartmentStock, &Make<TTlumocnikReport72a>},
    {Report::Plu, &Make<TTlumocnikReport74>},
    {Report::LinkPlu, &Make<TTlumocnikReport77>},
    {Report::Operator, &Make<TTlumocnikReport79>},
    {Report::Hourly, &Make<TTlumocnikReport83>},
    {Report::Drawer, &Make<TTlumocnikReport84>},
    {Report::ShortFinancial, &Make<TTlumocnikReport85>},
}};

}  // namespace

std::span<const int> CatalogueTableNumbers() { return Numbers; }

std::unique_ptr<TSoubor> CreateCatalogueTable(int number) {
  const CatalogueEntry* entry = FindEntry(number);
  if (entry == nullptr) return nullptr;
  auto table = std::make_unique<TSoubor>();
  table->Number = number;
  table->Capacity = entry->capacity;
  table->KeyColumn = entry->keyColumn;
  table->Writable = entry->marks.find('W') != std::string_view::npos;
  table->Stoppable = entry->marks.find('S') != std::string_view::npos;
  table->EnqMark = entry->marks.find('Q') != std::string_view::npos;
  AddColumns(*table, entry->columns);
  if (number == TableNumber::Operator) table->Columns[OperatorCodeColumn].Display = DisplayKind::Chars3;
  if (number == TableNumber::OpenTables) table->Columns[OpenTablesMarkedColumn].Mark = true;
  if (entry->registerCount > 0) table->Registers = std::make_unique<TPoklRegistry>(entry->registerCount);
  if (entry->report == Report::None) {
    RenewColumnInterpreter(*table);
  } else {
    table->Interpreter = CreateReportInterpreter(entry->report);
  }
  return table;
}

std::unique_ptr<TTlumocnik> CreateReportInterpreter(ReportInterpreter kind) {
  for (const auto& [reportKind, make] : ReportMakers) {
    if (reportKind == kind) return make();
  }
  return nullptr;
}

void RenewColumnInterpreter(TSoubor& table) {
  table.Interpreter = std::make_unique<TTlumocnikSloupce>(table.Columns, ColumnsInRecord(table));
}
