#include "model/table_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/communication_log.h"
#include "base/kom_error.h"
#include "model/tlumocnik_sloupce.h"
#include "table_rows.h"
#include "test_support.h"

namespace {

using Layout = std::pair<std::uint8_t, int>;

std::unique_ptr<TSoubor> MakeTable(int number, bool writable, std::initializer_list<Layout> columns) {
  auto table = std::make_unique<TSoubor>();
  table->Number = number;
  table->Writable = writable;
  for (const auto& [type, width] : columns) table->AddColumn(type, width);
  return table;
}

// Record number, EAN, name, price: the front of the PLU table.
std::unique_ptr<TSoubor> PluFileTable() {
  return MakeTable(3, true,
                   {{ColumnType::Binary, 2}, {ColumnType::Packed, 7}, {ColumnType::Text, 18}, {ColumnType::Packed, 4}});
}

// Record number, name, flags byte: shaped like the department tables.
std::unique_ptr<TSoubor> DepartmentTable(int number = 1) {
  return MakeTable(number, true, {{ColumnType::Binary, 2}, {ColumnType::Text, 18}, {ColumnType::Hex, 1}});
}

// Record number, then a cell of each kind that pads its own way.
std::unique_ptr<TSoubor> MixedWidthTable() {
  return MakeTable(9, true,
                   {{ColumnType::Binary, 2},
                    {ColumnType::Text, 6},
                    {ColumnType::Packed, 2},
                    {ColumnType::Thousandths, 3},
                    {ColumnType::Hex, 1}});
}

class TableFile : public ::testing::Test {
protected:
  std::string PathOf(std::string_view name) const { return (dir_ / name).string(); }

  std::string Save(const TSoubor& table, int layout, int codePage = TableFileCodePage::Windows, bool reverse = false) {
    SaveTable(table, PathOf("table.txt"), codePage, reverse, keyLayouts_, layout);
    return ReadFileBytes(dir_ / "table.txt");
  }

  void Load(TSoubor& table, std::string_view content, int layout, int codePage = TableFileCodePage::Windows) {
    WriteFileBytes(dir_ / "input.txt", content);
    LoadTable(table, PathOf("input.txt"), codePage, keyLayouts_, FirstFileColumn(table), layout);
  }

