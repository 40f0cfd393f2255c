// The open-tables export: header and item lines from hand-made tables, and
// "ROT" against the register emulator.
#include <gtest/gtest.h>

#include <map>

#include "app/open_tables_export.h"
#include "emulated_register.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "test_support.h"

namespace {

class OpenTableLinesTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* row : {"1|Pecivo|", "2|Napoje|", "3|Maso|", "4|Zelenina|"}) Departments().AddRow(-1, row);
    for (const char* row : {"1|8590000000015|Rohlik|", "2|8590000000022|Chleba|", "3|8590000000022|Chleb|"}) {
      Plu().AddRow(-1, row);
    }
    Operators().AddRow(-1, "1|Jana|");
    for (const char* row : {"1|2100|", "2|1250|", "3|0|"}) Vat().AddRow(-1, row);
  }

  TSoubor& Departments() const { return catalogue_->JournalDepartments(); }
  TSoubor& Plu() const { return catalogue_->JournalPlu(); }
  TSoubor& Operators() const { return catalogue_->JournalOperators(); }
  TSoubor& Vat() const { return catalogue_->JournalVat(); }
  TOpenTableNames Names() const { return {Departments(), Plu(), Operators(), Vat()}; }

  std::string Item(const std::string& rowText) const {
    TSoubor& detail = *catalogue_->Table(91);
    detail.Rows.clear();
    return OpenTableItemLine(detail.AddRow(-1, rowText), Names());
  }

  std::string Header(const std::string& rowText) const {
    TSoubor& open = *catalogue_->Table(89);
    open.Rows.clear();
    return OpenTableHeaderLine(open.AddRow(-1, rowText), Names());
  }

  std::unique_ptr<TSoubory> catalogue_ = BuildCatalogue("ECR 465T/465TF");
};

TEST_F(OpenTableLinesTest, HeaderLines) {
  const std::pair<const char*, const char*> cases[] = {
      {"5|01|1234|", "T|5|1|Jana|1234"},
      {"12|02|500|", "T|12|2|2|500"},
      {"3|00|0|", "T|3|0|0|0"},
      {"7|0A|99|", "T|7|10|10|99"},
  };
  for (const auto& [row, line] : cases) EXPECT_EQ(Header(row), line) << row;
}

TEST_F(OpenTableLinesTest, OperatorNamesAreCutToEighteenCharacters) {
  Operators().Rows.front().SetCell(1, "Jana Novakova-Dvorakova");
  EXPECT_EQ(Header("5|01|1|"), "T|5|1|Jana Novakova-Dvor|1");
}

TEST_F(OpenTableLinesTest, ItemLines) {
  const std::pair<const char*, std::string> cases[] = {
      {"1|2000|0001|8590000000015|1|0|2590|", "D|2.000|DP|8590000000015|Rohlik|2590|5180|21"},
      {"1|1000|0001|8590000000022|2|0|100|", "D|1.000|DP|8590000000022|Chleb|100|100|12"},
      {"1|1000|0001|999|1|0|100|", "D|1.000|DP|999|" + Cp("PLU") + " 999|100|100|21"},
      {"1|1500|04D0|0|2|0|4990|", "D|1.500|DD|4|Zelenina|4990|7485|12"},
      {"1|1000|0AD0|0|3|0|10|", "D|1.000|DD|10|" + Cp("ZS") + " 10|10|10|0"},
      {"1|1000|00D0|0|1|0|10|", "D|1.000|DD|0|" + Cp("ZS") + " 0|10|10|21"},
      {"1|1000|0001|8590000000015|0|0|10|", "D|1.000|DP|8590000000015|Rohlik|10|10|" + Cp("DPH") + "0"},
      {"1|1000|0001|8590000000015|4|0|10|", "D|1.000|DP|8590000000015|Rohlik|10|10|" + Cp("DPH") + "4"},
      {"1|5|0001|8590000000015|1|0|100|", "D|0.005|DP|8590000000015|Rohlik|100|0|21"},
      {"1|15|0001|8590000000015|1|0|100|", "D|0.015|DP|8590000000015|Rohlik|100|2|21"},
      {"1|25|0001|8590000000015|1|0|100|", "D|0.025|DP|8590000000015|Rohlik|100|2|21"},
      {"1|-5|0001|8590000000015|1|0|300|", "D|-0.005|DP|8590000000015|Rohlik|300|-2|21"},
  };
  for (const auto& [row, line] : cases) EXPECT_EQ(Item(row), line) << row;
}

