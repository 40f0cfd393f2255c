// The error table: every row complete, the lookups at their edges, and the
// messages made from it.
#include "base/error_table.h"

#include <gtest/gtest.h>

#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "test_support.h"

namespace {

TEST(ErrorTable, EveryRowHasACzechTextAMeaningAndAdvice) {
  for (const TErrorEntry& row : ErrorTable()) {
    const auto explanation = ExplainError(row.Number);
    ASSERT_TRUE(explanation) << row.Number;
    // Number 10 carries the text of the failure itself, never one of its own.
    EXPECT_EQ(explanation->Czech.empty(), row.Number == 10) << row.Number;
    EXPECT_GT(explanation->Meaning.size(), 10u) << row.Number;
    EXPECT_GT(explanation->Advice.size(), 5u) << row.Number;
    EXPECT_FALSE(row.TextId != 0 && !row.OwnText.empty()) << row.Number << ": one source of the Czech text";
  }
}

TEST(ErrorTable, LooksUpOnlyTheNumbersItHolds) {
  EXPECT_EQ(FindErrorEntry(1)->Number, 1);
  EXPECT_EQ(FindErrorEntry(58)->Number, 58);
  EXPECT_EQ(FindErrorEntry(60)->Number, 60);
  for (const int number : {-1, 0, 15, 20, 24, 37, 59, 99, 100}) {
    EXPECT_EQ(FindErrorEntry(number), nullptr) << number;
    EXPECT_FALSE(ExplainError(number)) << number;
  }
}

TEST(ErrorTable, CzechTextIsUtf8WhateverTheLanguageBase) {
  const RunInLanguage english(EnglishLanguageBase);
  EXPECT_EQ(ExplainError(29)->Czech, "Pokladna číslo \"%s\" je v síti IRC zaneprázdněna");
  EXPECT_EQ(ExplainError(53)->Czech, "nebyl nalezen soubor s uloženým žurnálem");
}

TEST(ErrorTable, MessagesOfTheOwnTextsStayAsTheyWere) {
  EXPECT_EQ(FormatError(49), Cp("#49:Nepovolený reset"));
  EXPECT_EQ(FormatError(50), Cp("#50:soubor pro uložení žurnálu není definován"));
  EXPECT_EQ(FormatError(51), Cp("#51:soubor pro uložení žurnálu již existuje"));
  EXPECT_EQ(FormatError(55), Cp("#55:neznámá chyba při přípravě tisku"));
  EXPECT_EQ(FormatError(ErrorNumber::RegisterDiffers), Cp("#60:registr se liší od souboru"));
  EXPECT_EQ(FormatError(10, "ignored"), "#10:");
  EXPECT_EQ(FormatError(15), "#15:");
}

}  // namespace