  TempDir dir_;
  TKeyLayouts keyLayouts_;
};

TEST_F(TableFile, FirstColumnIsLeftOutOnlyForWritableTablesOutsideTheKeptSet) {
  for (const int kept : {1, 2, 4, 5, 66}) EXPECT_EQ(FirstFileColumn(*DepartmentTable(kept)), 0) << kept;
  for (const int dropped : {3, 6, 15, 25, 65}) EXPECT_EQ(FirstFileColumn(*DepartmentTable(dropped)), 1) << dropped;
  EXPECT_EQ(FirstFileColumn(*MakeTable(89, false, {{ColumnType::Binary, 2}})), 0);
}

TEST_F(TableFile, PluSeparatedLeavesOutRecordNumberAndLoadingNumbersFromOne) {
  auto table = PluFileTable();
  table->AddRow(-1, "17|8594001|Rohlik|250|");
  table->AddRow(-1, "40|12|Chleba|3990|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated), "8594001;Rohlik;250;\r\n12;Chleba;3990;\r\n");

  auto loaded = PluFileTable();
  LoadTable(*loaded, PathOf("table.txt"), TableFileCodePage::Windows, keyLayouts_, 1, TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*loaded), (std::vector<std::string>{"1|8594001|Rohlik|250|", "2|12|Chleba|3990|"}));
}

TEST_F(TableFile, DepartmentsKeepTheirRecordNumberBothWays) {
  auto table = DepartmentTable(1);
  table->AddRow(-1, "7|Pecivo|0A|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated), "7;Pecivo;0A;\r\n");

  auto loaded = DepartmentTable(1);
  Load(*loaded, "7;Pecivo;0A;\r\n", TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*loaded), std::vector<std::string>{"7|Pecivo|0A|"});
  EXPECT_THROW(Load(*loaded, "Pecivo;0A;\r\n", TableFileLayout::Separated), EKomError)
      << "the record number must be in the file";
}

TEST_F(TableFile, FixedWidthPadsTextRightAndOtherCellsLeft) {
  auto table = MixedWidthTable();
  table->AddRow(-1, "1|Ab|12|-1.500|F|");
  EXPECT_EQ(Save(*table, TableFileLayout::FixedWidth), "Ab      12 -1.500 F\r\n");

  auto loaded = MixedWidthTable();
  Load(*loaded, " Ab     12 -1.500 F\r\n", TableFileLayout::FixedWidth);
  EXPECT_EQ(RowTexts(*loaded), std::vector<std::string>{"1| Ab|12|-1.500|F|"})
      << "a text cell keeps its leading blanks and loses its trailing ones";
}

TEST_F(TableFile, FixedWidthLineOfWrongLengthIsRejected) {
  auto table = DepartmentTable(2);
  const std::string good = "  12Pecivo            0A";
  Load(*table, good + "\r\n", TableFileLayout::FixedWidth);
  EXPECT_EQ(RowTexts(*table), std::vector<std::string>{"12|Pecivo|0A|"});
  EXPECT_THROW(Load(*table, good.substr(1) + "\r\n", TableFileLayout::FixedWidth), EKomError);
  EXPECT_THROW(Load(*table, good + " \r\n", TableFileLayout::FixedWidth), EKomError);
}

TEST_F(TableFile, FixedWidthCellsMustPassTheirTypeCheck) {
  auto table = DepartmentTable(2);
  EXPECT_THROW(Load(*table, "  12Pecivo            0G\r\n", TableFileLayout::FixedWidth), EKomError);
  EXPECT_THROW(Load(*table, "    Pecivo            0A\r\n", TableFileLayout::FixedWidth), EKomError)
      << "an empty binary number is not a number";
}

TEST_F(TableFile, SeparatedLineWithoutClosingSeparatorIsAccepted) {
  auto table = PluFileTable();
  Load(*table, "5;Mleko;1990\r\n6;Maslo;4490;\r\n", TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*table), (std::vector<std::string>{"1|5|Mleko|1990|", "2|6|Maslo|4490|"}));
}

TEST_F(TableFile, SeparatedCellsAreTrimmedAndPricesTakeIntegerForm) {
  auto table = PluFileTable();
  Load(*table, std::string(" 5 ;  Mleko\0 ; 19.9 ;\n", 22), TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*table), std::vector<std::string>{"1|5|Mleko|1990|"});
}

TEST_F(TableFile, EachBrokenRuleGivesErrorTwentyTwoAndKeepsEarlierRows) {
  const std::vector<std::pair<const char*, std::string>> brokenLines = {
      {"too few cells", "9;Cukr;\r\n"},
      {"too many cells", "9;Cukr;100;5;\r\n"},
      {"text longer than its column", "9;Cukr krystal bily 1kg;100;\r\n"},
      {"packed number longer than its column", "9;Cukr;123456789;\r\n"},
      {"letters in a packed number", "9;Cukr;1x0;\r\n"},
      {"minus in a packed number", "-9;Cukr;100;\r\n"},
      {"price with a thousands separator", "9;Cukr;1.299,00;\r\n"},
      {"price with letters after it", "9;Cukr;12.34abc;\r\n"},
      {"price with two separators", "9;Cukr;1..5;\r\n"},
  };
  for (const auto& [rule, line] : brokenLines) {
    auto table = PluFileTable();
    table->AddRow(-1, "99|1|Stary|1|");
    try {
      Load(*table, "5;Mleko;1990;\r\n" + line + "6;Maslo;4490;\r\n", TableFileLayout::Separated);
      ADD_FAILURE() << rule << ": no error";
    } catch (const EKomError& error) {
      EXPECT_EQ(error.Number(), 22) << rule;
    }
    EXPECT_EQ(RowTexts(*table), std::vector<std::string>{"1|5|Mleko|1990|"}) << rule;
  }
}