// A rate row of unprogrammed register memory reads back as hex digits; it
// names no rate, as a row that is not there, and the export goes on.
TEST_F(OpenTableLinesTest, AnUnprogrammedVatRateShowsTheIndex) {
  Vat().Rows[2].SetCell(1, "FFFF");
  EXPECT_EQ(Item("1|1000|0001|8590000000015|3|0|10|"), "D|1.000|DP|8590000000015|Rohlik|10|10|" + Cp("DPH") + "3");
}

TEST_F(OpenTableLinesTest, EmptySlotsAndBadNumbers) {
  TSoubor& detail = *catalogue_->Table(91);
  EXPECT_TRUE(IsEmptyItemSlot(detail.AddRow(-1, "1|0|0000|0|0|0|0|")));
  EXPECT_FALSE(IsEmptyItemSlot(detail.AddRow(-1, "1|0|00D0|0|0|0|0|")));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Item("1|1x|0001|1|1|0|100|"); }), 10);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Item("1|1000|0001|1|1|0|1.5|"); }), 10);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Item("1|1000|0001|1|x|0|100|"); }), 10);
}

#ifdef MERVSIM_EXE

/// The lines of a file written with ";" as fields.
std::vector<std::vector<std::string>> Records(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> records;
  for (const auto& line : lines) records.push_back(Fields(line));
  return records;
}

class OpenTablesRunTest : public EmulatedRegisterTest {
protected:
  /// Code → fields of the PLU file (code, name, price, ..., department, VAT, ...).
  std::map<std::string, std::vector<std::string>> PluByCode(const std::string& file) const {
    std::map<std::string, std::vector<std::string>> plu;
    for (const auto& line : FileLines(file)) plu[Fields(line)[0]] = Fields(line);
    return plu;
  }

  void WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    WriteFileBytes(file, text);
  }
};

