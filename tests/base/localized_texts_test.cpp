// Text lookup by number through the language base, against the compiled table.
#include "base/localized_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "base/resource_table.h"
#include "base/run_context.h"
#include "test_support.h"

namespace {

// Each test runs in a run of its own, whose language it sets.
class LocalizedTexts : public ::testing::Test {
protected:
  void SetLanguageBase(int base) { run_.SetLanguageBase(base); }

private:
  TCommunicationLog log_;
  TRunContext run_{{}, log_};
};

struct ErrorText {
  int number;
  int textId;
  const char* utf8;
};

// The numbered failures and the texts their messages carry.
constexpr ErrorText ErrorTexts[] = {
    {1, 351, "nedefinován parametr činnosti"},
    {2, 352, "nedefinován COM pokladny"},
    {3, 353, "nedefinována přenosová rychlost"},
    {4, 354, "pokladna bez odpovědi"},
    {5, 355, "chyba při přenostu dat po lince"},
    {6, 356, "chyba při otevření vstupního souboru"},
    {7, 357, "chyba při zápisu do výstupního souboru"},
    {8, 358, "vstupní soubor nesetříděn"},
    {9, 359, "chyba při navazování spojení"},
    {11, 361, "nesprávná odpověď na ENQ"},
    {12, 362, "nesprávná odpověď na DTX"},
    {13, 363, "nesprávná odpověď na DRQ"},
    {14, 364, "na data není odpověď ACK"},
    {16, 366, "nesouhlasí kontrolní součet"},
    {17, 367, "pokladna není připravena komunikovat"},
    {18, 368, "nesprávně definovaný timeout"},
    {19, 369, "nesprávně definovaný ID NET pokladny"},
    {21, 371, "nesouhlasí model pokladny"},
    {22, 875, "chybný formát vstupního souboru"},
    {23, 597, "nesprávně definovaný typ pokladny"},
    {25, 598, "nesprávně definované kódování"},
    {26, 422, "V pokladně není místo - OVERFLOW"},
    {27, 438, "Reset nebyl proveden, pokladna zaneprázdněna"},
    {28, 439, "Chyba ve služební informaci"},
    {29, 440, "Pokladna číslo \"%s\" je v síti IRC zaneprázdněna"},
    {30, 441, "Komunikace v IRC neodstartována"},
    {31, 442, "Síť IRC je bez odpovědi - síť pravděpodobně rozpojena"},
    {32, 596, "nesprávně definovaný formát"},
    {33, 480, "Modem nekomunikuje"},
    {34, 475, "Linka je obsazena."},
    {35, 599, "Spojení nenávázáno"},
    {36, 600, "Jiná chyba modemu:"},
    {38, 606, "nesprávně definovaný řádek žurnálu"},
    {39, 607, "chybná odpověď PCS"},
    {40, 608, "chyba v komunikaci s PCS"},
    {41, 609, "chybná velikost souboru k zápisu do PCS"},
    {42, 610, "není vložena karta do PCS"},
    {43, 611, "nesouhlasí ověřovací čtení zapsaných dat do PCS"},
    {44, 612, "chyba komunikace ve stavu PCS"},
    {45, 613, "chybný příkaz nebo chyba ACK ve stavu PCS"},
    {46, 614, "chybné vytažení karty"},
    {47, 651, "nedefinována IP adresa pokladny"},
    {48, 652, "nedefinován IP port pokladny"},
    {56, 1002, "Sort není přípustný"},
    {57, 1029, "karta je vložena chybně"},
    {58, 1051, "Klíč není v poloze OFF"},
};

TEST_F(LocalizedTexts, StartsWithTheCzechBase) { EXPECT_EQ(LanguageBase(), CzechLanguageBase); }

TEST_F(LocalizedTexts, CzechBaseReadsTheCzechBlockInCodePage1250) {
  SetLanguageBase(CzechLanguageBase);
  EXPECT_EQ(LoadText(351), Cp("nedefinován parametr činnosti"));
  EXPECT_EQ(LoadText(156), "K\xE8");  // the raw code page 1250 bytes of "Kč"
  EXPECT_EQ(LoadText(351), LoadResourceString(12351));
}

TEST_F(LocalizedTexts, EveryErrorTextIsPresentAndExact) {
  SetLanguageBase(CzechLanguageBase);
  for (const auto& error : ErrorTexts) {
    EXPECT_EQ(LoadText(error.textId), Cp(error.utf8)) << "error " << error.number;
  }
}

TEST_F(LocalizedTexts, TextsKeepTrailingColonsAndInnerBlanks) {
  SetLanguageBase(CzechLanguageBase);
  EXPECT_EQ(LoadText(255), Cp("ID kód pokladny (IRC):"));
  EXPECT_EQ(LoadText(870), "DTX Z PC    SOUBOR");
  EXPECT_EQ(LoadText(600).back(), ':');
  EXPECT_EQ(LoadText(318), Cp("načítá se tabulka \"%s\"..."));
}

TEST_F(LocalizedTexts, EnglishAndGermanTakeTheCurrencySignFromTheCzechBlock) {
  for (const int base : {EnglishLanguageBase, GermanLanguageBase}) {
    SetLanguageBase(base);
    EXPECT_EQ(LoadText(156), Cp("Kč")) << base;
    EXPECT_EQ(LoadResourceString(base + 156), "") << base;
  }
}

TEST_F(LocalizedTexts, OnlyTheCurrencySignFallsBackToCzech) {
  SetLanguageBase(EnglishLanguageBase);
  EXPECT_EQ(LoadText(351), "");
  EXPECT_EQ(LoadText(285), "SALE");
  EXPECT_EQ(LoadText(626), "FREE");
  SetLanguageBase(GermanLanguageBase);
  EXPECT_EQ(LoadText(285), "");
}

TEST_F(LocalizedTexts, SlovakReadsItsOwnCurrencySign) {
  SetLanguageBase(SlovakLanguageBase);
  EXPECT_EQ(LoadText(156), "Sk");
  EXPECT_EQ(LoadText(351), "");  // no fallback for other numbers
}

TEST_F(LocalizedTexts, MissingIdentifiersGiveTheEmptyText) {
  SetLanguageBase(CzechLanguageBase);
  EXPECT_EQ(LoadText(360), "");  // error number 10 has no text
  EXPECT_EQ(LoadText(1999), "");
  EXPECT_EQ(LoadText(-12000), "");  // absolute 0
  EXPECT_EQ(LoadResourceString(-1), "");
  EXPECT_EQ(LoadResourceString(65535), "");
}

TEST_F(LocalizedTexts, IdentifiersBeyondSixteenBitsDoNotWrapAround) {
  EXPECT_EQ(LoadResourceString(12351 + 65536), "");
  SetLanguageBase(CzechLanguageBase + 65536);
  EXPECT_EQ(LoadText(351), "");
}

constexpr int DescriptionBlocks[] = {2000, CzechLanguageBase + 2000, EnglishLanguageBase + 2000,
                                     SlovakLanguageBase + 2000, GermanLanguageBase + 2000};

TEST_F(LocalizedTexts, EveryDescriptionBlockCountsItsLines) {
  for (const int first : DescriptionBlocks) {
    const std::string count = LoadResourceString(first);
    ASSERT_FALSE(count.empty()) << first;
    ASSERT_EQ(count.find_first_not_of("0123456789"), std::string::npos) << first << ": " << count;
    const int lines = std::stoi(count);
    EXPECT_EQ(LoadResourceString(first + lines + 1), "") << first;  // nothing past the block
  }
}

TEST_F(LocalizedTexts, LanguageBlocksNotYetWrittenReadZero) {
  for (const int first : {EnglishLanguageBase + 2000, SlovakLanguageBase + 2000, GermanLanguageBase + 2000}) {
    EXPECT_EQ(LoadResourceString(first), "0") << first;
    EXPECT_EQ(LoadResourceString(first + 1), "") << first;
  }
}

TEST(ResourceTable, EntriesAreSortedUniqueAndConsistent) {
  const auto table = ResourceTable();
  ASSERT_FALSE(table.empty());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string_view text = ResourceText(table[i]);
    EXPECT_EQ(text.size(), table[i].length) << table[i].id;
    EXPECT_EQ(text.find('\0'), std::string_view::npos) << table[i].id;
    if (i > 0) {
      EXPECT_LT(table[i - 1].id, table[i].id);
      // Each text has its own place: no entry reads into its neighbour's.
      EXPECT_LE(table[i - 1].offset + table[i - 1].length, table[i].offset) << table[i].id;
    }
  }
}

}  // namespace
