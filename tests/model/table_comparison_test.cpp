// A table's rows as a file holds them compared with the register's rows:
// which rows pair up, and the exact difference lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/soubor.h"
#include "model/table_comparison.h"
#include "test_support.h"

namespace {

// Table 3 in small: record number (not in the file), code (the key), name,
// price, a flag.
class TableComparison : public ::testing::Test {
protected:
  void SetUp() override {
    table_.Number = 3;
    table_.Writable = true;
    for (const auto& [type, width, heading] : {std::tuple{ColumnType::Binary, 2, "číslo"},
                                               {ColumnType::Packed, 7, "kód"},
                                               {ColumnType::Text, 18, "název"},
                                               {ColumnType::Packed, 4, "cena"},
                                               {ColumnType::Packed, 1, "DPH"}}) {
      table_.AddColumn(type, width).Heading = Cp(heading);
    }
    table_.KeyColumn = 1;
  }

  std::vector<TRadek> Rows(const std::vector<std::string>& texts) const {
    std::vector<TRadek> rows;
    for (const auto& text : texts) {
      rows.emplace_back(static_cast<int>(table_.Columns.size()));
      rows.back().ReadRowText(Cp(text), table_.Columns);
    }
    return rows;
  }

  std::vector<std::string> Compare(const std::vector<std::string>& file, const std::vector<std::string>& held) {
    return CompareTableRows(table_, Rows(file), Rows(held));
  }

  TSoubor table_;
};

TEST_F(TableComparison, GivesOneLinePerDifferingRow) {
  struct Case {
    const char* what;
    std::vector<std::string> file, held, lines;
  };
  const std::vector<std::string> three = {"1|11|Rohlík|2,50|1|", "2|12|Chléb|35,90|1|", "3|13|Máslo|52,00|2|"};
  const Case cases[] = {
      {"the same rows", three, three, {}},
      {"the same rows with other record numbers",
       three,
       {"7|11|Rohlík|2,50|1|", "8|12|Chléb|35,90|1|", "9|13|Máslo|52,00|2|"},
       {}},
      {"a price changed",
       three,
       {"1|11|Rohlík|2,50|1|", "2|12|Chléb|36,90|1|", "3|13|Máslo|52,00|2|"},
       {"~ 12;cena: 35,90 -> 36,90"}},
      {"two columns changed, named in column order",
       three,
       {"1|11|Rohlík|2,50|1|", "2|12|Chléb|35,90|1|", "3|13|Máslo 82%|52,00|1|"},
       {"~ 13;název: Máslo -> Máslo 82%;DPH: 2 -> 1"}},
      {"a row only in the register",
       three,
       {"1|11|Rohlík|2,50|1|", "2|12|Chléb|35,90|1|", "3|14|Mléko|21,90|2|", "4|13|Máslo|52,00|2|"},
       {"+ 14;Mléko;21,90;2;"}},
      {"a row only in the file", three, {"1|11|Rohlík|2,50|1|", "3|13|Máslo|52,00|2|"}, {"- 12;Chléb;35,90;1;"}},
      {"the register's order first, the file's left-overs last",
       three,
       {"1|15|Sýr|99,00|1|", "2|13|Máslo|55,00|2|"},
       {"+ 15;Sýr;99,00;1;", "~ 13;cena: 52,00 -> 55,00", "- 11;Rohlík;2,50;1;", "- 12;Chléb;35,90;1;"}},
      {"an empty register", three, {}, {"- 11;Rohlík;2,50;1;", "- 12;Chléb;35,90;1;", "- 13;Máslo;52,00;2;"}},
      {"an empty file", {}, {"1|11|Rohlík|2,50|1|"}, {"+ 11;Rohlík;2,50;1;"}},
      {"a key twice pairs first with first",
       {"1|11|A|1,00|1|", "2|11|B|2,00|1|"},
       {"1|11|A|1,00|1|", "2|11|C|2,00|1|"},
       {"~ 11;název: B -> C"}},
      {"a key twice in the register only once in the file",
       {"1|11|A|1,00|1|"},
       {"1|11|A|1,00|1|", "2|11|A|1,00|1|"},
       {"+ 11;A;1,00;1;"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expected;
    for (const auto& line : c.lines) expected.push_back(Cp(line));
    EXPECT_EQ(Compare(c.file, c.held), expected) << c.what;
  }
}

TEST_F(TableComparison, WithoutAKeyInTheFileRowsPairByPosition) {
  table_.KeyColumn = 0;  // the record number, which the file leaves out
  EXPECT_EQ(Compare({"1|11|A|1,00|1|", "2|12|B|2,00|1|"}, {"5|11|A|1,00|1|", "6|12|C|2,00|1|", "7|13|D|3,00|1|"}),
            (std::vector<std::string>{Cp("~ 2;název: B -> C"), "+ 13;D;3,00;1;"}));
  table_.KeyColumn = -1;
  EXPECT_EQ(Compare({"1|11|A|1,00|1|", "2|12|B|2,00|1|"}, {"1|11|A|1,00|1|"}),
            (std::vector<std::string>{"- 12;B;2,00;1;"}));
}

TEST_F(TableComparison, TablesThatKeepTheRecordNumberCompareItToo) {
  table_.Number = 1;  // departments: the file holds the record number
  EXPECT_EQ(Compare({"1|11|A|1,00|1|"}, {"2|11|A|1,00|1|"}), (std::vector<std::string>{Cp("~ 11;číslo: 1 -> 2")}));
}

TEST_F(TableComparison, MarkedRegisterCellsCompareAsTheFileWritesThem) {
  table_.Columns[4].Mark = true;
  table_.Columns[4].Type = ColumnType::Hex;
  // The register holds hex digits, the file their decimal value.
  EXPECT_EQ(Compare({"1|11|A|1,00|26|"}, {"1|11|A|1,00|1A|"}), std::vector<std::string>{});
  EXPECT_EQ(Compare({"1|11|A|1,00|26|"}, {"1|11|A|1,00|1B|"}), (std::vector<std::string>{"~ 11;DPH: 26 -> 27"}));
}

}  // namespace
