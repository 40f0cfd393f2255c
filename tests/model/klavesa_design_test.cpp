#include "model/klavesa_design.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

constexpr const char* DepartmentKey = "2C04~DEP 4~2~0~1~~2~0~1~~2~0~1~N~N~0~12632256~0~1~";
constexpr const char* CashKey = "3101~POKLADNA~1~0~1~HOTOVOST~1~0~1~~2~0~1~N~N~0~65280~0~1~";

TEST(TKlavesaDesign, ReadsEveryFieldInLineOrder) {
  const auto key = TKlavesaDesign::FromLine("0180~A~1~2~3~B~4~5~6~C~7~8~9~A~N~11~255~4~12~");
  EXPECT_EQ(key.KeyCode, "0180");
  EXPECT_EQ(key.Labels, (std::array<std::string, 3>{"A", "B", "C"}));
  EXPECT_EQ(key.FirstValues, (std::array<int, 3>{1, 4, 7}));
  EXPECT_EQ(key.SecondValues, (std::array<int, 3>{2, 5, 8}));
  EXPECT_EQ(key.ThirdValues, (std::array<int, 3>{3, 6, 9}));
  EXPECT_TRUE(key.FlagA);
  EXPECT_FALSE(key.FlagB);
  EXPECT_EQ(key.ValueBeforeColour, 11);
  EXPECT_EQ(key.Colour, 255);
  EXPECT_EQ(key.PictureKind, 4);
  EXPECT_TRUE(key.PictureName.empty());
  EXPECT_EQ(key.ValueAfterPicture, 12);
  EXPECT_FALSE(key.HasPicture());
}

TEST(TKlavesaDesign, DefaultLinesWriteBackUnchanged) {
  for (const char* line : {DepartmentKey, CashKey}) {
    EXPECT_EQ(TKlavesaDesign::FromLine(line).ToLine(), line);
  }
  const auto cash = TKlavesaDesign::FromLine(CashKey);
  EXPECT_EQ(cash.Labels[1], "HOTOVOST");
  EXPECT_EQ(cash.Colour, 65280);
}

TEST(TKlavesaDesign, EmptyThirdLabelKeepsItsThreeValues) {
  const auto key = TKlavesaDesign::FromLine(DepartmentKey);
  EXPECT_EQ(key.Labels[1], "");
  EXPECT_EQ(key.Labels[2], "");
  EXPECT_EQ(key.FirstValues[2], 2);
  EXPECT_EQ(key.SecondValues[2], 0);
  EXPECT_EQ(key.ThirdValues[2], 1);
  EXPECT_EQ(key.Colour, 12632256);
}

TEST(TKlavesaDesign, NonNumbersReadAsZeroAndOnlyExactAIsSet) {
  const auto key = TKlavesaDesign::FromLine("01~L~x~ 7~-3~M~1a~+4~~N~5~6~7~a~AA~12x~oops~abc~8~");
  EXPECT_EQ(key.FirstValues[0], 0);
  EXPECT_EQ(key.SecondValues[0], 7);
  EXPECT_EQ(key.ThirdValues[0], -3);
  EXPECT_EQ(key.FirstValues[1], 0);
  EXPECT_EQ(key.SecondValues[1], 4);
  EXPECT_FALSE(key.FlagA);
  EXPECT_FALSE(key.FlagB);
  EXPECT_EQ(key.Colour, 0);
  EXPECT_EQ(key.PictureKind, 0);
  EXPECT_EQ(key.ToLine(), "01~L~0~7~-3~M~0~4~0~N~5~6~7~N~N~0~0~0~8~");
}

TEST(TKlavesaDesign, MissingFieldsStayEmptyAndTextAfterTheLastTildeIsIgnored) {
  const auto key = TKlavesaDesign::FromLine("2C04~DEP 4~2~0~1~~2~0~1~~2~0~1~N~N~0~12632256~0~1");
  EXPECT_EQ(key.ValueAfterPicture, 0);
  EXPECT_EQ(key.PictureKind, 0);

  const auto shortKey = TKlavesaDesign::FromLine("2C04~DEP 4~");
  EXPECT_EQ(shortKey.Labels[0], "DEP 4");
  EXPECT_EQ(shortKey.FirstValues[0], 0);
  EXPECT_EQ(shortKey.ToLine(), "2C04~DEP 4~0~0~0~~0~0~0~~0~0~0~N~N~0~0~0~0~");
}

TEST(TKlavesaDesign, FieldsBeyondTheTwentyFirstAreNotRead) {
  std::string line = DepartmentKey;
  line += "extra~more~";
  EXPECT_EQ(TKlavesaDesign::FromLine(line).ToLine(), DepartmentKey);
}

TEST(TKlavesaDesign, PictureFieldStartingWithNineCarriesTheName) {
  const auto key = TKlavesaDesign::FromLine("3101~~1~0~1~~1~0~1~~2~0~1~A~A~0~65280~9kava.bmp~1~");
  EXPECT_EQ(key.PictureKind, TKlavesaDesign::PictureKindImage);
  EXPECT_EQ(key.PictureName, "kava.bmp");
  EXPECT_TRUE(key.FlagA);
  EXPECT_TRUE(key.FlagB);
  EXPECT_EQ(key.ToLine(), "3101~~1~0~1~~1~0~1~~2~0~1~A~A~0~65280~9kava.bmp~1~");
}

TEST(TKlavesaDesign, PictureLoadsFromTheFolderPrefix) {
  TempDir dir;
  WriteFileBytes(dir / "kava.bmp", std::string("BM\0\x01", 4));
  const auto key =
      TKlavesaDesign::FromLine("3101~~1~0~1~~1~0~1~~2~0~1~N~N~0~0~9kava.bmp~1~", dir.path().string() + "/");
  ASSERT_TRUE(key.HasPicture());
  EXPECT_EQ(*key.Picture, std::string("BM\0\x01", 4));
}

TEST(TKlavesaDesign, MissingPictureLeavesTheKeyWithoutOne) {
  TempDir dir;
  const auto key =
      TKlavesaDesign::FromLine("3101~~1~0~1~~1~0~1~~2~0~1~N~N~0~0~9chybi.bmp~1~", dir.path().string() + "/");
  EXPECT_EQ(key.PictureName, "chybi.bmp");
  EXPECT_FALSE(key.HasPicture());
}

TEST(TKlavesaDesign, ReloadingDropsThePreviousPicture) {
  TempDir dir;
  WriteFileBytes(dir / "a.bmp", "A");
  const std::string folder = dir.path().string() + "/";
  auto key = TKlavesaDesign::FromLine("01~~0~0~0~~0~0~0~~0~0~0~N~N~0~0~9a.bmp~0~", folder);
  ASSERT_TRUE(key.HasPicture());
  key.ReadLine("01~~0~0~0~~0~0~0~~0~0~0~N~N~0~0~3~0~", folder);
  EXPECT_EQ(key.PictureKind, 3);
  EXPECT_TRUE(key.PictureName.empty());
  EXPECT_FALSE(key.HasPicture());
}

}  // namespace
