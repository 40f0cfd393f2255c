#include "model/value_conversions.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

#include "model/check_bytes.h"
#include "model/convert_error.h"
#include "test_support.h"
#include "text_cases.h"

namespace {

// The 44 letters that travel between the two code pages, in the same order in
// both strings.
const std::string LettersUtf8 = "ŠŤŽšťžĽľŔÁÄĹČÉĚÍĎŇÓÔÖŘŮÚÜÝŕáäĺčéěíďňóôöřůúüý";
const std::string LettersCp852 =
    Bytes({0xE6, 0x9B, 0xA6, 0xE7, 0x9C, 0xA7, 0x95, 0x96, 0xE8, 0xB5, 0x8E, 0x91, 0xAC, 0x90, 0xB7,
           0xD6, 0xD2, 0xD5, 0xE0, 0xE2, 0x99, 0xFC, 0xDE, 0xE9, 0x9A, 0xED, 0xEA, 0xA0, 0x84, 0x92,
           0x9F, 0x82, 0xD8, 0xA1, 0xD4, 0xE5, 0xA2, 0x93, 0x94, 0xFD, 0x85, 0xA3, 0x81, 0xEC});

TEST(StrToInt64, ReadsDecimalWithBlanksAndSign) {
  EXPECT_EQ(StrToInt64("0"), 0);
  EXPECT_EQ(StrToInt64("  42"), 42);
  EXPECT_EQ(StrToInt64("-17"), -17);
  EXPECT_EQ(StrToInt64("+5"), 5);
  EXPECT_EQ(StrToInt64("007"), 7);
  EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
}

TEST(StrToInt64, RejectsWhatIsNoIntegerWithTheConversionMessage) {
  for (const char* text : {"", " ", "-", "12a", "1 ", "1.5", "9223372036854775808", "-9223372036854775809"}) {
    EXPECT_EQ(MessageRaisedBy<EConvertError>([text] { StrToInt64(text); }),
              "'" + std::string(text) + "' is not a valid integer value");
  }
}

TEST(StrToInt, KeepsToThe32BitRange) {
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
}

TEST(HexPairToByte, ReadsBothCasesAndZeroesOtherCharacters) {
  EXPECT_EQ(HexPairToByte('0', 'A'), 0x0A);
  EXPECT_EQ(HexPairToByte('f', 'F'), 0xFF);
  EXPECT_EQ(HexPairToByte('9', '1'), 0x91);
  EXPECT_EQ(HexPairToByte('G', '5'), 0x05);
  EXPECT_EQ(HexPairToByte('7', ' '), 0x70);
  EXPECT_EQ(HexPairToByte('-', '^'), 0x00);
}

TEST(Trims, RemoveBlanksAndNulsOnTheirSideOnly) {
  const std::string text = Bytes({' ', 0, 'a', ' ', 'b', 0, ' '});
  EXPECT_EQ(TrimLeadingBlanks(text), Bytes({'a', ' ', 'b', 0, ' '}));
  EXPECT_EQ(TrimTrailingBlanks(text), Bytes({' ', 0, 'a', ' ', 'b'}));
  EXPECT_EQ(TrimLeadingBlanks("\tx"), "\tx");
  EXPECT_EQ(TrimTrailingBlanks(Bytes({0, ' ', 0})), "");
}

TEST(StripLeadingZeros, StopsAtTheLengthToKeep) {
  EXPECT_EQ(StripLeadingZeros("0012", 1), "12");
  EXPECT_EQ(StripLeadingZeros("0000", 1), "0");
  EXPECT_EQ(StripLeadingZeros("0000", 0), "");
  EXPECT_EQ(StripLeadingZeros("0000005", 4), "0005");
  EXPECT_EQ(StripLeadingZeros("05", 4), "05");
  EXPECT_EQ(StripLeadingZeros("1000", 1), "1000");
}

TEST(PackedToInteger, UnsignedReadsEveryByteAsTwoDigits) {
  EXPECT_EQ(PackedToInteger(Bytes({0x00, 0x12, 0x34}), false), 1234);
  EXPECT_EQ(PackedToInteger(Bytes({0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}), false), 99999999999999);
  EXPECT_EQ(PackedToInteger("", false), 0);
}

TEST(PackedToInteger, SignedTakesAnyNonZeroFirstByteAsMinus) {
  EXPECT_EQ(PackedToInteger(Bytes({0x00, 0x00, 0x05}), true), 5);
  EXPECT_EQ(PackedToInteger(Bytes({0x80, 0x00, 0x05}), true), -5);
  EXPECT_EQ(PackedToInteger(Bytes({0x01, 0x12, 0x50}), true), -1250);
  EXPECT_EQ(PackedToInteger(Bytes({0xFF, 0x00, 0x07}), true), -7);
  EXPECT_EQ(PackedToInteger(Bytes({0x80}), true), 0);
  // The sign byte itself may hold anything.
  EXPECT_EQ(PackedToInteger(Bytes({0xAB, 0x01}), true), -1);
}

TEST(PackedToInteger, HalfByteAboveNineFailsNamingTheDigits) {
  EXPECT_EQ(MessageRaisedBy<EConvertError>([] {
              PackedToInteger(Bytes({0x80, 0x1A, 0x00}), true);
            }),
            "'1A00' is not a valid integer value");
  EXPECT_THROW(PackedToInteger(Bytes({0xF0}), false), EConvertError);
  EXPECT_THROW(PackedToInteger(Bytes({0x0F}), false), EConvertError);
}

TEST(PackedToInteger, ValueBeyond64BitsFailsInsteadOfWrapping) {
  EXPECT_EQ(PackedToInteger(Bytes({0x09, 0x22, 0x33, 0x72, 0x03, 0x68, 0x54, 0x77, 0x58, 0x07}), false),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_THROW(PackedToInteger(Bytes({0x09, 0x22, 0x33, 0x72, 0x03, 0x68, 0x54, 0x77, 0x58, 0x08}), false),
               EConvertError);
  EXPECT_THROW(PackedToInteger(std::string(11, '\x99'), false), EConvertError);
}

TEST(ThousandthsText, PadsToFourDigitsAndPlacesThePoint) {
  ExpectTexts(ThousandthsText, {{"5", "0.005"},
                                {"-5", "-0.005"},
                                {"1234567", "1234.567"},
                                {"0", "0.000"},
                                {"1500", "1.500"},
                                {"-1234", "-1.234"}});
}

TEST(RegisterCharset, ConvertsExactlyTheFortyFourLetters) {
  const auto letters1250 = Cp(LettersUtf8);
  ASSERT_EQ(letters1250.size(), 44u);
  EXPECT_EQ(ToRegisterCharset(letters1250), LettersCp852);
  EXPECT_EQ(FromRegisterCharset(LettersCp852), letters1250);
  const auto sentence = Cp("Příliš žluťoučký kůň úpěl ďábelské ódy");
  EXPECT_EQ(FromRegisterCharset(ToRegisterCharset(sentence)), sentence);
  EXPECT_EQ(ToRegisterCharset(Cp("Kůň")), Bytes({'K', 0x85, 0xE5}));
}

// A code page 852 file read in and sent back must reach the register as it
// was, box-drawing characters and "°" included (they share codes with 1250
// letters), and a register's text saved as 852 likewise.
TEST(RegisterCharset, EachMapUndoesTheOtherAndSparesBytesNoLetterUses) {
  const auto letters1250 = Cp(LettersUtf8);
  std::set<char> seen;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(ToRegisterCharset(FromRegisterCharset(one)), one) << byte;
    EXPECT_EQ(FromRegisterCharset(ToRegisterCharset(one)), one) << byte;
    seen.insert(ToRegisterCharset(one)[0]);
    const bool letterCode = letters1250.find(one) != std::string::npos || LettersCp852.find(one) != std::string::npos;
    if (!letterCode) {
      EXPECT_EQ(ToRegisterCharset(one), one) << byte;
      EXPECT_EQ(FromRegisterCharset(one), one) << byte;
    }
  }
  EXPECT_EQ(seen.size(), 256u);
  const auto frame852 = Bytes({0xC9, 0xCD, 0xCD, 0xBB, ' ', '2', '5', 0xF8, 'C', ' ', 0xC4, 0xC4});
  EXPECT_EQ(ToRegisterCharset(FromRegisterCharset(frame852)), frame852);
  // "ą" and "ł" are Central European letters outside the 44: they pass as they are.
  EXPECT_EQ(ToRegisterCharset(Cp("ął")), Cp("ął"));
}

TEST(EuroToText, SpellsOutEveryEuroSign) {
  EXPECT_EQ(EuroToText(Bytes({'5', 0x80, ' ', 0x80})), "5EUR EUR");
  EXPECT_EQ(EuroToText("Kc"), "Kc");
}

TEST(ReplaceByte, ReplacesEveryOccurrence) {
  EXPECT_EQ(ReplaceByte("a^b^^", '^', ' '), "a b  ");
  EXPECT_EQ(ReplaceByte("", '^', ' '), "");
}

TEST(FitText, CutsOrPadsToExactlyTheWidth) {
  EXPECT_EQ(FitText("ABCDEF", 4), "ABCD");
  EXPECT_EQ(FitText("AB", 4), "AB  ");
  EXPECT_EQ(FitText("", 0), "");
}

TEST(ZeroPadNumber, PadsDigitsOnly) {
  EXPECT_EQ(ZeroPadNumber(static_cast<std::uint16_t>(7), 3), "007");
  EXPECT_EQ(ZeroPadNumber(static_cast<std::uint16_t>(65535), 3), "65535");
  EXPECT_EQ(ZeroPadNumber(42, 5), "00042");
  EXPECT_EQ(ZeroPadNumber(-5, 3), "-005");
  EXPECT_EQ(ZeroPadNumber(std::numeric_limits<std::int32_t>::min(), 1), "-2147483648");
}

TEST(CellPassesInputCheck, FollowsTheColumnType) {
  EXPECT_TRUE(CellPassesInputCheck(0, "0123"));
  EXPECT_FALSE(CellPassesInputCheck(0, "12a"));
  EXPECT_FALSE(CellPassesInputCheck(0, "-1"));
  EXPECT_TRUE(CellPassesInputCheck(1, "65535"));
  EXPECT_FALSE(CellPassesInputCheck(1, ""));
  EXPECT_FALSE(CellPassesInputCheck(1, "1 "));
  EXPECT_TRUE(CellPassesInputCheck(2, "1.234"));
  EXPECT_TRUE(CellPassesInputCheck(2, "-12.500"));
  EXPECT_TRUE(CellPassesInputCheck(2, "0.000"));
  EXPECT_FALSE(CellPassesInputCheck(2, ".123"));
  EXPECT_FALSE(CellPassesInputCheck(2, "12.50"));
  EXPECT_FALSE(CellPassesInputCheck(2, "1,234"));
  EXPECT_FALSE(CellPassesInputCheck(2, "1-2.345"));
  EXPECT_FALSE(CellPassesInputCheck(2, "12345"));
  EXPECT_TRUE(CellPassesInputCheck(3, Cp("cokoli | ^")));
  EXPECT_TRUE(CellPassesInputCheck(4, "0aFf"));
  EXPECT_FALSE(CellPassesInputCheck(4, "0G"));
  EXPECT_FALSE(CellPassesInputCheck(5, "0"));
}

// Only a number with one decimal separator is rewritten; anything else is
// left for the column's type check to refuse.
TEST(PriceToRegisterForm, KeepsExactlyTwoDecimalsForPackedColumns) {
  const struct {
    std::uint8_t type;
    const char* cell;
    const char* result;
  } cases[] = {
      {0, "12.5", "1250"},         {0, "12,345", "1234"}, {0, "12.", "1200"},    {0, "12.05", "1205"},
      {0, "1234", "1234"},         {0, ".5", "50"},       {0, "-12.5", "-1250"}, {0, "1.299,00", "1.299,00"},
      {0, "12.34abc", "12.34abc"}, {0, "1..5", "1..5"},   {0, ".", "."},         {0, "12.5 ", "12.5 "},
      {2, "1.500", "1.500"},       {3, "1,5", "1,5"},
  };
  for (const auto& c : cases) EXPECT_EQ(PriceToRegisterForm(c.type, c.cell), c.result) << c.cell;
}

TEST(CheckBytes, MatchTheLinkExamples) {
  auto command = Bytes({0xE9, 0x00, 0x03});
  AddCheckBytes(command);
  EXPECT_EQ(command, Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
  auto end = Bytes({0xFF, 0xFF});
  AddCheckBytes(end);
  EXPECT_EQ(end, Bytes({0xFF, 0xFF, 0x00, 0x02}));
  EXPECT_EQ(CheckXor(""), 0);
  EXPECT_EQ(CheckNeg(""), 0);
}

TEST(CheckBytes, VerifyRejectsAnyDamagedByte) {
  auto frame = Bytes({0xD7, 0x06});
  AddCheckBytes(frame);
  EXPECT_EQ(frame, Bytes({0xD7, 0x06, 0xD1, 0x52}));
  EXPECT_TRUE(VerifyCheckBytes(frame));
  for (std::size_t i = 0; i < frame.size(); ++i) {
    auto damaged = frame;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x10);
    EXPECT_FALSE(VerifyCheckBytes(damaged)) << i;
  }
  EXPECT_FALSE(VerifyCheckBytes(Bytes({0x00})));
  EXPECT_TRUE(VerifyCheckBytes(Bytes({0x00, 0x00})));
}

}  // namespace
