#include "model/catalogue_builder.h"
#include "model/soubory.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/localized_texts.h"
#include "model/description_reader.h"
#include "model/model_layout.h"
#include "model/table_catalogue.h"
#include "model/tlumocnik_report_financial.h"
#include "model/tlumocnik_report_sales.h"
#include "model/tlumocnik_report_staff.h"
#include "model/tlumocnik_sloupce.h"
#include "test_support.h"

namespace {

template <typename Interpreter>
bool Uses(const TSoubor* table) {
  if (table == nullptr || !table->Interpreter) return false;
  const auto& used = *table->Interpreter;
  return typeid(used) == typeid(Interpreter);
}

int RecordBytes(const TSoubor* table) { return table->Interpreter->RecordLength(); }

// --- The table catalogue --------------------------------------------------------

struct CatalogueRow {
  int number;
  int capacity;
  int recordBytes;
  int key;
  const char* marks;
};

// Capacity, raw record length (check bytes included), key column and marks
// of every table of the default catalogue.
const CatalogueRow CatalogueRows[] = {
    {1, 99, 37, -1, "W"},   {2, 32, 22, -1, "W"},     {3, 30000, 47, 1, "WS"},  {4, 50, 34, -1, "W"},
    {5, 99, 22, -1, "W"},   {6, 99, 30, -1, "W"},     {7, 9, 26, -1, "W"},      {8, 30, 25, -1, "W"},
    {9, 2, 9, -1, "W"},     {10, 6, 6, -1, "W"},      {11, 2, 6, -1, "W"},      {12, 1, 6, -1, "W"},
    {13, 16, 5, -1, "W"},   {14, 3, 7, -1, "W"},      {15, 12, 48, -1, "WQ"},   {16, 4, 26, -1, "W"},
    {17, 26, 5, -1, "W"},   {18, 3, 5, -1, "W"},      {19, 3, 5, -1, "W"},      {20, 40, 11, -1, "W"},
    {21, 1, 18, -1, "W"},   {23, 5, 7, -1, "W"},      {24, 51, 44, -1, "WQ"},   {25, 30000, 29, 1, "WS"},
    {26, 26, 11, -1, "W"},  {27, 1, 36, -1, "W"},     {28, 1638, 44, -1, "WQ"}, {30, 8, 7, -1, "W"},
    {31, 7, 52, -1, "WQ"},  {32, 6, 52, -1, "WQ"},    {33, 1, 22, -1, "W"},     {40, 30, 23, -1, "W"},
    {41, 10, 52, -1, "WQ"}, {42, 4, 52, -1, "WQ"},    {43, 8, 24, -1, "W"},     {44, 359, 49, -1, "WQ"},
    {64, 50, 8, -1, "W"},   {65, 30000, 15, 1, "WS"}, {66, 50, 8, -1, "W"},     {67, 1, 13, 1, "W"},
    {68, 100, 12, 1, "W"},  {69, 1, 5, 1, "W"},       {70, 138, 49, -1, ""},    {71, 138, 49, -1, ""},
    {72, 99, 49, -1, ""},   {73, 99, 49, -1, ""},     {74, 30000, 49, -1, ""},  {75, 30000, 49, -1, ""},
    {76, 3960, 49, -1, ""}, {77, 50, 49, -1, ""},     {78, 50, 49, -1, ""},     {79, 3960, 49, -1, ""},
    {80, 3960, 49, -1, ""}, {81, 360, 49, -1, ""},    {82, 360, 49, -1, ""},    {83, 24, 49, -1, ""},
    {84, 30, 49, -1, ""},   {85, 1, 49, -1, ""},      {87, 0, 26, -1, ""},      {88, 0, 26, -1, ""},
    {89, 800, 12, 1, ""},   {90, 1, 49, -1, ""},      {91, 70, 23, 1, ""},      {92, 0, 26, -1, "S"},
};

TEST(TableCatalogue, EveryTableHasItsCapacityRecordLengthKeyAndMarks) {
  const TSoubory catalogue;
  std::set<int> listed;
  for (const auto& row : CatalogueRows) {
    SCOPED_TRACE("table " + std::to_string(row.number));
    listed.insert(row.number);
    const TSoubor* table = catalogue.Table(row.number);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->Number, row.number);
    EXPECT_EQ(table->Capacity, row.capacity);
    EXPECT_EQ(RecordBytes(table), row.recordBytes);
    EXPECT_EQ(table->KeyColumn, row.key);
    const std::string marks = row.marks;
    EXPECT_EQ(table->Writable, marks.find('W') != std::string::npos);
    EXPECT_EQ(table->Stoppable, marks.find('S') != std::string::npos);
    EXPECT_EQ(table->EnqMark, marks.find('Q') != std::string::npos);
    EXPECT_TRUE(table->Rows.empty());
  }
  for (int number = 1; number <= 99; ++number) {
    if (!listed.contains(number)) {
      EXPECT_EQ(catalogue.Table(number), nullptr) << number;
    }
  }
}

