#include "model/soubory.h"

#include <algorithm>
#include <stdexcept>

#include "base/localized_texts.h"
#include "model/model_layout.h"
#include "model/table_catalogue.h"
#include "model/table_numbers.h"

namespace {

// Names of the journal name tables that have their own (user texts).
constexpr int NewPluName = 222;
constexpr int JournalPluName = 223;
constexpr int JournalLinkPluName = 224;
constexpr int JournalVatName = 225;

// Texts of the option marks.
constexpr int DiscountKeyLabel = 230;
constexpr int DiscountKeyName = 231;
constexpr int SurchargeKeyLabel = 232;
constexpr int SurchargeKeyName = 233;
constexpr int MenuUpKeyLabel = 591;
constexpr int MenuUpKeyName = 592;
constexpr int MenuDownKeyLabel = 593;
constexpr int MenuDownKeyName = 594;
constexpr int FontKeyLabel = 1000;
constexpr int FontKeyName = 1001;
constexpr int PrintFontTitle = 1003;
constexpr int LargeFont = 1004;
constexpr int SmallFont = 1005;
constexpr int Unused = 1006;
constexpr int DisplayFontTitle = 1034;

// Key functions the options change.
constexpr int DiscountKey = 14;
constexpr int SurchargeKey = 15;
constexpr int KeyboardReportKey = 56;
constexpr int MenuUpKey = 58;
constexpr int MenuDownKey = 59;
constexpr int CodeSearchKey = 62;
constexpr int NameSearchKey = 63;
constexpr int ChangeSearchKey = 64;

// Tables the layout and the options change.
constexpr int WaiterTables[] = {43, 7, 17, 19, 33, 42, 81, 82};

constexpr int WideSlipTextWidth = 32;
constexpr int Cm840DescriptiveTextCapacity = 151;
constexpr int Ecr40DescriptiveTextCapacity = 57;
constexpr int Cm840PluOperatorCapacity = 60;
constexpr int CommandLineHeaderCapacity = 8;
constexpr int OperatorStatus3Registers = 3;

constexpr const char* StockCoefficientHeading = "Koef.ZS";
constexpr const char* OperatorStatus3Heading = "Status3";

// The order in which the option marks are applied.
constexpr std::string_view OptionMarkOrder = "PUFRSL";

constexpr bool SpareListsInEnumOrder() {
  for (std::size_t i = 0; i < SpareRegisterLists.size(); ++i) {
    if (static_cast<std::size_t>(SpareRegisterLists[i].List) != i) return false;
  }
  return true;
}
static_assert(SpareListsInEnumOrder(), "spare register lists must follow their enumeration");

std::unique_ptr<TSoubor> CreateResetEntry(int index) {
  auto reset = std::make_unique<TSoubor>();
  reset->Number = index;
  reset->ResetMark = true;
  reset->Capacity = 1;
  reset->AddColumn(ColumnType::Binary, 2);
  RenewColumnInterpreter(*reset);
  reset->AddRow(-1, "");
  return reset;
}

// A journal name table laid out as the catalogue table of that number.
std::unique_ptr<TSoubor> CreateJournalTable(int number, int nameText = 0) {
  auto table = CreateCatalogueTable(number);
  if (nameText != 0) table->Name = LoadText(nameText);
  return table;
}

// The journal's PLU tables: as table 3, but the status column is a packed
// number like the eight flag columns before it.
std::unique_ptr<TSoubor> CreateJournalPluTable(int nameText, int capacity) {
  auto table = CreateJournalTable(TableNumber::Plu, nameText);
  table->Capacity = capacity;
  table->Columns.back().Type = ColumnType::Packed;
  RenewColumnInterpreter(*table);
  return table;
}

void SetTextDisplay(TSoubor* table, int width) {
  if (table == nullptr) return;
  switch (width) {
    case 24:
      table->Columns[TextColumn].Display = DisplayKind::Chars24;
      break;
    case 32:
      table->Columns[TextColumn].Display = DisplayKind::Chars32;
      break;
    default:
      table->Columns[TextColumn].Display = DisplayKind::Natural;
      break;
  }
}

void SetCapacity(TSoubor* table, int capacity) {
  if (table != nullptr) table->Capacity = capacity;
}

void ReplaceTexts(std::vector<std::string>& list, std::size_t first, std::initializer_list<int> textIds) {
  std::size_t index = first;
  for (const int id : textIds) list[index++] = LoadText(id);
}

}  // namespace

