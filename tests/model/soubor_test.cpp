#include "model/soubor.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "base/communication_log.h"
#include "model/convert_error.h"
#include "model/pokl_registr.h"
#include "test_support.h"

namespace {

// Table 9 of the catalogue: record number, amount, flag.
void AddDiscountColumns(TSoubor& table) {
  table.AddColumn(ColumnType::Binary, 2);
  table.AddColumn(ColumnType::Packed, 4);
  table.AddColumn(ColumnType::Packed, 1);
}

std::unique_ptr<TSoubor> KeyedTable(int number, std::initializer_list<const char*> keys) {
  auto table = std::make_unique<TSoubor>();
  table->Number = number;
  table->AddColumn(ColumnType::Binary, 2);
  table->AddColumn(ColumnType::Packed, 7);
  table->KeyColumn = 1;
  int record = 1;
  for (const char* key : keys) table->AddRow(-1, std::to_string(record++) + "|" + key + "|");
  return table;
}

TEST(TSloupec, TextWidthFollowsDisplayKindThenType) {
  EXPECT_EQ(TSloupec(ColumnType::Packed, 4).TextWidth(), 8);
  EXPECT_EQ(TSloupec(ColumnType::Packed, 7).TextWidth(), 13);
  EXPECT_EQ(TSloupec(ColumnType::Binary, 2).TextWidth(), 4);
  EXPECT_EQ(TSloupec(ColumnType::Thousandths, 4).TextWidth(), 9);
  EXPECT_EQ(TSloupec(ColumnType::Text, 18).TextWidth(), 18);
  EXPECT_EQ(TSloupec(ColumnType::Hex, 44).TextWidth(), 88);

  TSloupec shown(ColumnType::Text, 48);
  shown.Display = DisplayKind::Chars3;
  EXPECT_EQ(shown.TextWidth(), 3);
  shown.Display = DisplayKind::Chars24;
  EXPECT_EQ(shown.TextWidth(), 24);
  shown.Display = DisplayKind::Chars32;
  EXPECT_EQ(shown.TextWidth(), 32);
  EXPECT_EQ(shown.RawTextWidth(), 48);
}

TEST(TSloupec, RawTextWidthIgnoresTheEanRule) {
  EXPECT_EQ(TSloupec(ColumnType::Packed, 7).RawTextWidth(), 14);
  EXPECT_EQ(TSloupec(ColumnType::Thousandths, 4).RawTextWidth(), 9);
  EXPECT_EQ(TSloupec(ColumnType::Text, 5).RawTextWidth(), 5);
  EXPECT_EQ(TSloupec(ColumnType::Binary, 3).RawTextWidth(), 6);
}

TEST(TRadek, CellsOutsideTheRowReadEmpty) {
  TRadek row(2);
  row.SetCell(1, "x");
  EXPECT_EQ(row.Cell(1), "x");
  EXPECT_EQ(row.Cell(-1), "");
  EXPECT_EQ(row.Cell(2), "");
  EXPECT_EQ(row.Tag, 0);
  EXPECT_EQ(row.Accepted, 0);
}

TEST(TRadek, WritingOutsideTheRowLogsAndChangesNothing) {
  TRadek row(2);
  std::string log;
  {
    const LogCapture capture;
    row.SetCell(0, "a");
    row.SetCell(2, "b");
    row.SetCell(-1, "c");
    EndLogRepetition();
    log = capture.Text();
  }
  EXPECT_EQ(row.WriteRowText(), "a||");
  const std::string line = " ZADAVANO DO SLOUPCE, KTERY NEEXISTUJE!!!\r\n";
  const auto first = log.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find(line, first + 1), std::string::npos);
  EXPECT_NE(log.find(" " + RepetitionNote(1, 1) + "\r\n", first), std::string::npos)
      << "both bad writes are logged, the second as a repetition";
}

TEST(TRadek, RowTextWithoutClosingBarLeavesTheRestAtDefault) {
  TSoubor table;
  table.AddColumn(ColumnType::Packed, 2);
  table.AddColumn(ColumnType::Hex, 1);
  const auto& row = table.AddRow(-1, "12|ABC");
  EXPECT_EQ(row.Cell(0), "12");
  EXPECT_EQ(row.Cell(1), "00");
}