TEST(TableCatalogue, ReportTablesCarryTheirReportInterpreters) {
  const TSoubory catalogue;
  for (const int number : {70, 71}) EXPECT_TRUE(Uses<TTlumocnikReport70>(catalogue.Table(number))) << number;
  for (const int number : {72, 73, 76}) EXPECT_TRUE(Uses<TTlumocnikReport72>(catalogue.Table(number))) << number;
  for (const int number : {74, 75, 90}) EXPECT_TRUE(Uses<TTlumocnikReport74>(catalogue.Table(number))) << number;
  for (const int number : {77, 78}) EXPECT_TRUE(Uses<TTlumocnikReport77>(catalogue.Table(number))) << number;
  for (const int number : {79, 80, 81, 82}) EXPECT_TRUE(Uses<TTlumocnikReport79>(catalogue.Table(number))) << number;
  EXPECT_TRUE(Uses<TTlumocnikReport83>(catalogue.Table(83)));
  EXPECT_TRUE(Uses<TTlumocnikReport84>(catalogue.Table(84)));
  EXPECT_TRUE(Uses<TTlumocnikReport85>(catalogue.Table(85)));
  for (const int number : {1, 3, 15, 65, 87, 89, 91, 92}) {
    EXPECT_TRUE(Uses<TTlumocnikSloupce>(catalogue.Table(number))) << number;
  }
}

TEST(TableCatalogue, ColumnDetailsOfSingleTables) {
  const TSoubory catalogue;
  const TSoubor& operators = *catalogue.Table(6);
  EXPECT_EQ(operators.Columns[2].Display, DisplayKind::Chars3);
  EXPECT_EQ(operators.Columns[2].TextWidth(), 3);
  EXPECT_EQ(operators.Columns[1].Display, DisplayKind::Natural);

  const TSoubor& openTables = *catalogue.Table(89);
  EXPECT_TRUE(openTables.Columns[1].Mark);
  EXPECT_FALSE(openTables.Columns[0].Mark);
  EXPECT_FALSE(openTables.Columns[2].Mark);

  const TSoubor& pluStock = *catalogue.Table(65);
  EXPECT_EQ(pluStock.Columns.size(), 4u);
  EXPECT_EQ(dynamic_cast<const TTlumocnikSloupce&>(*pluStock.Interpreter).ColumnCount(), 3);

  EXPECT_EQ(catalogue.Table(21)->Columns.size(), 15u);
  EXPECT_EQ(catalogue.Table(85)->Columns.size(), 12u);
}

