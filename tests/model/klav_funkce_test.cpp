#include "model/klav_funkce.h"

#include <gtest/gtest.h>

#include "model/convert_error.h"
#include "test_support.h"

namespace {

TEST(TPopisKlavFunkce, ReadsEveryFieldOfADescriptionRow) {
  const auto entry = TPopisKlavFunkce::FromDescription(Cp("64;Změna|Hledat;Změna - Hledat PLU;Ž"));
  EXPECT_EQ(entry.Code, 64);
  EXPECT_EQ(entry.KeyLabel, Cp("Změna|Hledat"));
  EXPECT_EQ(entry.LongName, Cp("Změna - Hledat PLU"));
  EXPECT_EQ(entry.Colour, KeyColour::Yellow);
  EXPECT_FALSE(entry.PFlag);
}

TEST(TPopisKlavFunkce, FifthFieldPSetsTheFlagAndNothingElseDoes) {
  EXPECT_TRUE(TPopisKlavFunkce::FromDescription(Cp("0;0;Num. klávesa 0;Š;P")).PFlag);
  EXPECT_TRUE(TPopisKlavFunkce::FromDescription(Cp("0;0;Num. klávesa 0;Š;P;")).PFlag);
  EXPECT_FALSE(TPopisKlavFunkce::FromDescription(Cp("0;0;Num;Š;p")).PFlag);
  EXPECT_FALSE(TPopisKlavFunkce::FromDescription(Cp("0;0;Num;Š;PP")).PFlag);
  EXPECT_FALSE(TPopisKlavFunkce::FromDescription(Cp("0;0;Num;Š;;P")).PFlag);
}

TEST(TPopisKlavFunkce, KindIsTheFirstCharacterOfTheFifthField) {
  EXPECT_EQ(TPopisKlavFunkce::FromDescription("0;0;Num;M;P").Kind, 'P');
  EXPECT_EQ(TPopisKlavFunkce::FromDescription("30;KARTA;Karta;Z;O").Kind, 'O');
  EXPECT_EQ(TPopisKlavFunkce::FromDescription("72;EUR;Euro;Z;E").Kind, 'E');
  EXPECT_EQ(TPopisKlavFunkce::FromDescription("72;EUR;Euro;Z").Kind, '\0');
}

TEST(TPopisKlavFunkce, ColourLettersAreCodePage1250Bytes) {
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter(Cp("Ž")), KeyColour::Yellow);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter("Z"), KeyColour::Green);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter("M"), KeyColour::Blue);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter(Cp("Č")), KeyColour::Red);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter(Cp("Š")), KeyColour::Grey);
  // The UTF-8 spelling of the same letters is another text: white.
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter("\xC5\xBD"), KeyColour::White);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter(""), KeyColour::White);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter("ZM"), KeyColour::White);
  EXPECT_EQ(TPopisKlavFunkce::ColourOfLetter("z"), KeyColour::White);
}

TEST(TPopisKlavFunkce, MissingFieldsStayEmptyAndWhite) {
  const auto entry = TPopisKlavFunkce::FromDescription("75");
  EXPECT_EQ(entry.Code, 75);
  EXPECT_EQ(entry.KeyLabel, "");
  EXPECT_EQ(entry.LongName, "");
  EXPECT_EQ(entry.Colour, KeyColour::White);
}

TEST(TPopisKlavFunkce, CodeThatIsNoNumberIsAConversionError) {
  EXPECT_EQ(MessageRaisedBy<EConvertError>([] { TPopisKlavFunkce::FromDescription("x1;A;B;Z"); }),
            "'x1' is not a valid integer value");
  EXPECT_THROW(TPopisKlavFunkce::FromDescription(";A;B;Z"), EConvertError);
}

TEST(TKlavFunkce, StartsWithTheDefaultLimitsAndGroupTitles) {
  const TKlavFunkce keys;
  EXPECT_TRUE(keys.Functions.empty());
  EXPECT_TRUE(keys.KitchenTexts.empty());
  EXPECT_EQ(keys.Limits, (std::array<int, 6>{9999, 99, 30, 30, 99, 99}));
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Func], "FUNC");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Dept], "DEPT");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Cook], "COOK");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Tend], "TEND");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::GrPlu], "GR.PLU");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Zurnal], "ZURNAL");
}

class KeyFunctionList : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* row :
         {"14;-%;Sleva -%;Z", "15;+%;Prirazka +%;Z", "56;ZPRAVA;Tisk zpravy;M", "14;-%2;Druha sleva;Z"}) {
      keys.AddDescription(row);
    }
  }
  TKlavFunkce keys;
};

TEST_F(KeyFunctionList, KeepsDescriptionOrderAndFindsTheFirstOfACode) {
  ASSERT_EQ(keys.Functions.size(), 4u);
  EXPECT_EQ(keys.Functions[2].Code, 56);
  ASSERT_NE(keys.Find(14), nullptr);
  EXPECT_EQ(keys.Find(14)->KeyLabel, "-%");
  EXPECT_EQ(keys.Find(99), nullptr);
}

TEST_F(KeyFunctionList, RelabelChangesEveryFunctionOfTheCodeOnly) {
  keys.Relabel(14, "-%|VKLAD", "Sleva -%, Vklad");
  EXPECT_EQ(keys.Functions[0].KeyLabel, "-%|VKLAD");
  EXPECT_EQ(keys.Functions[3].LongName, "Sleva -%, Vklad");
  EXPECT_EQ(keys.Functions[1].KeyLabel, "+%");
  EXPECT_EQ(keys.Functions[0].Colour, KeyColour::Green);
}

TEST_F(KeyFunctionList, RemoveDropsEveryFunctionOfTheCodeAndKeepsTheOrder) {
  keys.Remove(14);
  ASSERT_EQ(keys.Functions.size(), 2u);
  EXPECT_EQ(keys.Functions[0].Code, 15);
  EXPECT_EQ(keys.Functions[1].Code, 56);
  keys.Remove(77);
  EXPECT_EQ(keys.Functions.size(), 2u);
}

}  // namespace