TEST_F(TableFile, BinaryCellsMayBeLongerThanTheirHexWidth) {
  auto table = MakeTable(21, true, {{ColumnType::Binary, 2}, {ColumnType::Binary, 1}, {ColumnType::Thousandths, 3}});
  Load(*table, "192;-12.500;\r\n", TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*table), std::vector<std::string>{"1|192|-12.500|"});
  EXPECT_THROW(Load(*table, "1;12.50;\r\n", TableFileLayout::Separated), EKomError)
      << "a quantity needs three decimals";
}

// Layout 2 keeps the raw widths (twice the bytes of a number) that callers
// read by position, whenever every value of the table fits them. Only a
// table holding a wider value (an address part "192" in one byte) is written
// with binary cells as wide as their largest value, every row alike. Both
// load back; so do files of either width whatever the values.
TEST_F(TableFile, FixedWidthKeepsRawWidthsUnlessAValueIsWider) {
  const auto addressTable = [] {
    return MakeTable(21, true,
                     {{ColumnType::Binary, 2},
                      {ColumnType::Binary, 1},
                      {ColumnType::Binary, 1},
                      {ColumnType::Binary, 1},
                      {ColumnType::Binary, 1},
                      {ColumnType::Binary, 2}});
  };
  struct Case {
    const char* name;
    std::function<std::unique_ptr<TSoubor>()> make;
    std::vector<std::string> rows;
    std::string file;
  };
  const std::vector<Case> cases{
      {"department, its record number kept",
       [] { return DepartmentTable(1); },
       {"7|Pecivo|0A|", "9999|Mleko|FF|"},
       "   7Pecivo            0A\r\n9999Mleko             FF\r\n"},
      {"PLU with its largest price",
       PluFileTable,
       {"1|8594001|Rohlik|99999999|"},
       "       8594001Rohlik            99999999\r\n"},
      {"addresses that fit two characters", addressTable, {"1|10|0|0|99|9999|"}, "10 0 0999999\r\n"},
      {"an address part of 192",
       addressTable,
       {"1|192|168|1|10|80|", "2|10|0|0|1|65535|"},
       "192168  1 10   80\r\n 10  0  0  165535\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto table = c.make();
    for (const auto& row : c.rows) table->AddRow(-1, row);
    EXPECT_EQ(Save(*table, TableFileLayout::FixedWidth), c.file);
    auto loaded = c.make();
    Load(*loaded, c.file, TableFileLayout::FixedWidth);
    EXPECT_EQ(RowTexts(*loaded), c.rows);
  }
  auto loaded = addressTable();
  Load(*loaded, " 1 2 3 4  10\r\n  1  2  3  4   10\r\n", TableFileLayout::FixedWidth);
  EXPECT_EQ(RowTexts(*loaded), (std::vector<std::string>{"1|1|2|3|4|10|", "2|1|2|3|4|10|"}))
      << "the line's length tells the widths it was written with";
}

TEST_F(TableFile, PackedCellsWithHexDigitsLoadBack) {
  auto table = PluFileTable();
  table->AddRow(-1, "1|5|Rohlik|FFFF|");
  for (const int layout : {TableFileLayout::Separated, TableFileLayout::FixedWidth}) {
    const std::string saved = Save(*table, layout);
    auto loaded = PluFileTable();
    Load(*loaded, saved, layout);
    EXPECT_EQ(RowTexts(*loaded), std::vector<std::string>{"1|5|Rohlik|FFFF|"}) << saved;
  }
}

TEST_F(TableFile, CodePage1250IsWrittenAndReadUnchanged) {
  auto table = PluFileTable();
  const std::string name = Cp("Žluťoučký kůň");
  table->AddRow(-1, "1|5|" + name + "|100|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated), "5;" + name + ";100;\r\n");
  auto loaded = PluFileTable();
  Load(*loaded, "5;" + name + ";100;\r\n", TableFileLayout::Separated);
  EXPECT_EQ(loaded->Rows.at(0).Cell(2), name);
}

TEST_F(TableFile, CodePage852ConvertsCzechLettersBothWays) {
  const std::string name1250 = Cp("Žluťoučký kůň");
  const std::string name852 = "\xA6lu\x9Co\x75\x9Fk\xEC k\x85\xE5";
  for (const int layout : {TableFileLayout::Separated, TableFileLayout::FixedWidth}) {
    auto table = PluFileTable();
    table->AddRow(-1, "1|5|" + name1250 + "|100|");
    const std::string file = Save(*table, layout, TableFileCodePage::Register);
    EXPECT_NE(file.find(name852), std::string::npos) << layout;
    EXPECT_EQ(file.find(name1250), std::string::npos) << layout;

    auto loaded = PluFileTable();
    Load(*loaded, file, layout, TableFileCodePage::Register);
    EXPECT_EQ(loaded->Rows.at(0).Cell(2), name1250) << layout;
  }
}

TEST_F(TableFile, ReverseWritesTheLastRowFirst) {
  auto table = PluFileTable();
  table->AddRow(-1, "1|1|A|1|");
  table->AddRow(-1, "2|2|B|2|");
  table->AddRow(-1, "3|3|C|3|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated, TableFileCodePage::Windows, true),
            "3;C;3;\r\n2;B;2;\r\n1;A;1;\r\n");
}

TEST_F(TableFile, MarkedColumnIsWrittenInDecimalAndLoadedAsItStands) {
  auto table = MakeTable(89, false, {{ColumnType::Binary, 2}, {ColumnType::Hex, 1}, {ColumnType::Packed, 7}});
  table->Columns[1].Mark = true;
  table->AddRow(-1, "1|1F|500|");
  table->AddRow(-1, "2|C8|7|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated), "1;31;500;\r\n2;200;7;\r\n");
  EXPECT_EQ(Save(*table, TableFileLayout::FixedWidth), "   131           500\r\n   2200             7\r\n")
      << "a report's decimal wider than its field is written whole";

  auto loaded = MakeTable(89, false, {{ColumnType::Binary, 2}, {ColumnType::Hex, 1}, {ColumnType::Packed, 7}});
  loaded->Columns[1].Mark = true;
  Load(*loaded, "1;31;500;\r\n", TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*loaded), std::vector<std::string>{"1|31|500|"});
}

TEST_F(TableFile, KeyboardTableCarriesItsKeyLayouts) {
  const char* const first = "2C04~DEP 4~2~0~1~~2~0~1~~2~0~1~N~N~0~12632256~0~1~";
  const char* const second = "3101~POKLADNA~1~0~1~HOTOVOST~1~0~1~~2~0~1~N~N~0~65280~0~1~";
  keyLayouts_.push_back(std::make_unique<TKlavesaDesign>(TKlavesaDesign::FromLine(first)));
  keyLayouts_.push_back(std::make_unique<TKlavesaDesign>(TKlavesaDesign::FromLine(second)));
  auto keyboard = MakeTable(15, true, {{ColumnType::Binary, 2}, {ColumnType::Hex, 2}});
  keyboard->AddRow(-1, "1|0A0B|");
  const std::string file = Save(*keyboard, TableFileLayout::Separated);
  EXPECT_EQ(file, std::string("~KLAVESYDESIGN2\r\n") + first + "\r\n" + second + "\r\n0A0B;\r\n");

  EXPECT_EQ(Save(*DepartmentTable(2), TableFileLayout::Separated), "") << "only table 15 has the section";

  keyLayouts_.clear();
  keyLayouts_.push_back(std::make_unique<TKlavesaDesign>(TKlavesaDesign::FromLine(second)));
  auto loaded = MakeTable(15, true, {{ColumnType::Binary, 2}, {ColumnType::Hex, 2}});
  Load(*loaded, file + "0C0D;\r\n", TableFileLayout::Separated);
  ASSERT_EQ(keyLayouts_.size(), 2u);
  EXPECT_EQ(keyLayouts_[0]->ToLine(), first);
  EXPECT_EQ(keyLayouts_[1]->ToLine(), second);
  EXPECT_EQ(RowTexts(*loaded), (std::vector<std::string>{"1|0A0B|", "2|0C0D|"}))
      << "the section does not advance the record numbers";
}

TEST_F(TableFile, KeyLayoutSectionWithBadCountReadsNoKeys) {
  keyLayouts_.push_back(std::make_unique<TKlavesaDesign>());
  auto keyboard = MakeTable(15, true, {{ColumnType::Binary, 2}, {ColumnType::Hex, 2}});
  Load(*keyboard, "~KLAVESYDESIGNx\r\n0A0B;\r\n", TableFileLayout::Separated);
  EXPECT_TRUE(keyLayouts_.empty());
  EXPECT_EQ(RowTexts(*keyboard), std::vector<std::string>{"1|0A0B|"});
}

TEST_F(TableFile, LinesMayEndInLineFeedAlone) {
  auto table = DepartmentTable(1);
  Load(*table, "1;A;01;\n2;B;02;", TableFileLayout::Separated);
  EXPECT_EQ(RowTexts(*table), (std::vector<std::string>{"1|A|01|", "2|B|02|"}));
}

TEST_F(TableFile, MissingInputFileRaisesAndKeepsTheRows) {
  auto table = DepartmentTable(1);
  table->AddRow(-1, "1|A|01|");
  EXPECT_THROW(LoadTable(*table, PathOf("none.txt"), TableFileCodePage::Windows, keyLayouts_, 0,
                         TableFileLayout::Separated),
               std::system_error);
  EXPECT_EQ(table->Rows.size(), 1u);
}

// ------------------------------------------------------------ saving safely

class TableFileSaving : public TableFile {
protected:
  void SetUp() override { log_.PlainPath = PathOf("plain.log"); }

  TCommunicationLog log_;
  TRunContext run_{{}, log_};

  // The messages of the log lines, without their time stamps.
  void ExpectLog(const std::vector<std::string>& messages) {
    const std::string log = ReadFileBytes(dir_ / "plain.log");
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(log.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), messages.size()) << log;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].ends_with(" " + messages[i])) << lines[i] << " should end with " << messages[i];
    }
  }

  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(TableFileSaving, LogsEveryStep) {
  auto table = PluFileTable();
  table->AddRow(-1, "1|1|A|1|");
  table->AddRow(-1, "2|2|B|2|");
  Save(*table, TableFileLayout::FixedWidth, TableFileCodePage::Register, true);
  ExpectLog({"Uloz begin", "AssignFile \"" + PathOf("table.txt") + "\"", "Rewrite", "Rewrite OK", "Format2 radek 1",
             "Kodovani", "Write", "Format2 radek 0", "Kodovani", "Write", "Close", "Close OK"});
}

