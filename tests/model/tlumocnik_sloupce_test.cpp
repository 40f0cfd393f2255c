#include "model/tlumocnik_sloupce.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/localized_texts.h"
#include "model/check_bytes.h"
#include "model/convert_error.h"
#include "model/soubor.h"
#include "model/value_conversions.h"
#include "test_support.h"

namespace {

// A table with the given columns and a column interpreter over all of them.
struct Table {
  explicit Table(std::initializer_list<std::pair<std::uint8_t, int>> columns) {
    for (const auto& [type, width] : columns) table.AddColumn(type, width);
    table.Interpreter = std::make_unique<TTlumocnikSloupce>(table.Columns);
  }
  std::string Encode(std::string_view rowText, bool zeroRecordNumber = false) {
    TRadek row(static_cast<int>(table.Columns.size()));
    row.SetDefaults(table.Columns);
    row.ReadRowText(rowText, table.Columns);
    return table.Interpreter->EncodeRow(row, zeroRecordNumber);
  }
  std::string Decode(std::string_view record) const { return table.Interpreter->DecodeRecord(record); }
  TSoubor table;
};

// The record bytes of one cell, check bytes left out.
std::string EncodeCell(std::uint8_t type, int width, const std::string& cell) {
  Table one{{type, width}};
  const auto record = one.Encode(cell + "|");
  EXPECT_EQ(record.size(), static_cast<std::size_t>(width) + 2);
  EXPECT_TRUE(VerifyCheckBytes(record));
  return record.substr(0, record.size() - 2);
}

std::string DecodeCell(std::uint8_t type, const std::string& bytes) {
  Table one{{type, static_cast<int>(bytes.size())}};
  auto text = one.Decode(bytes + Bytes({0, 0}));
  EXPECT_EQ(text.back(), '|');
  text.pop_back();
  return text;
}

// Table 3 of the catalogue (PLU): number, code, name, two prices, flags, status.
Table PluTable() {
  return Table{{1, 2}, {0, 7}, {3, 18}, {0, 4}, {0, 4}, {0, 1}, {0, 1}, {0, 1},
               {0, 1}, {0, 1}, {0, 1},  {0, 1}, {0, 1}, {0, 1}, {4, 1}};
}

TEST(ColumnEncoding, PackedDecimalPairsDigitsLeftPadded) {
  EXPECT_EQ(EncodeCell(0, 2, "1234"), Bytes({0x12, 0x34}));
  EXPECT_EQ(EncodeCell(0, 2, "7"), Bytes({0x00, 0x07}));
  EXPECT_EQ(EncodeCell(0, 1, "0"), Bytes({0x00}));
  EXPECT_EQ(EncodeCell(0, 4, ""), Bytes({0, 0, 0, 0}));
}

TEST(ColumnEncoding, PackedCellLongerThanTheFieldKeepsItsLeftmostDigits) {
  EXPECT_EQ(EncodeCell(0, 2, "123456"), Bytes({0x12, 0x34}));
}

TEST(ColumnEncoding, PackedLeadingZerosDoNotPushDigitsOut) {
  EXPECT_EQ(EncodeCell(0, 1, "0012"), Bytes({0x12}));
  EXPECT_EQ(EncodeCell(0, 4, "0000012345"), Bytes({0x00, 0x01, 0x23, 0x45}));
}

TEST(ColumnEncoding, HexBytesKeepTheirDigits) {
  EXPECT_EQ(EncodeCell(4, 1, "0A"), Bytes({0x0A}));
  EXPECT_EQ(EncodeCell(4, 1, "0a0b"), Bytes({0x0A}));
  EXPECT_EQ(EncodeCell(4, 2, "A"), Bytes({0x00, 0x0A}));
  EXPECT_EQ(EncodeCell(4, 2, "00FF"), Bytes({0x00, 0xFF}));
}

TEST(ColumnEncoding, BinaryIsLeastSignificantByteFirst) {
  EXPECT_EQ(EncodeCell(1, 2, "513"), Bytes({0x01, 0x02}));
  EXPECT_EQ(EncodeCell(1, 3, "65536"), Bytes({0x00, 0x00, 0x01}));
  EXPECT_EQ(EncodeCell(1, 2, "-1"), Bytes({0xFF, 0xFF}));
  EXPECT_EQ(EncodeCell(1, 10, "1"), Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ColumnEncoding, BinaryCellThatIsNoNumberFails) {
  Table table{{1, 2}, {0, 1}};
  EXPECT_EQ(MessageRaisedBy<EConvertError>([&table] { table.Encode("x1|5|"); }), "'x1' is not a valid integer value");
  TRadek shortRow(0);
  EXPECT_THROW(table.table.Interpreter->EncodeRow(shortRow, false), EConvertError);
}

TEST(ColumnEncoding, ZeroRecordNumberFlagBlanksColumnZeroOnly) {
  Table table{{1, 2}, {1, 2}};
  EXPECT_EQ(table.Encode("7|7|", true).substr(0, 4), Bytes({0, 0, 7, 0}));
  EXPECT_EQ(table.Encode("x|7|", true).substr(0, 4), Bytes({0, 0, 7, 0}));
  EXPECT_EQ(table.Encode("7|7|", false).substr(0, 4), Bytes({7, 0, 7, 0}));
}

TEST(ColumnEncoding, ThousandthsCarryTheSignInTheFirstHalfByte) {
  EXPECT_EQ(EncodeCell(2, 4, "-1.250"), Bytes({0x80, 0x00, 0x12, 0x50}));
  EXPECT_EQ(EncodeCell(2, 4, "1.234"), Bytes({0x00, 0x00, 0x12, 0x34}));
  EXPECT_EQ(EncodeCell(2, 4, "9999.999"), Bytes({0x09, 0x99, 0x99, 0x99}));
  EXPECT_EQ(EncodeCell(2, 4, "-0.005"), Bytes({0x80, 0x00, 0x00, 0x05}));
}

// Cutting would lose digits and the first one would land in the sign
// half-byte, turning a positive quantity negative.
TEST(ColumnEncoding, ThousandthsWithMoreDigitsThanTheFieldAreRefused) {
  const struct {
    int width;
    const char* cell;
  } cases[] = {{4, "12345.678"}, {4, "-12345.678"}, {4, "123456.789"}, {1, "0.012"}};
  for (const auto& c : cases) {
    Table one{{ColumnType::Thousandths, c.width}};
    EXPECT_THROW(one.Encode(std::string(c.cell) + "|"), EConvertError) << c.cell;
  }
}

TEST(ColumnEncoding, ThousandthsIgnoreLeadingZerosOfTheText) {
  // Neither the leading zeros nor the sign and point may cost a digit.
  EXPECT_EQ(EncodeCell(2, 4, "00000012.500"), Bytes({0x00, 0x01, 0x25, 0x00}));
  EXPECT_EQ(EncodeCell(2, 2, "-0.123"), Bytes({0x81, 0x23}));
  EXPECT_EQ(EncodeCell(2, 1, "-0.005"), Bytes({0x85}));
}

TEST(ColumnEncoding, TextMarksCaretAndPadsWithBlanks) {
  EXPECT_EQ(EncodeCell(3, 5, "A^B"), Bytes({0x41, 0xFF, 0x42, 0x20, 0x20}));
  EXPECT_EQ(EncodeCell(3, 3, "ABCDEF"), "ABC");
  EXPECT_EQ(EncodeCell(3, 4, Cp("Kůň")), Bytes({'K', 0x85, 0xE5, ' '}));
}

TEST(ColumnEncoding, UnknownTypeTakesNoBytes) {
  Table table{{1, 1}, {9, 3}};
  EXPECT_EQ(table.table.Interpreter->RecordLength(), 6);
  EXPECT_EQ(table.Encode("1|x|").size(), 3u);
  EXPECT_EQ(table.Decode(Bytes({1, 0x41, 0x41, 0x41, 0, 0})), "1||");
}

TEST(ColumnDecoding, PackedKeepsAtLeastOneDigit) {
  EXPECT_EQ(DecodeCell(0, Bytes({0x00, 0x12})), "12");
  EXPECT_EQ(DecodeCell(0, Bytes({0x00, 0x00})), "0");
  EXPECT_EQ(DecodeCell(0, Bytes({0x10, 0x00})), "1000");
}

TEST(ColumnDecoding, BinaryOfAnyWidthIsExact) {
  EXPECT_EQ(DecodeCell(1, Bytes({0x01, 0x02})), "513");
  EXPECT_EQ(DecodeCell(1, Bytes({0xFF, 0xFF})), "65535");
  EXPECT_EQ(DecodeCell(1, std::string(8, '\xFF')), "18446744073709551615");
  EXPECT_EQ(DecodeCell(1, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1})), "18446744073709551616");
}