TEST_F(OpenTablesRunTest, HeaderAndItemLinesWithNamesFoundAndNot) {
  // A register whose every other PLU has VAT index 0, and only one operator.
  StartRegister();
  ASSERT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
  ASSERT_EQ(Run("R06", {"/FILE=operators.txt"}), " 0");
  ASSERT_EQ(Run("R30", {"/FILE=vat.txt"}), " 0");
  auto pluLines = FileLines("plu.txt");
  for (std::size_t i = 0; i < pluLines.size(); i += 2) {
    auto fields = Fields(pluLines[i]);
    fields[5] = "0";
    std::string line;
    for (std::size_t f = 0; f + 1 < fields.size(); ++f) line += fields[f] + ";";
    pluLines[i] = line;
  }
  const auto data = folder_ / "data";
  std::filesystem::create_directory(data);
  WriteLines(data / "table03.txt", pluLines);
  WriteLines(data / "table06.txt", {FileLines("operators.txt").at(0)});
  StartRegister({"--data", data.string()});
  ASSERT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
  ASSERT_EQ(Run("R01", {"/FILE=departments.txt"}), " 0");

  ASSERT_EQ(Run("ROT", {"/FILE=rot.txt"}), " 0");
  const auto plu = PluByCode("plu.txt");
  const auto vat = Records(FileLines("vat.txt"));
  const auto operatorName = Fields(FileLines("operators.txt").at(0))[0];
  const auto departments = Records(FileLines("departments.txt"));
  const auto rot = Records(FileLines("rot.txt"));
  ASSERT_FALSE(rot.empty());
  EXPECT_EQ(rot[0][0], "T");

  int headers = 0, pluItems = 0, departmentItems = 0, vatZero = 0;
  std::string firstPluCode;
  for (const auto& record : rot) {
    if (record[0] == "T") {
      ++headers;
      ASSERT_EQ(record.size(), 5u);
      EXPECT_EQ(record[3], record[2] == "1" ? operatorName.substr(0, 18) : record[2]) << "only operator 1 is known";
      continue;
    }
    ASSERT_EQ(record.size(), 8u);
    EXPECT_EQ(record[0], "D");
    const long long quantity = std::stoll(record[1].substr(0, record[1].find('.'))) * 1000 +
                               std::stoll(record[1].substr(record[1].find('.') + 1));
    const long long price = std::stoll(record[5]);
    EXPECT_NEAR(std::stod(record[6]), price * quantity / 1000.0, 0.5);
    if (record[2] == "DD") {
      ++departmentItems;
      const auto number = std::stoul(record[3]);
      ASSERT_LE(number, departments.size());
      EXPECT_EQ(record[4], departments[number - 1][1]);
      continue;
    }
    ++pluItems;
    EXPECT_EQ(record[2], "DP");
    ASSERT_TRUE(plu.count(record[3])) << record[3];
    const auto& known = plu.at(record[3]);
    EXPECT_EQ(record[4], known[1]);
    if (firstPluCode.empty()) firstPluCode = record[3];
    const int vatIndex = std::stoi(known[5]);
    if (vatIndex == 0) {
      ++vatZero;
      EXPECT_EQ(record[7], "DPH0");
    } else {
      EXPECT_EQ(record[7], std::to_string(std::stoi(vat.at(static_cast<std::size_t>(vatIndex - 1))[0]) / 100));
    }
  }
  EXPECT_EQ(headers, 3);
  EXPECT_GE(pluItems, 4);
  EXPECT_EQ(departmentItems, 1);
  EXPECT_GE(vatZero, 1);

  // Without that PLU and with three departments the names are not found.
  std::vector<std::string> fewerPlu;
  for (const auto& line : FileLines("plu.txt")) {
    if (Fields(line)[0] != firstPluCode) fewerPlu.push_back(line);
  }
  WriteLines(folder_ / "fewer.txt", fewerPlu);
  ASSERT_EQ(Run("W03", {"/FILE=fewer.txt"}), " 0");
  const auto allDepartments = FileLines("departments.txt");
  WriteLines(folder_ / "three.txt", {allDepartments.begin(), allDepartments.begin() + 3});
  ASSERT_EQ(Run("W01", {"/FILE=three.txt"}), " 0");
  ASSERT_EQ(Run("ROT", {"/FILE=rot.txt", "/CODE=1250"}), " 0");
  int notFound = 0;
  for (const auto& record : Records(FileLines("rot.txt"))) {
    if (record[0] != "D") continue;
    if (record[2] == "DP" && record[3] == firstPluCode) {
      EXPECT_EQ(record[4], "PLU " + firstPluCode);
      ++notFound;
    }
    if (record[2] == "DD") {
      EXPECT_EQ(record[4], "ZS " + record[3]) << "departments 1 to 3 only";
      ++notFound;
    }
  }
  EXPECT_EQ(notFound, 2);
}

TEST_F(OpenTablesRunTest, NoOpenTablesGiveAnEmptyFile) {
  StartRegister();
  WriteFileBytes(folder_ / "rot.txt", "old\r\n");
  ASSERT_EQ(Run("N47"), " 0");
  ASSERT_EQ(Run("ROT", {"/FILE=rot.txt"}), " 0");
  EXPECT_EQ(File("rot.txt"), "");
}

#endif  // MERVSIM_EXE

}  // namespace
