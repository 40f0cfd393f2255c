// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#include "tools/mervsim/register/register_data.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <map>
#include <unordered_map>

#include "model/catalogue_builder.h"
#include "model/table_file.h"
#include "model/table_numbers.h"
#include "tools/mervsim/data/demo_data.h"
#include "tools/mervsim/data/sales_reports.h"

namespace {

constexpr int TableFileCodePage852 = TableFileCodePage::Register;
constexpr const char* EmptySlotKind = "0000";

constexpr int PluResetIndex = 0;
constexpr int MemoryResetIndex = 1;
constexpr int OpenTablesResetIndex = 2;

std::optional<std::int64_t> DecimalNumber(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Packed decimal bytes as a number; none when a half-byte is above 9.
std::optional<std::int64_t> PackedNumber(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char byte : bytes) {
    const int high = static_cast<std::uint8_t>(byte) >> 4;
    const int low = static_cast<std::uint8_t>(byte) & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    value = value * 100 + high * 10 + low;
  }
  return value;
}

// "12.500" -> 12500; none for anything else.
std::optional<std::int64_t> ThousandthsCell(std::string text) {
  const auto point = text.find('.');
  if (point != std::string::npos) text.erase(point, 1);
  return DecimalNumber(text);
}

std::string EncodeRowText(const TSoubor& table, std::string_view rowText) {
  TRadek row(static_cast<int>(table.Columns.size()));
  row.SetDefaults(table.Columns);
  row.ReadRowText(rowText, table.Columns);
  return table.Interpreter->EncodeRow(row, false);
}

std::string TwoHexDigits(int value) {
  static constexpr char HexDigits[] = "0123456789ABCDEF";
  return {HexDigits[(value >> 4) & 0x0F], HexDigits[value & 0x0F]};
}

TJournalStamp Today() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  TJournalStamp stamp;
  if (local != nullptr) {
    stamp.Year = local->tm_year % 100;
    stamp.Month = local->tm_mon + 1;
    stamp.Day = local->tm_mday;
  }
  return stamp;
}

TJournalStamp Now() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  TJournalStamp stamp = Today();
  if (local != nullptr) {
    stamp.Hour = local->tm_hour;
    stamp.Minute = local->tm_min;
  }
  return stamp;
}

TFunctionKeyFamily FunctionKeyFamilyOf(std::string_view modelName) {
  for (const std::string_view name : {"ECR 465T/465TF", "ECR 466T/466TF", "ECR 460T/460TF"}) {
    if (modelName == name) return TFunctionKeyFamily::Ecr46x;
  }
  return modelName == "CM-840/842" ? TFunctionKeyFamily::Cm840 : TFunctionKeyFamily::None;
}

std::vector<TVatRate> VatRatesOf(const TSoubory& catalogue) {
  std::vector<TVatRate> rates;
  if (const TSoubor* vat = catalogue.Table(TableNumber::Vat)) {
    for (const auto& row : vat->Rows) {
      const auto group = DecimalNumber(row.Cell(0));
      const auto rate = DecimalNumber(row.Cell(1));
      if (group && rate) rates.push_back({static_cast<int>(*group), static_cast<int>(*rate)});
    }
  }
  return rates;
}

}  // namespace

TRecordSource TRecordSource::Of(std::vector<std::string> records) {
  auto shared = std::make_shared<const std::vector<std::string>>(std::move(records));
  return {shared->size(), [shared](std::size_t index) { return shared->at(index); }};
}

TRegisterData::TRegisterData(std::string_view modelName) : catalogue_(BuildCatalogue(modelName)) {}

void TRegisterData::FillDemoTables(int pluCount) { ::FillDemoTables(*catalogue_, pluCount); }

std::vector<int> TRegisterData::LoadFolder(const std::filesystem::path& folder) {
  std::vector<int> loaded;
  for (int number = 1; number <= TSoubory::MaxTableNumber; ++number) {
    TSoubor* table = WritableTable(number);
    const auto file = folder / ("table" + std::string(number < 10 ? "0" : "") + std::to_string(number) + ".txt");
    if (table == nullptr || !std::filesystem::exists(file)) continue;
    LoadTable(*table, file.string(), TableFileCodePage852, catalogue_->KeyLayouts, FirstFileColumn(*table),
              TableFileLayout::Separated);
    loaded.push_back(number);
  }
  return loaded;
}

void TRegisterData::FillDemoSales() {
  const TSoubor* plu = catalogue_->Table(TableNumber::Plu);
  if (plu == nullptr) return;
  ledger_.SetFunctionKeyFamily(FunctionKeyFamilyOf(catalogue_->ModelName));
  ledger_.SetVatRates(VatRatesOf(*catalogue_));
  WriteDemoDay(ledger_, DemoReceipts(*plu, Today(), ledger_.NextReceiptNumber()));
  openTables_ = DemoOpenTables(*plu);
}