TEST(TRadek, ExtraCellsAreIgnoredAndEmptyCellsAreKept) {
  TSoubor table;
  table.AddColumn(ColumnType::Text, 5);
  table.AddColumn(ColumnType::Packed, 1);
  const auto& row = table.AddRow(-1, "||7|8|");
  EXPECT_EQ(row.CellCount(), 2);
  EXPECT_EQ(row.Cell(0), "");
  EXPECT_EQ(row.Cell(1), "");
}

TEST(TRadek, ReadCellsAreCutToTheDisplayWidth) {
  TSoubor table;
  table.AddColumn(ColumnType::Packed, 2).Display = DisplayKind::Chars3;
  table.AddColumn(ColumnType::Text, 48).Display = DisplayKind::Chars24;
  const std::string longText(40, 'x');
  const auto& row = table.AddRow(-1, "12345|" + longText + "|");
  EXPECT_EQ(row.Cell(0), "123");
  EXPECT_EQ(row.Cell(1), std::string(24, 'x'));
}

TEST(TRadek, WritesCellsFromTheFirstIndexOn) {
  TRadek row(3);
  row.SetCell(0, "1");
  row.SetCell(1, "01");
  row.SetCell(2, "");
  EXPECT_EQ(row.WriteRowText(0), "1|01||");
  EXPECT_EQ(row.WriteRowText(1), "01||");
  EXPECT_EQ(row.WriteRowText(3), "");
}

TEST(TSoubor, AddColumnStartsPlain) {
  TSoubor table;
  auto& column = table.AddColumn(ColumnType::Text, 18);
  EXPECT_EQ(column.Heading, "");
  EXPECT_EQ(column.Display, DisplayKind::Natural);
  EXPECT_FALSE(column.Mark);
  ASSERT_NE(table.Column(0), nullptr);
  EXPECT_EQ(table.Column(0)->Width, 18);
  EXPECT_EQ(table.Column(1), nullptr);
  EXPECT_EQ(table.Column(-1), nullptr);
}

TEST(TSoubor, AddRowFillsDefaultsByType) {
  TSoubor table;
  for (const auto type :
       {ColumnType::Packed, ColumnType::Binary, ColumnType::Thousandths, ColumnType::Text, ColumnType::Hex}) {
    table.AddColumn(type, 2);
  }
  EXPECT_EQ(table.AddRow(-1, "").WriteRowText(), "0|0|0.000||00|");
}