TEST(ColumnDecoding, ThousandthsPlaceThePointAndTheSign) {
  EXPECT_EQ(DecodeCell(2, Bytes({0x00, 0x00, 0x12, 0x34})), "1.234");
  EXPECT_EQ(DecodeCell(2, Bytes({0x80, 0x00, 0x00, 0x05})), "-0.005");
  EXPECT_EQ(DecodeCell(2, Bytes({0x00, 0x00, 0x00, 0x00})), "0.000");
  EXPECT_EQ(DecodeCell(2, Bytes({0x01, 0x00, 0x00, 0x05})), "1000.005");
}

TEST(ColumnDecoding, AnyNonZeroSignHalfByteIsNegative) {
  for (const int sign : {0x10, 0x80, 0x90, 0xA0, 0xF0}) {
    EXPECT_EQ(DecodeCell(2, Bytes({sign, 0x00, 0x12, 0x50})), "-1.250") << sign;
  }
}

TEST(ColumnDecoding, NarrowThousandthsStillShowThreeDecimals) {
  EXPECT_EQ(DecodeCell(2, Bytes({0x05})), "0.005");
  EXPECT_EQ(DecodeCell(2, Bytes({0x85})), "-0.005");
  EXPECT_EQ(DecodeCell(2, Bytes({0x81, 0x23})), "-0.123");
}