void TRegisterData::Sell(const std::vector<std::pair<std::int64_t, std::int64_t>>& codesAndQuantities) {
  TReceipt receipt;
  receipt.Number = ledger_.NextReceiptNumber();
  receipt.Operator = 1;
  receipt.Waiter = 1;
  receipt.Stamp = Now();
  const TSoubor* plu = catalogue_->Table(TableNumber::Plu);
  if (plu == nullptr) throw std::invalid_argument("the model has no PLU table to sell from");
  for (const auto& [code, quantity] : codesAndQuantities) {
    std::optional<TSaleLine> sold;
    for (const auto& row : plu->Rows) {
      if (DecimalNumber(row.Cell(1)) == code) sold = SaleOfPluRow(row);
    }
    if (!sold) throw std::invalid_argument("no PLU with the code " + std::to_string(code) + " to sell");
    sold->Quantity = quantity;
    receipt.Lines.push_back(*sold);
  }
  ledger_.SetVatRates(VatRatesOf(*catalogue_));
  ledger_.Add(std::move(receipt));
}

std::optional<TRecordSource> TRegisterData::Download(int number) const {
  const TSoubor* table = catalogue_->Table(number);
  if (table == nullptr) return std::nullopt;
  if (auto computed = ComputedDownload(number)) return computed;
  return RowsOf(*table);
}

TSoubor* TRegisterData::WritableTable(int number) const {
  TSoubor* table = catalogue_->Table(number);
  return table != nullptr && table->Writable ? table : nullptr;
}

bool TRegisterData::HasReset(int index) const { return catalogue_->Reset(index) != nullptr; }

void TRegisterData::StoreUpload(int number, const std::vector<std::string>& records, TUploadMode mode) {
  if (number == TableNumber::Request) {
    if (!records.empty()) request_ = records.back();
    return;
  }
  TSoubor* table = WritableTable(number);
  if (table == nullptr) throw std::invalid_argument("table " + std::to_string(number) + " cannot be written");
  if (mode == TUploadMode::MergeByKey && table->KeyColumn >= 0) {
    MergeRows(*table, records);
    return;
  }
  table->Rows.clear();
  for (const auto& record : records) table->AddRow(-1, table->Interpreter->DecodeRecord(record));
}

void TRegisterData::ApplyReset(int index) {
  switch (index) {
    case PluResetIndex:
      for (const int number : {TableNumber::Plu, TableNumber::PluStock}) {
        if (TSoubor* table = catalogue_->Table(number)) table->Rows.clear();
      }
      break;
    case MemoryResetIndex:
      for (int number = 1; number <= TSoubory::MaxTableNumber; ++number) {
        if (TSoubor* table = catalogue_->Table(number)) table->Rows.clear();
      }
      ledger_.Clear();
      openTables_.clear();
      request_.clear();
      break;
    case OpenTablesResetIndex:
      openTables_.clear();
      break;
    default:
      ledger_.SetVatRates(VatRatesOf(*catalogue_));
      ledger_.Reset(index, Now());
      break;
  }
}

bool TRegisterData::Blocked() const {
  const TSoubor* table = catalogue_->Table(TableNumber::Block);
  if (table == nullptr || table->Rows.empty()) return false;
  const std::string& state = table->Rows.front().Cell(1);
  return !state.empty() && state.find_first_not_of('0') != std::string::npos;
}

TReportContext TRegisterData::ReportContext() const {
  TReportContext context;
  context.VatRates = VatRatesOf(*catalogue_);
  if (const TSoubor* stock = catalogue_->Table(TableNumber::PluStock)) {
    auto byCode = std::make_shared<std::unordered_map<std::int64_t, std::int64_t>>();
    for (const auto& row : stock->Rows) {
      const auto code = DecimalNumber(row.Cell(1));
      const auto amount = ThousandthsCell(row.Cell(2));
      if (code && amount) (*byCode)[*code] = *amount;
    }
    context.Stock = [byCode](std::int64_t code) {
      const auto found = byCode->find(code);
      return found == byCode->end() ? std::int64_t{0} : found->second;
    };
  }
  for (const auto& table : openTables_) context.OpenTablesTotal += table.Amount();
  context.GrandTotal = ledger_.GrandTotal();
  return context;
}

std::optional<TRecordSource> TRegisterData::ComputedDownload(int number) const {
  if (IsReportTable(number)) {
    return TRecordSource::Of(ReportRecords(number, ledger_.ReceiptsFor(number), ReportContext()));
  }
  switch (number) {
    case TableNumber::Request:
      return TRecordSource::Of(request_.empty() ? std::vector<std::string>{} : std::vector<std::string>{request_});
    case TableNumber::Journal:
      return JournalFrom(0, false);
    case TableNumber::JournalFromRow:
      return JournalFrom(0, true);
    case TableNumber::JournalRowAnswer: {
      const std::string row = RequestField(2);
      if (row.size() != 2) return TRecordSource{};
      return JournalFrom(static_cast<std::uint8_t>(row[0]) << 8 | static_cast<std::uint8_t>(row[1]), false);
    }
    case TableNumber::OpenTables:
      return OpenTableList();
    case TableNumber::PluAnswer:
      return PluQuery();
    case TableNumber::OpenTableDetail:
      return OpenTableItems();
    default:
      return std::nullopt;
  }
}

