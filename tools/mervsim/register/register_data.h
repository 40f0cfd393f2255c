// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// TRegisterData: everything the emulated register holds: its programming
// tables (the model catalogue of the chosen model, whose tables and record
// layouts are the register's), the day's sales with the journal, the open
// restaurant tables, the last data request (table 67) and the block state
// (table 69). It answers what a download streams and stores what an upload
// brought; the byte protocol around it is TRegisterEmulator's.
//
// Tables served beyond the stored rows:
//   70 to 85  reports computed from the sales (sales_reports.h);
//   87        the journal, oldest row first; 88 the journal newest row first
//             (the program ends it at the row it already has);
//   89, 91    the open tables, and the items of the table named by the last
//             request (column 2 of table 67, a packed decimal number), the
//             items followed by empty slots ("0000") up to the table's 70;
//   90        the PLU query: the PLU report record of the PLU whose code is
//             column 1 of the last request;
//   92        the journal from the row named by the last request (column 2,
//             its two bytes read as one 16-bit number, high byte first),
//             oldest first.
// A table that is empty, or a request that names nothing, streams no record.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/soubory.h"
#include "tools/mervsim/register/open_table.h"
#include "tools/mervsim/data/sales_ledger.h"
#include "tools/mervsim/data/sales_reports.h"

/// The records one download streams, made when asked for.
struct TRecordSource {
  std::size_t Count = 0;
  /// The finished record (check bytes included) at an index below Count.
  std::function<std::string(std::size_t index)> Record;

  static TRecordSource Of(std::vector<std::string> records);
};

/// How a finished upload changes its table.
enum class TUploadMode {
  /// The rows received replace the table.
  Replace,
  /// The rows received replace the rows with the same key and are added
  /// otherwise; the table stays sorted by its key and is numbered anew.
  MergeByKey,
};

class TRegisterData {
public:
  /// The tables of the model, all empty; no sales.
  explicit TRegisterData(std::string_view modelName);

  TSoubory& Catalogue() const { return *catalogue_; }
  const TSalesLedger& Ledger() const { return ledger_; }
  const std::vector<TOpenTable>& OpenTables() const { return openTables_; }

  /// The demo programming tables with `pluCount` PLU.
  void FillDemoTables(int pluCount);
  /// Loads each writable table of the model from the file "tableNN.txt"
  /// (NN the table number in two digits) in the folder, if there is one:
  /// layout 1, code page 852. Returns the numbers of the tables loaded.
  std::vector<int> LoadFolder(const std::filesystem::path& folder);
  /// A day of demo sales and three open tables, sold from table 3 as it is.
  void FillDemoSales();

  /// A receipt of these PLU (found by code in table 3, the last row with the
  /// code wins), operator 1, paid in cash, stamped now: it counts in the
  /// reports and is written to the journal. A code the table lacks raises
  /// std::invalid_argument.
  void Sell(const std::vector<std::pair<std::int64_t, std::int64_t>>& codesAndQuantities);

  /// What a DRQ for the table streams; none when the register has no such table.
  std::optional<TRecordSource> Download(int number) const;
  /// The table a DTX may write, or none.
  TSoubor* WritableTable(int number) const;
  bool HasReset(int index) const;

  /// Stores the records of a finished upload (each of the table's record
  /// length with good check bytes).
  void StoreUpload(int number, const std::vector<std::string>& records, TUploadMode mode);
  /// The reset with index 0 to 18: 0 empties the PLU table (and the stock),
  /// 1 empties everything, 2 closes the open tables, the others are the Z
  /// resets of the reports and 17 the journal reset.
  void ApplyReset(int index);

  /// Whether the last upload of table 69 blocked the register.
  bool Blocked() const;

private:
  std::optional<TRecordSource> ComputedDownload(int number) const;
  TReportContext ReportContext() const;
  TRecordSource RowsOf(const TSoubor& table) const;
  TRecordSource JournalFrom(int firstRow, bool newestFirst) const;
  TRecordSource OpenTableList() const;
  TRecordSource OpenTableItems() const;
  TRecordSource PluQuery() const;
  /// Bytes of one column of the last request, or empty without a request.
  std::string RequestField(int column) const;
  void MergeRows(TSoubor& table, const std::vector<std::string>& records);

  std::unique_ptr<TSoubory> catalogue_;
  TSalesLedger ledger_;
  std::vector<TOpenTable> openTables_;
  std::string request_;
};