TEST(TableCatalogue, RegisterListsOfTheFlagTables) {
  const TSoubory catalogue;
  const std::pair<int, int> counts[] = {{6, 2}, {8, 1}, {13, 14}, {18, 2}, {19, 3}};
  for (const auto& [number, registers] : counts) {
    ASSERT_NE(catalogue.Table(number)->Registers, nullptr) << number;
    EXPECT_EQ(catalogue.Table(number)->Registers->RegisterCount, registers) << number;
    EXPECT_EQ(catalogue.Table(number)->Registers->Values.size(), static_cast<std::size_t>(registers * 2));
  }
  EXPECT_EQ(catalogue.Table(1)->Registers, nullptr);
  EXPECT_EQ(catalogue.Table(14)->Registers, nullptr);
}

TEST(TableCatalogue, TableByNumberOutsideOneToNinetyNineFindsNone) {
  const TSoubory catalogue;
  EXPECT_EQ(catalogue.Table(0), nullptr);
  EXPECT_EQ(catalogue.Table(100), nullptr);
  EXPECT_EQ(catalogue.Table(-3), nullptr);
  EXPECT_EQ(catalogue.Table(256 + 1), nullptr);
  EXPECT_NE(catalogue.Table(1), nullptr);
  EXPECT_NE(catalogue.Table(92), nullptr);
}

TEST(TSoubory, ResetEntriesHoldOneRowOfOneColumn) {
  const TSoubory catalogue;
  for (int index = 0; index < TSoubory::ResetCount; ++index) {
    const TSoubor* reset = catalogue.Reset(index);
    ASSERT_NE(reset, nullptr) << index;
    EXPECT_TRUE(reset->ResetMark);
    EXPECT_EQ(reset->Number, index);
    EXPECT_EQ(reset->Capacity, 1);
    ASSERT_EQ(reset->Columns.size(), 1u);
    EXPECT_EQ(reset->Columns[0].Type, ColumnType::Binary);
    EXPECT_EQ(reset->Columns[0].Width, 2);
    EXPECT_EQ(reset->Rows.size(), 1u);
    EXPECT_EQ(RecordBytes(reset), 4);
  }
  EXPECT_EQ(catalogue.Reset(-1), nullptr);
  EXPECT_EQ(catalogue.Reset(19), nullptr);
  EXPECT_FALSE(catalogue.Table(1)->ResetMark);
}

TEST(TSoubory, JournalNameTablesStandOutsideTheSlots) {
  const TSoubory catalogue;
  EXPECT_EQ(catalogue.NewPlu().Name, LoadText(222));
  EXPECT_EQ(catalogue.NewPlu().Number, 3);
  EXPECT_EQ(catalogue.NewPlu().Capacity, 1);
  ASSERT_EQ(catalogue.NewPlu().Rows.size(), 1u);
  EXPECT_EQ(catalogue.NewPlu().Rows[0].WriteRowText(), "0|0||0|0|0|0|0|0|0|0|0|0|0|0|");
  EXPECT_EQ(catalogue.JournalPlu().Name, LoadText(223));
  EXPECT_EQ(catalogue.JournalPlu().Capacity, 30000);
  EXPECT_EQ(RecordBytes(&catalogue.JournalPlu()), 47);
  EXPECT_EQ(catalogue.JournalLinkPlu().Name, LoadText(224));
  EXPECT_EQ(catalogue.JournalVat().Name, LoadText(225));
  EXPECT_EQ(catalogue.JournalVat().Number, 30);
  EXPECT_EQ(catalogue.JournalDepartments().Capacity, 99);
  EXPECT_EQ(catalogue.JournalLongNames().Number, 25);
  EXPECT_EQ(RecordBytes(&catalogue.JournalOperators()), 30);
  EXPECT_EQ(catalogue.JournalPayments().Number, 8);
  EXPECT_EQ(catalogue.JournalCurrencies().Capacity, 4);
  EXPECT_NE(&catalogue.JournalPlu(), catalogue.Table(3));

  const auto pluTables = catalogue.JournalTablesCarrying(3);
  EXPECT_EQ(pluTables, (std::vector<TSoubor*>{&catalogue.NewPlu(), &catalogue.JournalPlu()}));
  EXPECT_TRUE(catalogue.TakesDescribedName(catalogue.JournalOperators()));
  EXPECT_FALSE(catalogue.TakesDescribedName(catalogue.JournalVat()));
}