TEST_F(TableFileSaving, RefusedCellLeavesTheOldFileAndStillLogsTheClose) {
  WriteFileBytes(dir_ / "table.txt", "old content\r\n");
  auto table = MakeTable(21, true, {{ColumnType::Binary, 2}, {ColumnType::Packed, 1}});
  table->AddRow(-1, "1|10|");
  table->AddRow(-1, "2|192|");
  EXPECT_THROW(Save(*table, TableFileLayout::FixedWidth), std::length_error);
  EXPECT_EQ(ReadFileBytes(dir_ / "table.txt"), "old content\r\n");
  EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"plain.log", "table.txt"})) << "no temporary file left";
  ExpectLog({"Uloz begin", "AssignFile \"" + PathOf("table.txt") + "\"", "Rewrite", "Rewrite OK", "Format2 radek 0",
             "Kodovani", "Write", "Format2 radek 1", "Close", "Close OK"});
}

TEST_F(TableFileSaving, SuccessfulSaveReplacesTheOldFile) {
  WriteFileBytes(dir_ / "table.txt", "old content that is longer than the new one\r\n");
  auto table = DepartmentTable(1);
  table->AddRow(-1, "1|A|01|");
  EXPECT_EQ(Save(*table, TableFileLayout::Separated), "1;A;01;\r\n");
  EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"plain.log", "table.txt"}));
}

