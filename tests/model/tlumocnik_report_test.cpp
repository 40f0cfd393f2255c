#include "model/tlumocnik_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/localized_texts.h"
#include "model/check_bytes.h"
#include "model/convert_error.h"
#include "model/soubor.h"
#include "model/tlumocnik_report_financial.h"
#include "model/tlumocnik_report_sales.h"
#include "model/tlumocnik_report_staff.h"
#include "test_support.h"

namespace {

// A 49-byte report record built field by field; positions count from 1.
class Record {
public:
  Record(int kind, int number) : bytes_(47, '\0') {
    bytes_[0] = static_cast<char>(kind);
    bytes_[1] = static_cast<char>(number);
  }

  Record& Signed(int first, int last, std::int64_t value) {
    bytes_[static_cast<std::size_t>(first - 1)] = value < 0 ? '\x80' : '\0';
    return Digits(first + 1, last, value < 0 ? -value : value);
  }
  Record& Unsigned(int first, int last, std::int64_t value) { return Digits(first, last, value); }
  Record& Byte(int position, int value) {
    bytes_[static_cast<std::size_t>(position - 1)] = static_cast<char>(value);
    return *this;
  }
  std::string Bytes() const {
    auto record = bytes_;
    AddCheckBytes(record);
    return record;
  }
  operator std::string() const { return Bytes(); }

private:
  Record& Digits(int first, int last, std::int64_t value) {
    for (int position = last; position >= first; --position) {
      const auto low = value % 10;
      value /= 10;
      const auto high = value % 10;
      value /= 10;
      bytes_[static_cast<std::size_t>(position - 1)] = static_cast<char>(high << 4 | low);
    }
    return *this;
  }