TEST(TSoubory, SpareRegisterListsStartEmptyWithTheirRegisterCounts) {
  const TSoubory catalogue;
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Settings460).RegisterCount, 16);
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Settings40).RegisterCount, 14);
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::CmPayments).RegisterCount, 1);
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Reports840).RegisterCount, 2);
  for (const auto& list : SpareRegisterLists) EXPECT_TRUE(catalogue.SpareRegisters(list.List).Entries.empty());
}

TEST(TSoubory, KeyFunctionSetStartsWithItsDefaults) {
  const TSoubory catalogue;
  EXPECT_EQ(catalogue.KeyFunctions.GroupTitles[KeyGroup::Func], "FUNC");
  EXPECT_EQ(catalogue.KeyFunctions.Limits[0], 9999);
  EXPECT_TRUE(catalogue.KeyLayouts.empty());
  EXPECT_FALSE(catalogue.CommandLineMode);
  EXPECT_TRUE(catalogue.ModelName.empty());
}

// --- Model layout and options --------------------------------------------------

TEST(TSoubory, LayoutAndOptionsNeedAModelName) {
  TSoubory catalogue;
  EXPECT_THROW(catalogue.ApplyModelLayout(), std::logic_error);
  EXPECT_THROW(catalogue.ApplyModelOptions(), std::logic_error);
}

const std::set<int> OptionalTables = {7, 17, 19, 21, 24, 26, 27, 28, 33, 40, 41, 42, 43, 44, 64, 68, 81, 82};

std::set<int> With(std::initializer_list<int> tables, bool waiters) {
  std::set<int> present(tables);
  if (waiters) present.insert({7, 17, 19, 33, 42, 43, 81, 82});
  return present;
}

struct ModelCase {
  const char* name;
  std::set<int> present;  // which of the optional tables the model has
  int table3Bytes;
  int table6Bytes;
  int table24Capacity;  // 0: absent
  int table20Capacity;
  bool ecr40Financial;
  bool departmentStock;
  int table42Width;  // 0: absent
  int headerDisplay;
  const char* marks;
  bool cmFamily;
};

void PrintTo(const ModelCase& model, std::ostream* out) { *out << model.name; }