TEST_F(TableFileSaving, UncreatableFileRaisesTheSystemErrorAfterLoggingTheClose) {
  auto table = DepartmentTable(1);
  const std::string path = PathOf("missing-folder/table.txt");
  try {
    SaveTable(*table, path, TableFileCodePage::Windows, false, keyLayouts_, TableFileLayout::Separated);
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
  }
  ExpectLog({"Uloz begin", "AssignFile \"" + path + "\"", "Rewrite", "Close", "Close OK"});
}

}  // namespace

namespace {

TEST_F(TableFile, LineLongerThanTheColumnsAllowGivesTwentyTwo) {
  const struct {
    const char* what;
    int layout;
    std::string line;
    int error;
  } cases[] = {
      {"blanks around separated cells", TableFileLayout::Separated, "9;" + std::string(60, ' ') + "Cukr;100;\r\n", 0},
      {"separated line of a megabyte", TableFileLayout::Separated, "9;" + std::string(1 << 20, ' ') + "Cukr;100;\r\n",
       22},
      {"fixed-width line one longer", TableFileLayout::FixedWidth, std::string(14 + 18 + 8 + 1, '1') + "\r\n", 22},
      {"fixed-width line without end", TableFileLayout::FixedWidth, std::string(1 << 20, '1'), 22},
  };
  for (const auto& c : cases) {
    auto table = PluFileTable();
    const std::string first =
        c.layout == TableFileLayout::Separated
            ? std::string("5;Mleko;1990;\r\n")
            : std::string(14, '5') + "Mleko" + std::string(13, ' ') + std::string(8, '1') + "\r\n";
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Load(*table, first + c.line, c.layout); }), c.error) << c.what;
    EXPECT_EQ(table->Rows.size(), c.error == 0 ? 2u : 1u) << c.what;
  }
}