TEST(ColumnDecoding, TextLosesTrailingBlanksAndReturnsToCodePage1250) {
  EXPECT_EQ(DecodeCell(3, Bytes({0x41, 0xFF, 0x42, 0x20, 0x20})), "A^B");
  EXPECT_EQ(DecodeCell(3, Bytes({'K', 0x85, 0xE5, 0x00, ' '})), Cp("Kůň"));
  EXPECT_EQ(DecodeCell(3, Bytes({' ', 'a', ' '})), " a");
}

TEST(ColumnDecoding, HexBytesStayAsTheyAre) { EXPECT_EQ(DecodeCell(4, Bytes({0x00, 0x0A, 0xFF})), "000AFF"); }

// Unprogrammed register memory holds FF: a packed field shows such half-bytes
// as hex digits, and the cell encodes back to the same bytes.
TEST(ColumnDecoding, HalfByteAboveNineShowsAsItsHexDigitAndEncodesBack) {
  struct Case {
    std::uint8_t type;
    std::string bytes;
    std::string text;
  };
  for (const Case& c :
       {Case{0, Bytes({0x1A}), "1A"}, Case{0, Bytes({0xFF, 0xFF}), "FFFF"}, Case{0, Bytes({0x00, 0x0F}), "F"},
        Case{2, Bytes({0x00, 0x0B, 0x00, 0x00}), "B0.000"}, Case{2, Bytes({0x00, 0xFF, 0xFF, 0xFF}), "FFF.FFF"},
        Case{2, Bytes({0x8F, 0xFF, 0xFF, 0xFF}), "-FFFF.FFF"}}) {
    EXPECT_EQ(DecodeCell(c.type, c.bytes), c.text);
    EXPECT_EQ(EncodeCell(c.type, static_cast<int>(c.bytes.size()), c.text), c.bytes) << c.text;
    EXPECT_TRUE(CellPassesInputCheck(c.type, c.text)) << c.text << " loads back from a table file";
  }
}

TEST(ColumnDecoding, RecordTooShortFailsInsteadOfReadingBeyondIt) {
  auto plu = PluTable();
  const auto record = plu.Encode("1|8594000000001|ROHLIK|250|0|");
  EXPECT_THROW(plu.Decode(record.substr(0, 20)), EConvertError);
  EXPECT_THROW(plu.Decode(""), EConvertError);
  EXPECT_NO_THROW(plu.Decode(record.substr(0, record.size() - 2)));
}

TEST(TTlumocnikSloupce, RecordLengthIsColumnsPlusCheckBytes) {
  Table discounts{{1, 2}, {0, 4}, {0, 1}};
  EXPECT_EQ(discounts.table.Interpreter->RecordLength(), 9);
  const auto record = discounts.Encode("");
  EXPECT_EQ(record, std::string(9, '\0'));
  EXPECT_EQ(PluTable().table.Interpreter->RecordLength(), 47);
}

TEST(TTlumocnikSloupce, ColumnCountLimitsTheRecordToTheFirstColumns) {
  TSoubor stock;
  stock.AddColumn(1, 2);
  stock.AddColumn(0, 7);
  stock.AddColumn(2, 4);
  stock.AddColumn(3, 18);
  const TTlumocnikSloupce interpreter(stock.Columns, 3);
  EXPECT_EQ(interpreter.RecordLength(), 15);
  EXPECT_EQ(interpreter.DecodeRecord(Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0x42, 0x80, 0, 0x10, 0, 0, 0})), "1|42|-1.000|");

  const TTlumocnikSloupce all(stock.Columns);
  stock.AddColumn(0, 1);
  EXPECT_EQ(all.ColumnCount(), 4);
  const TTlumocnikSloupce tooMany(stock.Columns, 9);
  EXPECT_EQ(tooMany.ColumnCount(), 5);
}