const ModelCase ModelCases[] = {
    {"ECR 39T", With({26, 27, 44}, false), 47, 30, 0, 40, false, false, 0, DisplayKind::Chars32, "P", false},
    {"ECR 40T/42T", With({24, 26, 27, 44}, false), 47, 31, 57, 40, true, false, 0, DisplayKind::Chars24, "PFS", false},
    {"ECR 359T", With({40, 41, 44}, true), 47, 30, 0, 40, false, false, 48, DisplayKind::Chars24, "P", false},
    {"ECR 360T/360TF", With({24, 26, 27, 40, 41, 44}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars24,
     "P", false},
    {"ECR 362T/362TF", With({24, 26, 27, 40, 41, 44}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars32,
     "P", false},
    {"ECR 465T/465TF", With({21, 24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 57, 40, true, false, 32,
     DisplayKind::Chars32, "PL", false},
    {"ECR 466T/466TF", With({21, 24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 57, 40, true, false, 32,
     DisplayKind::Chars32, "PL", false},
    {"ECR 396F", With({26, 27, 40, 41, 44}, true), 47, 30, 0, 40, false, false, 48, DisplayKind::Natural, "", false},
    {"ECR 549", With({40, 41}, true), 47, 30, 0, 40, false, false, 48, DisplayKind::Chars24, "P", false},
    {"ECR 579/579R", With({40, 41}, true), 47, 30, 0, 40, false, false, 48, DisplayKind::Chars24, "", false},
    {"ECR 579F", With({24, 26, 27, 40, 41}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars24, "", false},
    {"ECR 649F", With({26, 27, 40, 41, 44, 64}, true), 51, 30, 0, 40, false, true, 48, DisplayKind::Natural, "", false},
    {"ECR 650F", With({24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Natural, "U",
     false},
    {"ECR 652F", With({24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars32, "U",
     false},
    {"CM-840/842", With({24, 27, 40, 41, 44}, false), 47, 31, 151, 60, false, false, 0, DisplayKind::Chars24, "PFS",
     true},
    {"CM-1840F", With({24, 26, 27, 40, 41}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars24, "R", true},
    {"CM-1840S", With({24, 26, 27, 40, 41}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars24, "R", true},
    {"CM-1846F", With({24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars32, "R",
     true},
    {"CM-1846S", With({24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars32, "R",
     true},
    {"CM-1856F", With({24, 26, 27, 40, 41, 44, 68}, true), 47, 31, 51, 40, false, false, 48, DisplayKind::Chars32, "",
     true},
};

class ModelCatalogue : public ::testing::TestWithParam<ModelCase> {
protected:
  static bool Has(const ModelCase& model, char mark) {
    return std::string(model.marks).find(mark) != std::string::npos;
  }
};

TEST_P(ModelCatalogue, TablesFollowTheModelLayout) {
  const ModelCase& model = GetParam();
  const auto catalogue = BuildCatalogue(model.name);
  for (const int number : OptionalTables) {
    EXPECT_EQ(catalogue->Table(number) != nullptr, model.present.contains(number)) << "table " << number;
  }
  EXPECT_EQ(RecordBytes(catalogue->Table(3)), model.table3Bytes);
  EXPECT_EQ(RecordBytes(catalogue->Table(6)), model.table6Bytes);
  if (model.table24Capacity > 0) {
    EXPECT_EQ(catalogue->Table(24)->Capacity, model.table24Capacity);
  }
  EXPECT_EQ(catalogue->Table(20)->Capacity, model.table20Capacity);
  for (const int number : {70, 71}) {
    EXPECT_EQ(Uses<TTlumocnikReport70ECR40>(catalogue->Table(number)), model.ecr40Financial) << number;
    EXPECT_EQ(Uses<TTlumocnikReport70>(catalogue->Table(number)), !model.ecr40Financial) << number;
  }
  EXPECT_EQ(Uses<TTlumocnikReport72a>(catalogue->Table(72)), model.departmentStock);
  EXPECT_EQ(Uses<TTlumocnikReport72>(catalogue->Table(72)), !model.departmentStock);
  if (model.table42Width > 0) {
    EXPECT_EQ(catalogue->Table(42)->Columns[1].Width, model.table42Width);
    EXPECT_EQ(RecordBytes(catalogue->Table(42)), model.table42Width + 4);
  }
  for (const int number : {31, 32, 41}) {
    if (const TSoubor* table = catalogue->Table(number)) {
      EXPECT_EQ(table->Columns[1].Display, model.headerDisplay) << number;
    }
  }
  EXPECT_EQ(catalogue->CmFamily, model.cmFamily);
  EXPECT_EQ(catalogue->Table(28), nullptr);
  EXPECT_EQ(catalogue->Table(31)->Capacity, 8);  // command-line mode
}

TEST_P(ModelCatalogue, OptionMarksRelabelAndRemoveKeyFunctions) {
  const ModelCase& model = GetParam();
  const auto catalogue = BuildCatalogue(model.name);
  const TKlavFunkce& keys = catalogue->KeyFunctions;
  const bool removed = Has(model, 'R');
  ASSERT_NE(keys.Find(14), nullptr);
  EXPECT_EQ(keys.Find(14)->KeyLabel == LoadText(230), Has(model, 'P'));
  EXPECT_EQ(keys.Find(15)->LongName == LoadText(233), Has(model, 'P'));
  EXPECT_EQ(keys.Find(58)->KeyLabel == LoadText(591), Has(model, 'U'));
  EXPECT_EQ(keys.Find(59)->LongName == LoadText(594), Has(model, 'U'));
  EXPECT_EQ(keys.Find(62) == nullptr, removed);
  EXPECT_EQ(keys.Find(63) == nullptr, removed);
  if (!removed) {
    EXPECT_EQ(keys.Find(64)->KeyLabel == LoadText(1000), Has(model, 'F'));
  }
  EXPECT_EQ(keys.Find(56), nullptr);  // command-line mode
  ASSERT_GT(catalogue->SRegisterTexts.size(), 18u);
  EXPECT_EQ(catalogue->SRegisterTexts[15] == LoadText(1003), Has(model, 'S'));
  EXPECT_EQ(catalogue->SRegisterTexts[12] == LoadText(1034), Has(model, 'L'));
  if (Has(model, 'L')) {
    EXPECT_EQ(catalogue->SRegisterTexts[14], LoadText(1005));
  }
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelCatalogue, ::testing::ValuesIn(ModelCases),
                         [](const ::testing::TestParamInfo<ModelCase>& model) {
                           std::string name;
                           for (const char c : std::string(model.param.name)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

TEST(ModelCatalogueEdges, WithoutAModelEveryTableIsPresent) {
  const auto catalogue = BuildCatalogue("");
  for (const int number : CatalogueTableNumbers()) EXPECT_NE(catalogue->Table(number), nullptr) << number;
  EXPECT_NE(catalogue->Table(28), nullptr);
  EXPECT_NE(catalogue->Table(64), nullptr);
  EXPECT_TRUE(Uses<TTlumocnikReport70>(catalogue->Table(70)));
  EXPECT_TRUE(Uses<TTlumocnikReport70>(catalogue->Table(71)));
  EXPECT_EQ(catalogue->Table(31)->Capacity, 7);  // the options are not applied
  EXPECT_NE(catalogue->KeyFunctions.Find(56), nullptr);
  EXPECT_TRUE(catalogue->CommandLineMode);
  EXPECT_FALSE(catalogue->CmFamily);
}

TEST(ModelCatalogueEdges, OnlyTheEcr649KeepsTable64AndTheCoefficient) {
  for (const auto& model : ModelCases) {
    const auto catalogue = BuildCatalogue(model.name);
    const bool is649 = std::string(model.name) == "ECR 649F";
    EXPECT_EQ(catalogue->Table(64) != nullptr, is649) << model.name;
    EXPECT_EQ(catalogue->Table(3)->Columns.size(), is649 ? 16u : 15u) << model.name;
  }
}

TEST(ModelCatalogueEdges, CoefficientReachesTheJournalPluTables) {
  const auto catalogue = BuildCatalogue(ModelName::Ecr649);
  EXPECT_EQ(catalogue->Table(3)->Columns[15].Heading, "Koef.ZS");
  EXPECT_EQ(catalogue->Table(3)->Columns[15].Type, ColumnType::Thousandths);
  ASSERT_EQ(catalogue->NewPlu().Rows.size(), 1u);
  EXPECT_EQ(catalogue->NewPlu().Rows[0].CellCount(), 16);
  EXPECT_EQ(catalogue->NewPlu().Rows[0].Cell(15), "0.000");
  EXPECT_EQ(RecordBytes(&catalogue->NewPlu()), 51);
  EXPECT_EQ(RecordBytes(&catalogue->JournalPlu()), 51);
  EXPECT_EQ(catalogue->Table(72)->Columns.size(), 8u);
}

TEST(ModelCatalogueEdges, Cm840DropsTheWaiterTablesAndResizesTables24And20) {
  const auto catalogue = BuildCatalogue(ModelName::Cm840);
  for (const int number : {7, 17, 19, 33, 42, 43, 81, 82, 26}) EXPECT_EQ(catalogue->Table(number), nullptr) << number;
  EXPECT_EQ(catalogue->Table(24)->Capacity, 151);
  EXPECT_EQ(catalogue->Table(20)->Capacity, 60);
}

TEST(ModelCatalogueEdges, OperatorStatus3ReachesTableAndJournalCopy) {
  const auto catalogue = BuildCatalogue(ModelName::Ecr650);
  const TSoubor& operators = *catalogue->Table(6);
  EXPECT_EQ(operators.Columns.back().Heading, "Status3");
  EXPECT_EQ(operators.Registers->RegisterCount, 3);
  EXPECT_FALSE(operators.Registers->Entries.empty());  // refilled by the second pass
  EXPECT_EQ(RecordBytes(&catalogue->JournalOperators()), 31);
}

TEST(ModelCatalogueEdges, UnknownModelTakesTheLastLayoutRow) {
  const auto catalogue = BuildCatalogue("ECR 999");
  for (const int number : {7, 26, 27, 40, 41}) EXPECT_NE(catalogue->Table(number), nullptr) << number;
  for (const int number : {21, 24, 28, 44, 64, 68}) EXPECT_EQ(catalogue->Table(number), nullptr) << number;
  EXPECT_EQ(catalogue->Table(31)->Columns[1].Display, DisplayKind::Natural);
  EXPECT_EQ(catalogue->Table(6)->Columns.size(), 8u);
}

TEST(ModelCatalogueEdges, RegisterListsAreCopiedFromTheSpareLists) {
  const auto ecr465 = BuildCatalogue(ModelName::Ecr465);
  const auto& settings = *ecr465->Table(13)->Registers;
  EXPECT_EQ(settings.RegisterCount, 16);
  EXPECT_EQ(settings.Values.size(), 32u);
  ASSERT_EQ(settings.Entries.size(), ecr465->SpareRegisters(SpareRegisterList::Settings460).Entries.size());
  EXPECT_EQ(settings.Entries.back().Text, ecr465->SpareRegisters(SpareRegisterList::Settings460).Entries.back().Text);

  const auto cm = BuildCatalogue(ModelName::Cm1840F);
  const auto& payments = *cm->Table(8)->Registers;
  ASSERT_EQ(payments.Entries.size(), cm->SpareRegisters(SpareRegisterList::CmPayments).Entries.size());
  EXPECT_EQ(payments.Entries.front().Text, cm->SpareRegisters(SpareRegisterList::CmPayments).Entries.front().Text);
  EXPECT_EQ(cm->Table(19)->Registers->Entries.size(), cm->SpareRegisters(SpareRegisterList::CmPrinting).Entries.size());
  EXPECT_EQ(cm->Table(18)->Registers->RegisterCount, 2);

  const auto cm840 = BuildCatalogue(ModelName::Cm840);
  EXPECT_EQ(cm840->Table(18)->Registers->Entries.size(),
            cm840->SpareRegisters(SpareRegisterList::Reports840).Entries.size());
}

// The print and display font texts replace entries 15 to 18 and 12 to 14 of
// the S-register texts only when the list holds all of them.
TEST(ModelCatalogueEdges, FontTextsNeedEveryEntryTheyReplace) {
  for (const std::size_t size : {18u, 19u}) {
    TSoubory catalogue;
    catalogue.ModelName = std::string(ModelName::Ecr40);
    catalogue.SRegisterTexts.assign(size, "x");
    catalogue.ApplyModelOptions();
    EXPECT_EQ(catalogue.SRegisterTexts.size(), size);
    EXPECT_EQ(catalogue.SRegisterTexts[15] == LoadText(1003), size == 19u) << size;
  }
  for (const std::size_t size : {14u, 15u}) {
    TSoubory catalogue;
    catalogue.ModelName = std::string(ModelName::Ecr466);
    catalogue.SRegisterTexts.assign(size, "x");
    catalogue.ApplyModelOptions();
    EXPECT_EQ(catalogue.SRegisterTexts[12] == LoadText(1034), size == 15u) << size;
  }
}

// --- The shipped description blocks ------------------------------------------------

// Builds the catalogue as a command does, but collects the warnings.
std::unique_ptr<TSoubory> BuildFromShippedBlocks(const std::string& model, std::vector<std::string>& warnings) {
  TDescriptionSource source = ResourceDescriptions();
  source.Warn = [&warnings](std::string_view caption, std::string_view text) {
    warnings.push_back(std::string(caption) + ": " + std::string(text));
  };
  auto catalogue = std::make_unique<TSoubory>();
  catalogue->CommandLineMode = true;
  ReadDescriptions(*catalogue, source);
  if (!model.empty()) {
    catalogue->ModelName = model;
    catalogue->ApplyModelLayout();
    ReadDescriptions(*catalogue, source);
    catalogue->ApplyModelOptions();
  }
  return catalogue;
}

void ExpectDescribed(const TSoubor& table, const std::string& what) {
  EXPECT_FALSE(table.Name.empty()) << what;
  for (std::size_t column = 0; column < table.Columns.size(); ++column) {
    EXPECT_FALSE(table.Columns[column].Heading.empty()) << what << " column " << column;
  }
}

TEST(ShippedDescriptions, EveryModelReadsWithoutFaultAndDescribesEveryTable) {
  std::vector<std::string> models = {""};
  for (const auto& model : ModelCases) models.emplace_back(model.name);
  models.emplace_back(ModelName::Ecr460);
  for (const auto& model : models) {
    SCOPED_TRACE("model '" + model + "'");
    std::vector<std::string> warnings;
    std::unique_ptr<TSoubory> catalogue;
    ASSERT_NO_THROW(catalogue = BuildFromShippedBlocks(model, warnings));
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    for (int number = 1; number <= 99; ++number) {
      if (const TSoubor* table = catalogue->Table(number)) ExpectDescribed(*table, "table " + std::to_string(number));
    }
    for (const TSoubor* journal : {&catalogue->JournalDepartments(), &catalogue->JournalPlu(), &catalogue->NewPlu(),
                                   &catalogue->JournalOperators(), &catalogue->JournalVat()}) {
      ExpectDescribed(*journal, "journal table " + std::to_string(journal->Number));
    }
    for (int index = 0; index < TSoubory::ResetCount; ++index) {
      EXPECT_FALSE(catalogue->Reset(index)->Name.empty()) << "reset " << index;
    }
    EXPECT_FALSE(catalogue->KeyFunctions.Functions.empty());
    EXPECT_FALSE(catalogue->DescriptiveTexts.empty());
    EXPECT_EQ(catalogue->GroupNames[2], Cp("Systém"));
  }
}

TEST(ShippedDescriptions, CzechBlockNamesTablesResetsAndGroups) {
  const auto catalogue = BuildCatalogue(ModelName::Ecr465);
  EXPECT_EQ(catalogue->Table(1)->Name, Cp("Zbožní skupiny (01)"));
  EXPECT_EQ(catalogue->Table(1)->Group, 1);
  EXPECT_EQ(catalogue->Table(70)->Group, 2);
  EXPECT_EQ(catalogue->Table(87)->Group, 3);
  EXPECT_EQ(catalogue->Reset(0)->Name, Cp("Reset PLU"));
  EXPECT_EQ(catalogue->Reset(18)->Name, Cp("Z-Stav pokladní zásuvky"));
  EXPECT_EQ(catalogue->ResetPageTitle, "Resety");
  EXPECT_EQ(catalogue->KeyFunctions.GroupTitles[KeyGroup::Tend], Cp("PLATEBNÍ|"));
  EXPECT_EQ(catalogue->Table(31)->Columns[1].Heading.size(), 32u);
  EXPECT_EQ(catalogue->JournalOperators().Name, Cp("Obsluha, číšníci (06)"));
  EXPECT_EQ(catalogue->TextLayout2846X.Entries.size() % 4, 0u);
  EXPECT_EQ(catalogue->DefaultContents.size(), 2u);
}

}  // namespace