TEST_F(TableFile, OnlyARegularFileIsLoaded) {
  std::filesystem::create_directory(dir_ / "folder");
#ifdef _WIN32
  const std::vector<std::string> devices{"NUL"};
#else
  const std::vector<std::string> devices{"/dev/zero", "/dev/null"};
#endif
  std::vector<std::string> paths{PathOf("folder")};
  paths.insert(paths.end(), devices.begin(), devices.end());
  for (const std::string& path : paths) {
    auto table = DepartmentTable(1);
    table->AddRow(-1, "1|A|01|");
    EXPECT_THROW(LoadTable(*table, path, TableFileCodePage::Windows, keyLayouts_, 0, TableFileLayout::Separated),
                 std::system_error)
        << path;
    EXPECT_EQ(table->Rows.size(), 1u) << path;
  }
}

// A stock quantity of four bytes: the first half-byte carries the sign, so
// seven digits are all the field takes.
TEST_F(TableFile, ThousandthsCellsLeaveTheSignHalfByteFree) {
  const struct {
    const char* cell;
    int error;
  } cases[] = {{"9999.999", 0}, {"-9999.999", 0}, {"09999.999", 0}, {"12345.678", 22}, {"-12345.678", 22}};
  for (const int layout : {TableFileLayout::Separated, TableFileLayout::FixedWidth}) {
    for (const auto& c : cases) {
      const std::string cell = c.cell;
      if (layout == TableFileLayout::FixedWidth && cell.size() > 9) continue;
      const std::string line =
          layout == TableFileLayout::Separated ? cell + ";" : std::string(9 - cell.size(), ' ') + cell;
      auto table = MakeTable(65, true, {{ColumnType::Binary, 2}, {ColumnType::Thousandths, 4}});
      EXPECT_EQ(ErrorNumberRaisedBy([&] { Load(*table, line + "\r\n", layout); }), c.error) << cell << " " << layout;
    }
  }
  auto table = MakeTable(65, true, {{ColumnType::Binary, 2}, {ColumnType::Thousandths, 4}});
  Load(*table, "-9999.999;\r\n", TableFileLayout::Separated);
  const std::string record = TTlumocnikSloupce(table->Columns).EncodeRow(table->Rows.at(0), false);
  EXPECT_EQ(record.substr(2, 4), Bytes({0x89, 0x99, 0x99, 0x99}));
}

