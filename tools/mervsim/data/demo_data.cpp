// mervsim data/: what the register holds: demo shop, receipts, sales, report and journal records.
#include "tools/mervsim/data/demo_data.h"

#include <array>
#include <charconv>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "base/code_page.h"

namespace {

constexpr std::uint32_t DemoSeed = 20260315;
constexpr int FirstHour = 7;
constexpr int LastHour = 18;
constexpr int ReceiptsPerHour = 20;
constexpr int SoldPluRange = 400;
constexpr int MaxLinesPerReceipt = 4;
constexpr int OperatorCount = 4;
constexpr int HeadWaiterCount = 2;
constexpr int CardKey = 3;
constexpr int ProduceDepartment = 4;

struct TProduct {
  const char* Name;  // UTF-8
  int Department;
};

constexpr std::array<TProduct, 28> Products = {{
    {"Rohlík", 1},    {"Chléb", 1},    {"Mléko", 2},   {"Máslo", 2},    {"Jogurt", 2},  {"Sýr eidam", 2}, {"Šunka", 3},
    {"Salám", 3},     {"Jablka", 4},   {"Banány", 4},  {"Brambory", 4}, {"Rajčata", 4}, {"Minerálka", 5}, {"Džus", 5},
    {"Pivo", 6},      {"Víno", 6},     {"Káva", 7},    {"Čaj", 7},      {"Cukr", 7},    {"Mouka", 7},     {"Rýže", 7},
    {"Těstoviny", 7}, {"Čokoláda", 8}, {"Sušenky", 8}, {"Mýdlo", 9},    {"Šampon", 9},  {"Zmrzlina", 10}, {"Pizza", 10},
}};

struct TDepartment {
  const char* Name;  // UTF-8
  int VatGroup;
  int MainGroup;
};

constexpr std::array<TDepartment, 10> DemoDepartments = {{
    {"Pečivo", 2, 1},
    {"Mléčné výrobky", 2, 1},
    {"Maso a uzeniny", 2, 1},
    {"Ovoce a zelenina", 2, 1},
    {"Nápoje", 2, 2},
    {"Alkohol", 1, 2},
    {"Trvanlivé", 2, 1},
    {"Cukrovinky", 2, 1},
    {"Drogerie", 1, 3},
    {"Mražené", 2, 1},
}};

constexpr std::array<const char*, 3> MainGroups = {"Potraviny", "Nápoje", "Drogerie"};
constexpr std::array<const char*, 5> OperatorRows = {"1|Novák Jan|000|0|0|1|00|00|", "2|Svobodová Eva|000|0|0|1|00|00|",
                                                     "3|Dvořák Petr|000|0|0|1|00|00|", "4|Černá Lucie|000|0|0|1|00|00|",
                                                     "5|Vedoucí směny|123|2|0|1|00|00|"};
constexpr std::array<const char*, 2> HeadWaiterRows = {"1|Vrchní Karel|1|0|1|", "2|Vrchní Marie|1|0|1|"};
constexpr std::array<const char*, 5> PaymentRows = {"1|HOTOVOST|0|00|0|", "2|ŠEK|0|00|0|", "3|KARTA|0|00|0|",
                                                    "4|KREDIT|0|00|0|", "5|STRAVENKY|0|00|0|"};
constexpr std::array<const char*, 3> VatRows = {"1|2100|1|", "2|1200|1|", "3|0|2|"};
constexpr std::array<const char*, 5> HeaderRows = {"1|Obchod U Registru|", "2|Dlouhá 12, Praha 1|", "3|IČ 12345678|",
                                                   "4|DIČ CZ12345678|", "5|Děkujeme za nákup|"};

// Columns of the PLU table that the sales read.
constexpr int PluNumberCell = 0, PluCodeCell = 1, PluPriceCell = 3, PluDepartmentCell = 5, PluVatCell = 6,
              PluMainGroupCell = 7;

std::string Text(std::string_view utf8) { return Utf8ToCp1250(utf8); }

TSoubor* Present(TSoubory& catalogue, int number) {
  TSoubor* table = catalogue.Table(number);
  if (table != nullptr) table->Rows.clear();
  return table;
}

template <std::size_t N>
void FillRows(TSoubory& catalogue, int number, const std::array<const char*, N>& rows) {
  if (TSoubor* table = Present(catalogue, number)) {
    for (const char* row : rows) table->AddRow(-1, Text(row));
  }
}

std::string DemoPluName(int number) {
  const auto& product = Products[static_cast<std::size_t>(number - 1) % Products.size()];
  return Text(product.Name) + " " + std::to_string((number - 1) / static_cast<int>(Products.size()) + 1);
}

const TDepartment& DepartmentOf(int number) { return DemoDepartments[static_cast<std::size_t>(number - 1)]; }

std::int64_t DemoPrice(std::mt19937& random) { return 500 + static_cast<std::int64_t>(random() % 300) * 50; }

void FillPlu(TSoubory& catalogue, int pluCount, std::mt19937& random) {
  TSoubor* plu = Present(catalogue, 3);
  TSoubor* stock = Present(catalogue, 65);
  if (plu == nullptr) return;
  plu->Rows.reserve(static_cast<std::size_t>(pluCount));
  for (int number = 1; number <= pluCount; ++number) {
    const int department = Products[static_cast<std::size_t>(number - 1) % Products.size()].Department;
    const auto& info = DepartmentOf(department);
    const std::string code = std::to_string(DemoPluCode(number));
    plu->AddRow(-1, std::to_string(number) + "|" + code + "|" + DemoPluName(number) + "|" +
                        std::to_string(DemoPrice(random)) + "|0|" + std::to_string(department) + "|" +
                        std::to_string(info.VatGroup) + "|" + std::to_string(info.MainGroup) + "|0|0|0|0|0|0|00|");
    if (stock != nullptr) {
      const auto thousandths = 20000 + static_cast<std::int64_t>(random() % 180) * 500;
      stock->AddRow(-1, std::to_string(number) + "|" + code + "|" + std::to_string(thousandths / 1000) + "." +
                            std::to_string(1000 + thousandths % 1000).substr(1) + "|" + DemoPluName(number) + "|");
    }
  }
}

void FillDepartments(TSoubory& catalogue) {
  if (TSoubor* table = Present(catalogue, 1)) {
    for (std::size_t i = 0; i < DemoDepartments.size(); ++i) {
      const auto& department = DemoDepartments[i];
      table->AddRow(-1, std::to_string(i + 1) + "|" + Text(department.Name) + "|0|0|" +
                            std::to_string(department.VatGroup) + "|" + std::to_string(department.MainGroup) +
                            "|0|0|00|0|");
    }
  }
  if (TSoubor* table = Present(catalogue, 2)) {
    for (std::size_t i = 0; i < MainGroups.size(); ++i)
      table->AddRow(-1, std::to_string(i + 1) + "|" + Text(MainGroups[i]) + "|");
  }
}

std::optional<std::int64_t> NumberCell(const TRadek& row, int cell) {
  const std::string& text = row.Cell(cell);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<TSaleLine> SaleOfPluRow(const TRadek& row) {
  const auto number = NumberCell(row, PluNumberCell);
  const auto code = NumberCell(row, PluCodeCell);
  const auto price = NumberCell(row, PluPriceCell);
  const auto department = NumberCell(row, PluDepartmentCell);
  const auto vat = NumberCell(row, PluVatCell);
  const auto mainGroup = NumberCell(row, PluMainGroupCell);
  if (!number || !code || !price || !department || !vat || !mainGroup) return std::nullopt;
  TSaleLine line;
  line.PluNumber = static_cast<int>(*number);
  line.Code = *code;
  line.UnitPrice = *price;
  line.Department = static_cast<int>(*department);
  line.VatGroup = static_cast<int>(*vat);
  line.MainGroup = static_cast<int>(*mainGroup);
  return line;
}

namespace {

std::int64_t DemoQuantity(const TSaleLine& line, std::mt19937& random) {
  if (line.Department == ProduceDepartment) return 250 + static_cast<std::int64_t>(random() % 400) * 5;
  return 1000 * (1 + static_cast<std::int64_t>(random() % 3));
}

// Every twentieth receipt from the fourth on shows one more kind of journal
// line; the first receipts stay plain.
void AddExtras(TReceipt& receipt, std::size_t index) {
  auto& extras = receipt.Extras;
  switch (index % 20) {
    case 3:
      extras.VatLines = true;
      break;
    case 7:
      receipt.Payment = CardKey;
      extras.CardNumber = 4'111'111'111'111'111 + static_cast<std::int64_t>(index);
      extras.VatLines = true;
      break;
    case 11:
      extras.Discounts = true;
      extras.Insurer = 111;
      extras.PersonalNumber = 8'501'011'234;
      break;
    case 13:
      receipt.Payment = CashPaymentKey;
      extras.Currency = 1;
      break;
    case 15:
      receipt.Payment = CashPaymentKey;
      extras.Tendered = (receipt.Total() / 10'000 + 1) * 10'000;
      extras.Copy = true;
      break;
    default:
      break;
  }
}

constexpr std::int64_t CashInAmount = 200'000;
constexpr std::int64_t CashOutAmount = 150'000;
constexpr int DocumentTable = 5;
constexpr int DayReport = 70;

// The events between the receipts: operators taking over at each new hour,
// a voided receipt, a receipt of corrections, cash in and out, a no-sale,
// loyalty-card events, a slip document, the register's own events once.
void WriteEventsBefore(TJournalWriter& journal, const TReceipt& receipt, std::size_t index, const TReceipt& previous) {
  const auto& stamp = receipt.Stamp;
  if (index == 2) journal.RegisterEvents(receipt.Operator, receipt.Number, stamp);
  if (stamp.Hour != previous.Stamp.Hour) {
    journal.LogOut(previous.Operator, stamp);
    journal.Handover(previous.Operator, receipt.Operator);
    journal.LogIn(receipt.Operator, stamp);
  }
  switch (index % 20) {
    case 5:
      journal.VoidedReceipt(receipt);
      break;
    case 9:
      journal.CorrectionReceipt(receipt);
      break;
    case 12:
      journal.CashMovement(true, receipt.Operator, receipt.Number, CashInAmount);
      journal.CashMovement(false, receipt.Operator, receipt.Number, CashOutAmount);
      journal.NoSale(receipt.Operator, receipt.Number, stamp);
      break;
    case 16:
      journal.LoyaltyCard(static_cast<int>(index), receipt.Total(), "CARD " + std::to_string(100'000 + index));
      break;
    case 18:
      journal.Documents(DocumentTable, receipt.Total(), stamp);
      break;
    default:
      break;
  }
}

}  // namespace

void WriteDemoDay(TSalesLedger& ledger, std::vector<TReceipt> receipts) {
  for (std::size_t index = 0; index < receipts.size(); ++index) {
    if (index >= 2) WriteEventsBefore(ledger.Writer(), receipts[index], index, receipts[index - 1]);
    ledger.Add(receipts[index]);
  }
  if (receipts.empty()) return;
  std::int64_t total = 0;
  for (const auto& receipt : ledger.ReceiptsFor(DayReport)) total += receipt.Total();
  ledger.Writer().Report(DayReport, false, 0, receipts.back().Stamp, total, ledger.FunctionKeyFamily());
}

std::int64_t DemoPluCode(int number) {
  const std::string body = "859" + std::to_string(1'000'000'000 + number).substr(1);
  int sum = 0;
  for (std::size_t i = 0; i < body.size(); ++i) sum += (body[i] - '0') * (i % 2 == 0 ? 1 : 3);
  return std::stoll(body) * 10 + (10 - sum % 10) % 10;
}

void FillDemoTables(TSoubory& catalogue, int pluCount) {
  std::mt19937 random(DemoSeed);
  FillDepartments(catalogue);
  FillPlu(catalogue, pluCount, random);
  FillRows(catalogue, 6, OperatorRows);
  FillRows(catalogue, 7, HeadWaiterRows);
  FillRows(catalogue, 8, PaymentRows);
  FillRows(catalogue, 30, VatRows);
  FillRows(catalogue, 31, HeaderRows);
}

std::vector<TReceipt> DemoReceipts(const TSoubor& pluTable, const TJournalStamp& day, int firstNumber) {
  std::vector<TReceipt> receipts;
  const auto range = std::min<std::size_t>(pluTable.Rows.size(), SoldPluRange);
  if (range == 0) return receipts;
  std::mt19937 random(DemoSeed + 1);
  int number = firstNumber;
  for (int hour = FirstHour; hour <= LastHour; ++hour) {
    for (int k = 0; k < ReceiptsPerHour; ++k) {
      TReceipt receipt;
      receipt.Number = number;
      receipt.Operator = 1 + static_cast<int>(random() % OperatorCount);
      receipt.Waiter = 1 + static_cast<int>(random() % HeadWaiterCount);
      receipt.Payment = random() % 10 < 7 ? CashPaymentKey : CardKey;
      receipt.Stamp = day;
      receipt.Stamp.Hour = hour;
      receipt.Stamp.Minute = k * 3;
      const int lines = 1 + static_cast<int>(random() % MaxLinesPerReceipt);
      for (int i = 0; i < lines; ++i) {
        auto line = SaleOfPluRow(pluTable.Rows[random() % range]);
        if (!line) continue;
        line->Quantity = DemoQuantity(*line, random);
        receipt.Lines.push_back(*line);
      }
      if (receipt.Lines.empty()) continue;
      AddExtras(receipt, receipts.size());
      receipts.push_back(std::move(receipt));
      ++number;
    }
  }
  return receipts;
}

std::vector<TOpenTable> DemoOpenTables(const TSoubor& pluTable) {
  std::vector<TOpenTable> tables = {{5, 1, {}}, {12, 2, {}}, {21, 1, {}}};
  std::size_t next = 10;
  for (auto& table : tables) {
    for (int i = 0; i < 2 && next < pluTable.Rows.size(); ++i, next += 7) {
      const auto line = SaleOfPluRow(pluTable.Rows[next]);
      if (!line) continue;
      table.Items.push_back({1000 * (i + 1), "0001", line->Code, line->VatGroup, line->UnitPrice});
    }
  }
  tables.back().Items.push_back({1500, "04D0", 0, DepartmentOf(ProduceDepartment).VatGroup, 4990});
  return tables;
}