TEST(TSoubor, AddRowInsertsAtThePositionOrAppends) {
  TSoubor table;
  AddDiscountColumns(table);
  table.AddRow(5, "1|");  // an empty table takes any position as "append"
  table.AddRow(-1, "3|");
  table.AddRow(1, "2|");
  table.AddRow(3, "4|");
  ASSERT_EQ(table.Rows.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(table.Rows[static_cast<std::size_t>(i)].Cell(0), std::to_string(i + 1));
  EXPECT_THROW(table.AddRow(5, "9|"), std::out_of_range);
  EXPECT_THROW(table.AddRow(-2, "9|"), std::out_of_range);
  EXPECT_EQ(table.Rows.size(), 4u);
}

TEST(TSoubor, KeyOrderReportsTheFirstRepeatedOrFallingRow) {
  EXPECT_EQ(KeyedTable(25, {"1", "2", "2", "3"})->CheckKeyOrder(false), 2);
  EXPECT_EQ(KeyedTable(25, {"1", "3", "2"})->CheckKeyOrder(false), -2);
  EXPECT_EQ(KeyedTable(25, {"1", "2", "3"})->CheckKeyOrder(false), 0);
  EXPECT_EQ(KeyedTable(25, {"5", "5"})->CheckKeyOrder(false), 1);
  EXPECT_EQ(KeyedTable(25, {"7"})->CheckKeyOrder(false), 0);
}

TEST(TSoubor, KeysCompareAsNumbersNotTexts) {
  EXPECT_EQ(KeyedTable(25, {"9", "10", "0100"})->CheckKeyOrder(false), 0);
  EXPECT_EQ(KeyedTable(25, {"12345678901234", "99"})->CheckKeyOrder(false), -1);
}

TEST(TSoubor, KeyOrderIsNotCheckedWhereNotAsked) {
  EXPECT_EQ(KeyedTable(3, {"2", "1"})->CheckKeyOrder(true), 0);
  EXPECT_EQ(KeyedTable(3, {"2", "1"})->CheckKeyOrder(false), -1);
  EXPECT_EQ(KeyedTable(25, {"2", "1"})->CheckKeyOrder(true), -1);
  EXPECT_EQ(KeyedTable(25, {})->CheckKeyOrder(false), 0);
  auto unkeyed = KeyedTable(25, {"2", "1"});
  unkeyed->KeyColumn = -1;
  EXPECT_EQ(unkeyed->CheckKeyOrder(false), 0);
}

TEST(TSoubor, KeyThatIsNoNumberFailsTheCheck) {
  auto table = KeyedTable(25, {"1", "x2"});
  EXPECT_EQ(MessageRaisedBy<EConvertError>([&table] { table->CheckKeyOrder(false); }),
            "'x2' is not a valid integer value");
}

TEST(TPoklRegistr, ReadsRegisterHalfByteValuesAndText) {
  const auto entry = TPoklRegistr::FromDescription(Cp("11;1357;Zakázána ZÁLOHA/VRÁCENÍ"));
  EXPECT_EQ(entry.RegisterNumber, 1);
  EXPECT_EQ(entry.HalfByte, 1);
  EXPECT_EQ(entry.OnValues, 0b10101010);
  EXPECT_EQ(entry.Text, Cp("Zakázána ZÁLOHA/VRÁCENÍ"));

  const auto third = TPoklRegistr::FromDescription("132;0123;Tisk");
  EXPECT_EQ(third.RegisterNumber, 13);
  EXPECT_EQ(third.HalfByte, 2);
  EXPECT_EQ(third.OnValues, 0b00001111);
}

TEST(TPoklRegistr, TheLastFieldIsTheText) {
  EXPECT_EQ(TPoklRegistr::FromDescription("12;4567;A;B").Text, "B");
  EXPECT_EQ(TPoklRegistr::FromDescription("12;4567;A;").Text, "A");
  EXPECT_EQ(TPoklRegistr::FromDescription("12;4567").Text, "");
  EXPECT_EQ(TPoklRegistr::FromDescription("12").OnValues, 0);
}

TEST(TPoklRegistr, DigitsOutsideTheHalfByteValuesAreIgnored) {
  EXPECT_EQ(TPoklRegistr::FromDescription("11;0189x;T").OnValues, 0b00000011);
}

TEST(TPoklRegistr, RegisterThatIsNoNumberRaisesTheConversionError) {
  EXPECT_EQ(MessageRaisedBy<EConvertError>([] { TPoklRegistr::FromDescription("1x;1357;T"); }),
            "'1x' is not a valid integer value");
  EXPECT_THROW(TPoklRegistr::FromDescription(""), EConvertError);
}

TEST(TPoklRegistry, CopyTakesCountValuesSizeAndEntries) {
  TPoklRegistry spare(14);
  spare.AddDescription("11;1357;A");
  spare.AddDescription("12;2367;B");
  spare.Entries[0].Tag = 9;

  TPoklRegistry registers(2);
  EXPECT_EQ(registers.Values.size(), 4u);
  registers.AddDescription("21;4567;old");
  registers.CopyFrom(spare);
  EXPECT_EQ(registers.RegisterCount, 14);
  EXPECT_EQ(registers.Values.size(), 28u);
  ASSERT_EQ(registers.Entries.size(), 2u);
  EXPECT_EQ(registers.Entries[0].Text, "A");
  EXPECT_EQ(registers.Entries[0].Tag, 0);
  EXPECT_EQ(registers.Entries[1].OnValues, 0b11001100);

  registers.CopyFrom(registers);
  EXPECT_EQ(registers.Entries.size(), 2u);
  registers.Clear();
  EXPECT_TRUE(registers.Entries.empty());
  EXPECT_EQ(registers.RegisterCount, 14);
}

}  // namespace