  std::string bytes_;
};

// A report table whose column headings are "K0", "K1", ...
std::unique_ptr<TSoubor> ReportTable(std::string name, int columns, std::unique_ptr<TTlumocnikReport> interpreter) {
  auto table = std::make_unique<TSoubor>();
  table->Name = std::move(name);
  for (int i = 0; i < columns; ++i) table->AddColumn(0, 1).Heading = "K" + std::to_string(i);
  table->Interpreter = std::move(interpreter);
  return table;
}

std::string Message(const TSoubor& table, const std::string& identifier, int column, const std::string& dump) {
  return LoadText(991) + table.Name + " " + identifier + (identifier.empty() ? "" : " ") + "K" +
         std::to_string(column) + ": \"" + dump + "\"\r";
}

std::string Check(const TSoubor& table, const std::string& record) {
  return table.Interpreter->CheckRecord(table, record);
}

std::string Decode(const TTlumocnik& interpreter, const std::string& record) {
  return interpreter.DecodeRecord(record);
}

using Rows = std::vector<std::string>;

// The rows a member shows for one record with every field filled, read under
// each of these kinds and numbers in turn.
Rows RowsUnder(const TTlumocnik& member, const Record& filled, std::initializer_list<std::pair<int, int>> kindNumbers) {
  Rows rows;
  for (const auto& [kind, number] : kindNumbers) {
    rows.push_back(Decode(member, Record(filled).Byte(1, kind).Byte(2, number)));
  }
  return rows;
}

// --- Row names ----------------------------------------------------------

TEST(ReportRowNames, SingleLineCoversOneKindAndNumber) {
  TTlumocnikReport79 report;
  report.AddRowName("01 02 S DPH A");
  ASSERT_EQ(report.RowNames().size(), 1u);
  const auto& entry = report.RowNames()[0];
  EXPECT_EQ(entry.FirstKind, 1);
  EXPECT_EQ(entry.FirstNumber, 2);
  EXPECT_EQ(entry.LastKind, 1);
  EXPECT_EQ(entry.LastNumber, 2);
  EXPECT_EQ(report.RowName(1, 2), "S DPH A");
  EXPECT_EQ(report.RowName(1, 3), "");
}

TEST(ReportRowNames, LaterModelLineWinsInsideARange) {
  TTlumocnikReport70 report;
  report.AddRowName("00 00 ZS");
  report.AddRowName("03 32 - 03 60 Platba");
  report.AddRowName("03 33 X");
  EXPECT_EQ(report.RowName(3, 33), "X");
  EXPECT_EQ(report.RowName(3, 34), "Platba");
  EXPECT_EQ(report.RowName(3, 32), "Platba");
  EXPECT_EQ(report.RowName(3, 60), "Platba");
  EXPECT_EQ(report.RowName(3, 61), "ZS");
  EXPECT_EQ(report.RowName(2, 40), "ZS");
}

TEST(ReportRowNames, KindZeroLinesNameEveryKindWhenNothingElseMatches) {
  TTlumocnikReport79 report;
  report.AddRowName("00 11 HOTOVOST");
  EXPECT_EQ(report.RowName(5, 11), "HOTOVOST");
  report.AddRowName("05 11 Jen pet");
  EXPECT_EQ(report.RowName(5, 11), "Jen pet");
  EXPECT_EQ(report.RowName(6, 11), "HOTOVOST");
  EXPECT_EQ(report.RowName(6, 12), "");
}

TEST(ReportRowNames, AllZeroLineSetsTheDefaultAndALaterOneReplacesIt) {
  TTlumocnikReport72 report;
  EXPECT_EQ(report.DefaultRowName(), "");
  report.AddRowName("00 00 ZS");
  EXPECT_TRUE(report.RowNames().empty());
  EXPECT_EQ(report.DefaultRowName(), "ZS");
  report.AddRowName("00 00 - 00 00 Jine");
  EXPECT_EQ(report.DefaultRowName(), "Jine");
}

TEST(ReportRowNames, ClearEmptiesTheList) {
  TTlumocnikReport70 report;
  report.AddRowName("01 01 A");
  report.AddRowName("01 02 B");
  report.ClearRowNames();
  EXPECT_TRUE(report.RowNames().empty());
  EXPECT_EQ(report.RowName(1, 1), "");
}

TEST(ReportRowNames, NumbersThatAreNoNumbersRaiseTheConversionError) {
  TTlumocnikReport70 report;
  EXPECT_THROW(report.AddRowName("0x 01 A"), EConvertError);
  EXPECT_THROW(report.AddRowName("01 01 - 0y 02 A"), EConvertError);
  EXPECT_THROW(report.AddRowName("01"), EConvertError);
  EXPECT_THROW(report.AddRowName(""), EConvertError);
  EXPECT_TRUE(report.RowNames().empty());
}

TEST(ReportRowNames, AccentedNamesComeOutInTheProgramCodePage) {
  TTlumocnikReport70 report;
  report.AddRowName(Cp("02 01 Výběr zboží"));
  EXPECT_EQ(Decode(report, Record(2, 1)), Cp("2|1|Výběr zboží|0|||"));
}

// --- Financial report ---------------------------------------------------

TEST(TTlumocnikReport70, SalesKindAmountTakesNineBytes) {
  TTlumocnikReport70 report;
  const auto record = Record(2, 1).Signed(3, 11, -1234567890123456);
  EXPECT_EQ(Decode(report, record), "2|1||-1234567890123456|||");
  // Any other kind reads the same bytes as eight: the last byte is left out.
  EXPECT_EQ(Decode(report, Record(1, 1).Signed(3, 11, -1234567890123456)), "1|1||-12345678901234|||");
}

TEST(TTlumocnikReport70, PaymentKindShowsCountsFromNumberFiveAndTotalsForSevenAndEight) {
  const auto filled = Record(3, 4).Signed(3, 10, 500).Unsigned(18, 19, 12).Signed(30, 37, -900);
  EXPECT_EQ(RowsUnder(TTlumocnikReport70(), filled, {{3, 4}, {3, 5}, {3, 7}, {3, 8}, {3, 9}}),
            (Rows{"3|4||500|||", "3|5||500|12||", "3|7||500|12|-900|", "3|8||500|12|-900|", "3|9||500|12||"}));
}

TEST(TTlumocnikReport70, CounterKindHidesAmountsUpToThirtyAndAtSeventyThree) {
  const auto filled = Record(4, 1).Signed(3, 10, 500).Unsigned(18, 19, 12).Signed(30, 37, 900);
  EXPECT_EQ(RowsUnder(TTlumocnikReport70(), filled, {{4, 1}, {4, 30}, {4, 31}, {4, 73}, {4, 75}}),
            (Rows{"4|1||||900|", "4|30||||900|", "4|31||500|12||", "4|73|||12||", "4|75||500|12||"}));
}

TEST(TTlumocnikReport70, RowsAreNamedByKindAndNumber) {
  TTlumocnikReport70 report;
  report.AddRowName("03 07 HOTOVOST");
  EXPECT_EQ(Decode(report, Record(3, 7)), "3|7|HOTOVOST|0|0|0|");
}

TEST(TTlumocnikReport70ECR40, HidesOtherAmountsAndShowsMoreTotals) {
  const auto filled = Record(4, 73).Signed(3, 10, 500).Unsigned(18, 19, 12).Signed(30, 37, 900);
  EXPECT_EQ(RowsUnder(TTlumocnikReport70ECR40(), filled,
                      {{4, 73}, {4, 75}, {4, 76}, {4, 77}, {4, 2}, {3, 14}, {3, 15}, {2, 1}}),
            (Rows{"4|73||500|12||", "4|75|||12||", "4|76|||12||", "4|77||500|12||", "4|2||||900|", "3|14||500|12|900|",
                  "3|15||500|12||", "2|1||50000|||"}));
}

TEST(TTlumocnikReport84, ShowsTheTotalUnderTheDefaultName) {
  TTlumocnikReport84 report;
  report.AddRowName(Cp("00 00 Zásuvka"));
  EXPECT_EQ(Decode(report, Record(2, 3).Signed(30, 37, -42)), Cp("2|3|Zásuvka|-42|"));
}

TEST(TTlumocnikReport85, ShowsTwelveNumbersWithoutKindOrName) {
  TTlumocnikReport85 report;
  report.AddRowName("00 00 ignored");
  const auto record = Record(9, 9)
                          .Signed(3, 7, 1)
                          .Signed(8, 12, -2)
                          .Signed(13, 17, 3)
                          .Unsigned(18, 19, 4)
                          .Signed(20, 24, 5)
                          .Unsigned(25, 26, 6)
                          .Signed(27, 31, 7)
                          .Signed(32, 36, -99999999)
                          .Unsigned(37, 38, 9)
                          .Signed(39, 43, 10)
                          .Unsigned(44, 45, 9999)
                          .Unsigned(46, 47, 12);
  EXPECT_EQ(Decode(report, record), "1|-2|3|4|5|6|7|-99999999|9|10|9999|12|");
}

// --- Sales reports --------------------------------------------------------

TEST(TTlumocnikReport72, ShowsAmountCountQuantityAndGroup) {
  TTlumocnikReport72 report;
  report.AddRowName("00 00 ZS");
  const auto record = Record(7, 0).Signed(3, 10, 12345).Unsigned(18, 19, 3).Signed(21, 28, -5).Unsigned(38, 38, 42);
  EXPECT_EQ(Decode(report, record), "7|0|ZS|12345|3|-0.005|42|");
  EXPECT_EQ(Decode(report, Record(7, 0)), "7|0|ZS|0|0|0.000|0|");
}

TEST(TTlumocnikReport72, AnyNonZeroSignByteIsNegative) {
  TTlumocnikReport72 report;
  for (const int sign : {0x01, 0x80, 0xFF, 0x3C}) {
    const auto record = Record(1, 1).Signed(3, 10, 7).Signed(21, 28, 5).Byte(3, sign).Byte(21, sign);
    EXPECT_EQ(Decode(report, record), "1|1||-7|0|-0.005|0|") << sign;
  }
}

TEST(TTlumocnikReport72a, AddsTheStock) {
  TTlumocnikReport72a report;
  const auto record = Record(7, 0).Signed(21, 28, 1500).Signed(39, 46, 1234567);
  EXPECT_EQ(Decode(report, record), "7|0||0|0|1.500|0|1234.567|");
}

TEST(TTlumocnikReport74, RecordNumberIsLowByteFirst) {
  TTlumocnikReport74 report;
  EXPECT_EQ(Decode(report, Record(0x01, 0x02)).substr(0, 4), "513|");
  EXPECT_EQ(Decode(report, Record(0xFF, 0xFF)).substr(0, 6), "65535|");
}

TEST(TTlumocnikReport74, ShowsAmountCodeQuantityGroupAndStock) {
  TTlumocnikReport74 report;
  report.AddRowName("00 00 PLU");
  const auto record = Record(3, 0)
                          .Signed(3, 10, -250)
                          .Unsigned(14, 20, 8594000000001)
                          .Signed(21, 28, 2000)
                          .Unsigned(38, 38, 5)
                          .Signed(39, 46, -1);
  EXPECT_EQ(Decode(report, record), "3|PLU|-250|8594000000001|2.000|5|-0.001|");
}

TEST(TTlumocnikReport77, ShowsAmountQuantityGroupAndStock) {
  TTlumocnikReport77 report;
  const auto record = Record(1, 4).Signed(3, 10, 99).Signed(21, 28, 1).Unsigned(38, 38, 2).Signed(39, 46, 0);
  EXPECT_EQ(Decode(report, record), "1|4||99|0.001|2|0.000|");
}

TEST(TTlumocnikReport83, ShowsAmountAndCountPerHour) {
  TTlumocnikReport83 report;
  report.AddRowName("00 00 Hodina");
  EXPECT_EQ(Decode(report, Record(14, 1).Signed(3, 10, 777).Unsigned(18, 19, 8)), "14|1|Hodina|777|8|");
}

// --- Staff report -----------------------------------------------------------

TEST(TTlumocnikReport79, NumberDecidesWhichFieldsShow) {
  TTlumocnikReport79 report;
  report.AddRowName("00 07 STORNO");
  const auto filled = Record(5, 1).Signed(3, 10, 100).Unsigned(18, 19, 2).Signed(30, 37, 300);
  EXPECT_EQ(RowsUnder(report, filled, {{5, 1}, {5, 2}, {5, 7}, {5, 8}, {5, 9}}),
            (Rows{"5|1||100|2||", "5|2||100|||", "5|7|STORNO||2||", "5|8||100|2||", "5|9||100|2|300|"}));
}

// --- Record checks ----------------------------------------------------------

TEST(ReportCheck, EveryMemberTakesFortyNineByteRecordsAndAcceptsGoodOnes) {
  std::unique_ptr<TTlumocnikReport> members[] = {
      std::make_unique<TTlumocnikReport70>(), std::make_unique<TTlumocnikReport70ECR40>(),
      std::make_unique<TTlumocnikReport72>(), std::make_unique<TTlumocnikReport72a>(),
      std::make_unique<TTlumocnikReport74>(), std::make_unique<TTlumocnikReport77>(),
      std::make_unique<TTlumocnikReport79>(), std::make_unique<TTlumocnikReport83>(),
      std::make_unique<TTlumocnikReport84>(), std::make_unique<TTlumocnikReport85>()};
  const TSoubor table;
  for (const auto& member : members) {
    EXPECT_EQ(member->RecordLength(), 49);
    EXPECT_EQ(member->CheckRecord(table, Record(3, 7).Signed(3, 10, 5).Bytes()), "");
  }
}

TEST(ReportCheck, FinancialMessageNamesKindNumberAndRow) {
  auto table = ReportTable(Cp("Finanční denní (70)"), 6, std::make_unique<TTlumocnikReport70>());
  table->Interpreter->AddRowName(Cp("03 07 Účet"));
  const auto record = Record(3, 7).Byte(5, 0x1A).Byte(19, 0xF0).Byte(37, 0x0C);
  const auto id = Cp("3-7 (Účet)");
  EXPECT_EQ(Check(*table, record), Message(*table, id, 3, "00 00 1A 00 00 00 00 00 ") +
                                       Message(*table, id, 4, "00 F0 ") +
                                       Message(*table, id, 5, "00 00 00 00 00 00 00 0C "));
}

TEST(ReportCheck, HiddenFieldsAreNotChecked) {
  auto table = ReportTable("F", 6, std::make_unique<TTlumocnikReport70>());
  const auto record = Record(4, 1).Byte(5, 0xAA).Byte(18, 0xAA);
  EXPECT_EQ(Check(*table, record), "");
  EXPECT_EQ(Check(*table, Record(record).Byte(2, 31)),
            Message(*table, "4-31 ()", 3, "00 00 AA 00 00 00 00 00 ") + Message(*table, "4-31 ()", 4, "AA 00 "));
}

TEST(ReportCheck, Ecr40VariantChecksTheFieldsItShows) {
  auto table = ReportTable("F", 6, std::make_unique<TTlumocnikReport70ECR40>());
  const auto record = Record(4, 73).Byte(10, 0xB1).Byte(33, 0xB1);
  EXPECT_EQ(Check(*table, record), Message(*table, "4-73 ()", 3, "00 00 00 00 00 00 00 B1 "));
  EXPECT_EQ(Check(*table, Record(record).Byte(2, 75)), "");
  EXPECT_EQ(Check(*table, Record(record).Byte(1, 3).Byte(2, 12)),
            Message(*table, "3-12 ()", 3, "00 00 00 00 00 00 00 B1 ") +
                Message(*table, "3-12 ()", 5, "00 00 00 B1 00 00 00 00 "));
}

TEST(ReportCheck, SalesKindChecksTheNinthAmountByte) {
  auto table = ReportTable("F", 6, std::make_unique<TTlumocnikReport70>());
  const auto record = Record(2, 1).Byte(11, 0x0D);
  EXPECT_EQ(Check(*table, record), Message(*table, "2-1 ()", 3, "00 00 00 00 00 00 00 00 0D "));
  EXPECT_EQ(Check(*table, Record(record).Byte(1, 1)), "");
}

TEST(ReportCheck, DepartmentMessageNamesTheKindAlone) {
  auto table = ReportTable("ZS", 8, std::make_unique<TTlumocnikReport72a>());
  const auto record = Record(12, 3).Byte(38, 0xB0).Byte(46, 0x0E);
  EXPECT_EQ(Check(*table, record),
            Message(*table, "12", 6, "B0 ") + Message(*table, "12", 7, "00 00 00 00 00 00 00 0E "));
}

TEST(ReportCheck, PluMessageNamesTheCodeColumnAndCode) {
  auto table = ReportTable("PLU", 7, std::make_unique<TTlumocnikReport74>());
  table->Columns[3].Heading = "EAN";
  const auto record = Record(1, 0).Unsigned(14, 20, 8594000000001).Byte(28, 0xC0);
  EXPECT_EQ(Check(*table, record), LoadText(991) + "PLU EAN 8594000000001 K4: \"00 00 00 00 00 00 00 C0 \"\r");
}

TEST(ReportCheck, PluWithABadCodeIsAnUnknownEanInEveryMessage) {
  auto table = ReportTable("PLU", 7, std::make_unique<TTlumocnikReport74>());
  const auto record = Record(1, 0).Byte(3, 0x80).Byte(4, 0xA0).Byte(20, 0x1F);
  EXPECT_EQ(Check(*table, record), Message(*table, "Unknown EAN", 2, "80 A0 00 00 00 00 00 00 ") +
                                       Message(*table, "Unknown EAN", 3, "00 00 00 00 00 00 1F "));
}

TEST(ReportCheck, LinkPluAndHourlyMessagesCarryTheDefaultName) {
  auto link = ReportTable("L", 7, std::make_unique<TTlumocnikReport77>());
  link->Interpreter->AddRowName(Cp("00 00 Položka"));
  EXPECT_EQ(Check(*link, Record(2, 9).Byte(38, 0x0A)), Message(*link, Cp("2-9 (Položka)"), 5, "0A "));
  auto hourly = ReportTable("H", 5, std::make_unique<TTlumocnikReport83>());
  EXPECT_EQ(Check(*hourly, Record(13, 0).Byte(18, 0xAB)), Message(*hourly, "13-0 ()", 4, "AB 00 "));
}

TEST(ReportCheck, OperatorMessageUsesTheRowName) {
  auto table = ReportTable("O", 6, std::make_unique<TTlumocnikReport79>());
  table->Interpreter->AddRowName("00 11 HOTOVOST");
  EXPECT_EQ(Check(*table, Record(5, 11).Byte(37, 0xEE)),
            Message(*table, "5-11 (HOTOVOST)", 5, "00 00 00 00 00 00 00 EE "));
  EXPECT_EQ(Check(*table, Record(5, 7).Byte(4, 0xEE)), "");
}

TEST(ReportCheck, DrawerMessageNamesKindAndNumber) {
  auto table = ReportTable("D", 4, std::make_unique<TTlumocnikReport84>());
  EXPECT_EQ(Check(*table, Record(2, 3).Byte(31, 0x9A)), Message(*table, "2-3", 3, "00 9A 00 00 00 00 00 00 "));
}

TEST(ReportCheck, ShortFinancialMessageHasNoIdentifier) {
  auto table = ReportTable("Z", 12, std::make_unique<TTlumocnikReport85>());
  EXPECT_EQ(Check(*table, Record(0, 0).Byte(47, 0x0F)), Message(*table, "", 11, "00 0F "));
}

TEST(ReportCheck, MissingColumnLeavesTheHeadingEmpty) {
  auto table = ReportTable("Z", 0, std::make_unique<TTlumocnikReport84>());
  EXPECT_EQ(Check(*table, Record(1, 1).Byte(31, 0xFF)), LoadText(991) + "Z 1-1 : \"00 FF 00 00 00 00 00 00 \"\r");
}

TEST(ReportCheck, ShortRecordReportsTheMissingFieldsAndNeverReadsBeyond) {
  auto table = ReportTable("H", 5, std::make_unique<TTlumocnikReport83>());
  const auto cut = Record(1, 2).Signed(3, 10, 5).Bytes().substr(0, 12);
  EXPECT_EQ(Check(*table, cut), Message(*table, "1-2 ()", 4, ""));
  EXPECT_EQ(Check(*table, cut.substr(0, 5)),
            Message(*table, "1-2 ()", 3, "00 00 00 ") + Message(*table, "1-2 ()", 4, ""));
  EXPECT_THROW(table->Interpreter->DecodeRecord(cut), EConvertError);
  EXPECT_FALSE(Check(*table, "").empty());
  EXPECT_EQ(Check(*table, Record(1, 2).Bytes().substr(0, 47)), "");
}

}  // namespace