TEST(TTlumocnikSloupce, PluRowSurvivesTheRecord) {
  auto plu = PluTable();
  const std::string row = "12|8594000000001|" + Cp("ROHLÍK ŠTĚDRÝ^") + "|250|1999|1|0|0|0|0|0|0|0|9|0F|";
  const auto record = plu.Encode(row);
  ASSERT_EQ(record.size(), 47u);
  EXPECT_TRUE(VerifyCheckBytes(record));
  EXPECT_EQ(record.substr(0, 2), Bytes({12, 0}));
  EXPECT_EQ(record.substr(2, 7), Bytes({0x08, 0x59, 0x40, 0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(plu.Decode(record), row);
}

TEST(TTlumocnikSloupce, CheckAcceptsAGoodRecord) {
  auto plu = PluTable();
  EXPECT_EQ(plu.table.Interpreter->CheckRecord(plu.table, plu.Encode("5|1|A|")), "");
}

TEST(TTlumocnikSloupce, CheckKeepsRecordsWithHexDigitsInNumbers) {
  auto plu = PluTable();
  auto record = plu.Encode("261|1|A|");
  record[3] = '\x1A';
  record.replace(2 + 7 + 18, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(plu.table.Interpreter->CheckRecord(plu.table, record), "");
  EXPECT_TRUE(plu.Decode(record).starts_with("261|1A0000000001|A|FFFFFFFF|0|")) << plu.Decode(record);
}

TEST(TTlumocnikSloupce, CheckReportsTheColumnsAShortRecordCutsOff) {
  Table table{{1, 2}, {0, 2}, {3, 4}};
  table.table.Name = "T";
  table.table.Columns[1].Heading = "A";
  table.table.Columns[2].Heading = "B";
  const auto errors = table.table.Interpreter->CheckRecord(table.table, Bytes({3, 0, 0x12}));
  EXPECT_EQ(errors, LoadText(991) + "T - #3 - A: \"12 \"\r" + LoadText(991) + "T - #3 - B: \"\"\r");
}

TEST(TTlumocnikSloupce, MessageStartsWithTheRegisterDataText) {
  EXPECT_EQ(LoadText(991), Cp("Chyba v datech pokladny:"));
}

TEST(TTlumocnik, BaseInterpreterPassesRowsAndRecordsThrough) {
  const TTlumocnik base;
  TSoubor table;
  TRadek row(2);
  row.SetCell(0, "1");
  row.SetCell(1, "x");
  EXPECT_EQ(base.RecordLength(), 0);
  EXPECT_EQ(base.EncodeRow(row, true), "1|x|");
  EXPECT_EQ(base.DecodeRecord(Bytes({1, 0, 2})), Bytes({1, 0, 2}));
  EXPECT_EQ(base.CheckRecord(table, "anything"), "");
  EXPECT_EQ(base.RowName(1, 1), "");
}

// Canonical cells: the texts that decoding produces, which must survive an
// encoding and a decoding unchanged.
class CanonicalCells : private RandomValues {
public:
  explicit CanonicalCells(unsigned seed) : RandomValues(seed) {}

  std::string Make(std::uint8_t type, int width) {
    switch (type) {
      case 0:
        return Significant(Digits(Between(1, 2 * width)));
      case 1:
        return std::to_string(BinaryValue(width));
      case 2: {
        const auto digits = Significant(Digits(Between(1, 2 * width - 1)));
        return ThousandthsText(Between(0, 1) == 1 ? "-" + digits : digits);
      }
      case 3:
        return Text(Between(0, width));
      default:
        return HexDigits(2 * width);
    }
  }

private:
  static std::string Significant(const std::string& digits) { return StripLeadingZeros(digits, 1); }

  std::uint64_t BinaryValue(int width) {
    auto value = std::uniform_int_distribution<std::uint64_t>()(random_) & 0x7FFF'FFFF'FFFF'FFFFull;
    if (width < 8) value &= (1ull << (8 * width)) - 1;
    return value >> Between(0, 62);
  }

  std::string Text(int length) {
    static const std::string alphabet = [] {
      std::string letters = Cp("ŠŤŽšťžĽľŔÁÄĹČÉĚÍĎŇÓÔÖŘŮÚÜÝŕáäĺčéěíďňóôöřůúüý^");
      for (char c = ' '; c <= '~'; ++c) {
        if (c != '|') letters += c;
      }
      return letters;
    }();
    std::string text = Drawn(alphabet, length);
    while (!text.empty() && text.back() == ' ') text.back() = 'x';
    return text;
  }
};

TEST(ColumnRoundTrip, EveryTypeAndWidthKeepsItsCanonicalCells) {
  CanonicalCells cells(20240917u);
  for (std::uint8_t type = 0; type <= 4; ++type) {
    for (int width = 1; width <= 45; ++width) {
      Table table{{type, width}};
      for (int sample = 0; sample < 40; ++sample) {
        const auto cell = cells.Make(type, width);
        const auto record = table.Encode(cell + "|");
        ASSERT_EQ(record.size(), static_cast<std::size_t>(width) + 2);
        ASSERT_EQ(table.Decode(record), cell + "|") << "type " << int{type} << " width " << width;
      }
    }
  }
}

}  // namespace
