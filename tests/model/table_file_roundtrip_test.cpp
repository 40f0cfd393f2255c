// Every writable table of every model goes through a table file and back in
// both layouts and both code pages: generated valid rows (fixed seed) must
// load back exactly as they were saved, and table 15 its key layouts too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "model/table_file.h"
#include "table_rows.h"
#include "test_support.h"

namespace {

constexpr std::size_t MaxRowsPerTable = 4;
constexpr int KeyboardTable = 15;

const char* const ModelNames[] = {"",
                                  "ECR 39T",
                                  "ECR 40T/42T",
                                  "ECR 359T",
                                  "ECR 360T/360TF",
                                  "ECR 362T/362TF",
                                  "ECR 465T/465TF",
                                  "ECR 466T/466TF",
                                  "ECR 396F",
                                  "ECR 549",
                                  "ECR 579/579R",
                                  "ECR 579F",
                                  "ECR 649F",
                                  "ECR 650F",
                                  "ECR 652F",
                                  "CM-840/842",
                                  "CM-1840F",
                                  "CM-1840S",
                                  "CM-1846F",
                                  "CM-1846S",
                                  "CM-1856F"};

// Valid cells for a column, drawn from a fixed seed. Texts use letters that
// both code pages hold, so the 852 conversion is reversible on them.
class CellGenerator : private RandomValues {
public:
  explicit CellGenerator(unsigned seed) : RandomValues(seed), textLetters_(TextLetters()) {}

  std::string Cell(const TSloupec& column) {
    const int limit = std::min(column.TextWidth(), column.RawTextWidth());
    switch (column.Type) {
      case ColumnType::Packed:
        return Digits(Between(1, limit));
      case ColumnType::Binary:
        return BinaryNumber(column.Width, limit);
      case ColumnType::Thousandths:
        return Quantity(column.Width, limit);
      case ColumnType::Text:
        return Text(limit);
      default:
        return HexDigits(Between(1, limit));
    }
  }

  std::string KeyLayoutLine(int index) {
    std::string line = "2C" + std::to_string(10 + index) + "~";
    for (int label = 0; label < 3; ++label) {
      line += Text(8) + "~" + std::to_string(Between(0, 9)) + "~0~" + std::to_string(Between(0, 2)) + "~";
    }
    line += std::string(Between(0, 1) ? "A" : "N") + "~N~0~" + std::to_string(Between(0, 16777215)) + "~";
    line += (index % 2 ? "9key" + std::to_string(index) + ".bmp" : "0") + std::string("~1~");
    return line;
  }

private:
  static std::string TextLetters() {
    return "ABCXYZabcxyz0123456789 .,-+*/" + Cp("ŠŤŽšťžĽľŔÁÄĹČÉĚÍĎŇÓÔÖŘŮÚÜÝŕáäĺčéěíďňóôöřůúüý");
  }

  // A value the column's bytes hold, written in no more than `limit` digits.
  std::string BinaryNumber(int width, int limit) {
    std::uint64_t maximum = 1;
    for (int i = 0; i < limit && maximum < 1'000'000'000; ++i) maximum *= 10;
    if (width < 4) maximum = std::min<std::uint64_t>(maximum, std::uint64_t{1} << (8 * width));
    return std::to_string(std::uniform_int_distribution<std::uint64_t>(0, maximum - 1)(random_));
  }

  // Three decimals, and no more digits than the bytes hold beside the sign.
  std::string Quantity(int width, int limit) {
    const bool negative = Between(0, 1) == 1;
    const int integerDigits = Between(1, std::min(limit - 4 - (negative ? 1 : 0), 2 * width - 1 - 3));
    return (negative ? "-" : "") + Digits(integerDigits) + "." + Digits(3);
  }

  // No blank at either end: separated files trim them.
  std::string Text(int limit) {
    std::string text = Drawn(textLetters_, Between(0, limit));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return text;
  }

  std::string textLetters_;
};

void FillRows(TSoubor& table, CellGenerator& generator) {
  table.Rows.clear();
  const std::size_t rows = std::clamp<std::size_t>(static_cast<std::size_t>(table.Capacity), 1, MaxRowsPerTable);
  for (std::size_t index = 0; index < rows; ++index) {
    TRadek& row = table.AddRow(-1, {});
    // Record numbers run 1, 2, 3 ... as loading gives them when they are left out.
    row.SetCell(0, std::to_string(index + 1));
    for (std::size_t column = 1; column < table.Columns.size(); ++column) {
      row.SetCell(static_cast<int>(column), generator.Cell(table.Columns[column]));
    }
  }
}

// Puts the generated rows back, so that one failed round trip does not spoil the next.
void RestoreRows(TSoubor& table, const std::vector<std::string>& rowTexts) {
  table.Rows.clear();
  for (const auto& text : rowTexts) table.AddRow(-1, text);
}

std::vector<std::string> KeyLayoutLines(const TKeyLayouts& keyLayouts) {
  std::vector<std::string> lines;
  for (const auto& design : keyLayouts) lines.push_back(design->ToLine());
  return lines;
}

class TableFileRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(TableFileRoundTrip, EveryWritableTableLoadsBackAsSaved) {
  const auto catalogue = BuildCatalogue(GetParam());
  TempDir dir;
  const std::string path = (dir / "table.txt").string();
  CellGenerator generator(20240611);
  for (int i = 0; i < 3; ++i) {
    catalogue->KeyLayouts.push_back(
        std::make_unique<TKlavesaDesign>(TKlavesaDesign::FromLine(generator.KeyLayoutLine(i))));
  }
  const std::vector<std::string> keyLines = KeyLayoutLines(catalogue->KeyLayouts);
  int tablesTried = 0;
  for (int number = 1; number <= TSoubory::MaxTableNumber; ++number) {
    TSoubor* table = catalogue->Table(number);
    if (table == nullptr || !table->Writable) continue;
    ++tablesTried;
    FillRows(*table, generator);
    const std::vector<std::string> saved = RowTexts(*table);
    for (const int layout : {TableFileLayout::Separated, TableFileLayout::FixedWidth}) {
      for (const int codePage : {TableFileCodePage::Register, TableFileCodePage::Windows}) {
        SCOPED_TRACE("table " + std::to_string(number) + " layout " + std::to_string(layout) + " code page " +
                     std::to_string(codePage));
        RestoreRows(*table, saved);
        SaveTable(*table, path, codePage, false, catalogue->KeyLayouts, layout);
        LoadTable(*table, path, codePage, catalogue->KeyLayouts, FirstFileColumn(*table), layout);
        EXPECT_EQ(RowTexts(*table), saved);
        EXPECT_EQ(KeyLayoutLines(catalogue->KeyLayouts), keyLines);
      }
    }
    if (number == KeyboardTable) {
      EXPECT_NE(ReadFileBytes(path).find(catalogue->KeyLayouts.front()->ToLine()), std::string::npos);
    }
  }
  EXPECT_GT(tablesTried, 20);
}

std::string TestNameOf(const ::testing::TestParamInfo<const char*>& model) {
  std::string name = model.param[0] != '\0' ? model.param : "NoModel";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllModels, TableFileRoundTrip, ::testing::ValuesIn(ModelNames), TestNameOf);

}  // namespace