// A binary cell must fit its bytes; the upload reads it as a signed 64-bit
// number, so an eight-byte cell stops at the largest of those.
TEST_F(TableFile, BinaryCellsMustFitTheirBytes) {
  const auto table = [] {
    return MakeTable(
        21, true, {{ColumnType::Binary, 2}, {ColumnType::Binary, 1}, {ColumnType::Binary, 2}, {ColumnType::Binary, 8}});
  };
  const std::string pad8(19, ' ');
  const struct {
    int layout;
    std::string line;
    int error;
  } cases[] = {
      {TableFileLayout::Separated, "255;65535;9223372036854775807;", 0},
      {TableFileLayout::Separated, "256;0;0;", 22},
      {TableFileLayout::Separated, "0;65536;0;", 22},
      {TableFileLayout::Separated, "0;99999999999999999999;0;", 22},
      {TableFileLayout::Separated, "0;0;9223372036854775808;", 22},
      {TableFileLayout::FixedWidth, "25565535 9223372036854775807", 0},
      {TableFileLayout::FixedWidth, "256    0" + pad8 + "0", 22},
      {TableFileLayout::FixedWidth, "  065536" + pad8 + "0", 22},
      {TableFileLayout::FixedWidth, "  0    018446744073709551616", 22},
  };
  for (const auto& c : cases) {
    auto loaded = table();
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Load(*loaded, c.line + "\r\n", c.layout); }), c.error) << c.line;
  }
}

TEST_F(TableFile, RowsBeyondWhatTheTableTakesGiveTwentyTwo) {
  for (const int extra : {0, 1}) {
    auto table = DepartmentTable(1);
    table->Capacity = 1;
    std::string file;
    for (int row = 1; row <= table->RowLimit() + extra; ++row) file += std::to_string(row) + ";A;01;\r\n";
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Load(*table, file, TableFileLayout::Separated); }), extra == 0 ? 0 : 22);
    EXPECT_EQ(table->Rows.size(), static_cast<std::size_t>(table->RowLimit())) << extra;
  }
}

TEST_F(TableFile, KeyLayoutsBeyondWhatTheKeyboardHoldsGiveTwentyTwo) {
  for (const std::size_t extra : {0, 1}) {
    auto keyboard = MakeTable(15, true, {{ColumnType::Binary, 2}, {ColumnType::Hex, 4}});
    keyboard->Capacity = 1;
    keyLayouts_.clear();
    keyLayouts_.push_back(std::make_unique<TKlavesaDesign>());
    const std::size_t count = KeyLayoutLimit(*keyboard) + extra;
    std::string file = "~KLAVESYDESIGN" + std::to_string(count) + "\r\n";
    for (std::size_t key = 0; key < count; ++key) file += "0001~1~2~0~1~~2~0~1~~2~0~1~N~N~0~255~0~1~\r\n";
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Load(*keyboard, file + "0A0B0C0D;\r\n", TableFileLayout::Separated); }),
              extra == 0 ? 0 : 22);
    EXPECT_EQ(keyLayouts_.size(), extra == 0 ? count : 1) << "a refused section leaves the key layouts as they were";
  }
}

}  // namespace