TSoubory::TSoubory() {
  for (const int number : CatalogueTableNumbers()) {
    tables_[static_cast<std::size_t>(number)] = CreateCatalogueTable(number);
  }
  for (int i = 0; i < ResetCount; ++i) resets_[static_cast<std::size_t>(i)] = CreateResetEntry(i);
  newPlu_ = CreateJournalPluTable(NewPluName, 1);
  newPlu_->AddRow(-1, "");
  journalDepartments_ = CreateJournalTable(TableNumber::Department);
  journalPlu_ = CreateJournalPluTable(JournalPluName, 30000);
  journalLongNames_ = CreateJournalTable(TableNumber::LongName);
  journalLinkPlu_ = CreateJournalTable(TableNumber::LinkPlu, JournalLinkPluName);
  journalOperators_ = CreateJournalTable(TableNumber::Operator);
  journalPayments_ = CreateJournalTable(TableNumber::Payment);
  journalCurrencies_ = CreateJournalTable(TableNumber::Currency);
  journalVat_ = CreateJournalTable(TableNumber::Vat, JournalVatName);
  for (const auto& list : SpareRegisterLists) {
    spareRegisters_[static_cast<std::size_t>(list.List)] = std::make_unique<TPoklRegistry>(list.RegisterCount);
  }
}

TSoubory::~TSoubory() = default;

TSoubor* TSoubory::Table(int number) const {
  if (number < 1 || number > MaxTableNumber) return nullptr;
  return tables_[static_cast<std::size_t>(number)].get();
}

TSoubor* TSoubory::Reset(int index) const {
  if (index < 0 || index >= ResetCount) return nullptr;
  return resets_[static_cast<std::size_t>(index)].get();
}

std::vector<TSoubor*> TSoubory::JournalTablesCarrying(int number) const {
  std::vector<TSoubor*> found;
  for (const auto* table : {&newPlu_, &journalDepartments_, &journalPlu_, &journalLongNames_, &journalLinkPlu_,
                            &journalOperators_, &journalPayments_, &journalCurrencies_, &journalVat_}) {
    if ((*table)->Number == number) found.push_back(table->get());
  }
  return found;
}

bool TSoubory::TakesDescribedName(const TSoubor& journalTable) const {
  const TSoubor* table = &journalTable;
  return table == journalDepartments_.get() || table == journalLongNames_.get() || table == journalOperators_.get() ||
         table == journalPayments_.get() || table == journalCurrencies_.get();
}

TPoklRegistry& TSoubory::SpareRegisters(SpareRegisterList list) const {
  return *spareRegisters_[static_cast<std::size_t>(list)];
}

void TSoubory::ApplyModelLayout() {
  if (ModelName.empty()) throw std::logic_error("the model layout needs a model name");
  CmFamily = IsCmFamily(ModelName);
  const TModelSwitches switches = ModelSwitchesFor(ModelName);
  auto presentWhen = [this](int number, bool present) { present ? MakePresent(number) : MakeAbsent(number); };

  if (switches.StockCoefficient) {
    AddStockCoefficient();
  } else {
    MakeAbsent(TableNumber::DepartmentStock);
  }
  if (switches.OperatorStatus3) AddOperatorStatus3();
  presentWhen(TableNumber::DallasKey, switches.DallasKeys);
  for (const int number : WaiterTables) presentWhen(number, switches.Waiters);
  if (switches.Waiters && switches.Tcp) RecreateWideSlipTable();
  presentWhen(TableNumber::Tcp, switches.Tcp);
  presentWhen(TableNumber::DescriptiveText, switches.OperatorStatus3);
  presentWhen(TableNumber::OperatorAccess, switches.OperatorAccess);
  presentWhen(TableNumber::KeyChain, switches.KeyChains);
  presentWhen(TableNumber::KitchenMessage, switches.KitchenMessages);
  presentWhen(TableNumber::OrderName, switches.KitchenMessages);
  MakeAbsent(TableNumber::TextMemory);
  if (switches.Cm840) SetCapacity(Table(TableNumber::DescriptiveText), Cm840DescriptiveTextCapacity);
  if (switches.Ecr40Financial) SetCapacity(Table(TableNumber::DescriptiveText), Ecr40DescriptiveTextCapacity);
  const auto financial = switches.Ecr40Financial ? ReportInterpreter::FinancialEcr40 : ReportInterpreter::Financial;
  for (const int number : {TableNumber::FinancialDaily, TableNumber::FinancialPeriodic}) {
    if (TSoubor* table = Table(number)) table->Interpreter = CreateReportInterpreter(financial);
  }
  if (switches.Cm840) SetCapacity(Table(TableNumber::PluOperator), Cm840PluOperatorCapacity);
  if (switches.TextWidth != 0) ApplyTextWidth(switches.TextWidth);
}