TRecordSource TRegisterData::RowsOf(const TSoubor& table) const {
  return {table.Rows.size(),
          [&table](std::size_t index) { return table.Interpreter->EncodeRow(table.Rows.at(index), false); }};
}

TRecordSource TRegisterData::JournalFrom(int firstRow, bool newestFirst) const {
  const TSoubor& table = *catalogue_->Table(newestFirst ? TableNumber::JournalFromRow : TableNumber::Journal);
  std::vector<TJournalRow> rows;
  for (const auto& row : ledger_.Journal()) {
    if (row.Row >= firstRow) rows.push_back(row);
  }
  if (newestFirst) std::reverse(rows.begin(), rows.end());
  std::vector<std::string> records;
  int index = 0;
  for (const auto& row : rows) {
    records.push_back(
        EncodeRowText(table, std::to_string(++index) + "|" + row.Hex + "|" + std::to_string(row.Row) + "|"));
  }
  return TRecordSource::Of(std::move(records));
}

TRecordSource TRegisterData::OpenTableList() const {
  const TSoubor& table = *catalogue_->Table(TableNumber::OpenTables);
  std::vector<std::string> records;
  for (const auto& open : openTables_) {
    records.push_back(EncodeRowText(table, std::to_string(open.Number) + "|" + TwoHexDigits(open.Operator) + "|" +
                                               std::to_string(open.Amount()) + "|"));
  }
  return TRecordSource::Of(std::move(records));
}

TRecordSource TRegisterData::OpenTableItems() const {
  const TSoubor& table = *catalogue_->Table(TableNumber::OpenTableDetail);
  const auto wanted = PackedNumber(RequestField(2));
  const auto open = std::find_if(openTables_.begin(), openTables_.end(), [&wanted](const TOpenTable& candidate) {
    return wanted && candidate.Number == *wanted;
  });
  if (open == openTables_.end()) return {};
  std::vector<std::string> records;
  int slot = 0;
  for (const auto& item : open->Items) {
    records.push_back(EncodeRowText(table, std::to_string(++slot) + "|" + std::to_string(item.Quantity) + "|" +
                                               item.Kind + "|" + std::to_string(item.Code) + "|" +
                                               std::to_string(item.VatGroup) + "|0|" + std::to_string(item.UnitPrice) +
                                               "|"));
  }
  while (slot < table.Capacity) {
    records.push_back(EncodeRowText(table, std::to_string(++slot) + "|0|" + EmptySlotKind + "|0|0|0|0|"));
  }
  return TRecordSource::Of(std::move(records));
}

TRecordSource TRegisterData::PluQuery() const {
  const auto code = PackedNumber(RequestField(1));
  if (!code) return {};
  int pluNumber = 0;
  int department = 0;
  if (const TSoubor* plu = catalogue_->Table(TableNumber::Plu)) {
    for (const auto& row : plu->Rows) {
      if (DecimalNumber(row.Cell(1)) != code) continue;
      pluNumber = static_cast<int>(DecimalNumber(row.Cell(0)).value_or(0));
      department = static_cast<int>(DecimalNumber(row.Cell(5)).value_or(0));
    }
  }
  const auto record =
      PluRecord(*code, pluNumber, department, ledger_.ReceiptsFor(TableNumber::PluAnswer), ReportContext());
  return TRecordSource::Of(record ? std::vector<std::string>{*record} : std::vector<std::string>{});
}

std::string TRegisterData::RequestField(int column) const {
  const TSoubor* table = catalogue_->Table(TableNumber::Request);
  if (table == nullptr || request_.empty()) return {};
  std::size_t offset = 0;
  for (int i = 0; i < column && i < static_cast<int>(table->Columns.size()); ++i) {
    offset += static_cast<std::size_t>(table->Columns[static_cast<std::size_t>(i)].Width);
  }
  const auto width = static_cast<std::size_t>(table->Columns.at(static_cast<std::size_t>(column)).Width);
  return offset + width <= request_.size() ? request_.substr(offset, width) : std::string();
}

void TRegisterData::MergeRows(TSoubor& table, const std::vector<std::string>& records) {
  std::map<std::int64_t, TRadek> byKey;
  std::vector<TRadek> withoutKey;
  auto take = [&](TRadek row) {
    if (const auto key = DecimalNumber(row.Cell(table.KeyColumn))) {
      byKey.insert_or_assign(*key, std::move(row));
    } else {
      withoutKey.push_back(std::move(row));
    }
  };
  for (auto& row : table.Rows) take(std::move(row));
  table.Rows.clear();
  for (const auto& record : records) {
    table.AddRow(-1, table.Interpreter->DecodeRecord(record));
    take(std::move(table.Rows.back()));
    table.Rows.clear();
  }
  for (auto& [key, row] : byKey) table.Rows.push_back(std::move(row));
  for (auto& row : withoutKey) table.Rows.push_back(std::move(row));
  for (std::size_t i = 0; i < table.Rows.size(); ++i) table.Rows[i].SetCell(0, std::to_string(i + 1));
}