void TSoubory::ApplyModelOptions() {
  if (ModelName.empty()) throw std::logic_error("the model options need a model name");
  const TModelOptions options = ModelOptionsFor(ModelName);
  for (const auto& copy : options.Copies) CopyRegisters(copy.Table, copy.From);
  if (options.DropsLogo) MakeAbsent(TableNumber::Logo);
  for (const char mark : OptionMarkOrder) {
    if (options.Marks.find(mark) != std::string_view::npos) ApplyOptionMark(mark);
  }
  if (CommandLineMode) {
    SetCapacity(Table(TableNumber::Header), CommandLineHeaderCapacity);
    KeyFunctions.Remove(KeyboardReportKey);
  }
}

void TSoubory::MakePresent(int number) {
  auto& slot = tables_[static_cast<std::size_t>(number)];
  if (!slot) slot = CreateCatalogueTable(number);
}

void TSoubory::MakeAbsent(int number) { tables_[static_cast<std::size_t>(number)].reset(); }

void TSoubory::AddStockCoefficient() {
  if (TSoubor* plu = Table(TableNumber::Plu)) {
    plu->AddColumn(ColumnType::Thousandths, 4).Heading = StockCoefficientHeading;
    RenewColumnInterpreter(*plu);
  }
  newPlu_->Rows.clear();
  newPlu_->AddColumn(ColumnType::Thousandths, 4);
  newPlu_->AddRow(-1, "");
  RenewColumnInterpreter(*newPlu_);
  journalPlu_->AddColumn(ColumnType::Thousandths, 4);
  RenewColumnInterpreter(*journalPlu_);
  if (TSoubor* departments = Table(TableNumber::DepartmentDaily)) {
    departments->AddColumn(ColumnType::Packed, 4);
    departments->Interpreter = CreateReportInterpreter(ReportInterpreter::DepartmentStock);
  }
}

void TSoubory::AddOperatorStatus3() {
  if (TSoubor* operators = Table(TableNumber::Operator)) {
    operators->AddColumn(ColumnType::Hex, 1).Heading = OperatorStatus3Heading;
    operators->Registers = std::make_unique<TPoklRegistry>(OperatorStatus3Registers);
    RenewColumnInterpreter(*operators);
  }
  journalOperators_->AddColumn(ColumnType::Hex, 1);
  RenewColumnInterpreter(*journalOperators_);
}

void TSoubory::RecreateWideSlipTable() {
  auto slip = CreateCatalogueTable(TableNumber::Slip);
  slip->Columns[TextColumn].Width = WideSlipTextWidth;
  RenewColumnInterpreter(*slip);
  tables_[TableNumber::Slip] = std::move(slip);
}

void TSoubory::ApplyTextWidth(int width) {
  for (const int number : {TableNumber::Header, TableNumber::Footer, TableNumber::OrderName})
    SetTextDisplay(Table(number), width);
}

void TSoubory::CopyRegisters(int number, SpareRegisterList from) {
  TSoubor* table = Table(number);
  if (table == nullptr) return;
  if (!table->Registers) table->Registers = std::make_unique<TPoklRegistry>(0);
  table->Registers->CopyFrom(SpareRegisters(from));
}

void TSoubory::ApplyOptionMark(char mark) {
  switch (mark) {
    case 'P':
      KeyFunctions.Relabel(DiscountKey, LoadText(DiscountKeyLabel), LoadText(DiscountKeyName));
      KeyFunctions.Relabel(SurchargeKey, LoadText(SurchargeKeyLabel), LoadText(SurchargeKeyName));
      break;
    case 'U':
      KeyFunctions.Relabel(MenuUpKey, LoadText(MenuUpKeyLabel), LoadText(MenuUpKeyName));
      KeyFunctions.Relabel(MenuDownKey, LoadText(MenuDownKeyLabel), LoadText(MenuDownKeyName));
      break;
    case 'F':
      KeyFunctions.Relabel(ChangeSearchKey, LoadText(FontKeyLabel), LoadText(FontKeyName));
      break;
    case 'R':
      for (const int code : {CodeSearchKey, NameSearchKey, ChangeSearchKey}) KeyFunctions.Remove(code);
      break;
    case 'S':
      // Entries 15 to 18 are replaced only when the list holds all of them.
      if (SRegisterTexts.size() > 18) ReplaceTexts(SRegisterTexts, 15, {PrintFontTitle, LargeFont, SmallFont, Unused});
      break;
    case 'L':
      if (SRegisterTexts.size() > 14) ReplaceTexts(SRegisterTexts, 12, {DisplayFontTitle, LargeFont, SmallFont});
      break;
    default:
      break;
  }
}
