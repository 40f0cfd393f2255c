#include "base/kom_error.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(FormatError, NumberInTwoDigitsThenText) {
  EXPECT_EQ(FormatError(2, ""), Cp("#02:nedefinován COM pokladny"));
  EXPECT_EQ(FormatError(48, ""), Cp("#48:nedefinován IP port pokladny"));
  EXPECT_EQ(FormatError(23), Cp("#23:nesprávně definovaný typ pokladny"));
}

TEST(FormatError, ArgumentFillsThePlaceholder) {
  EXPECT_EQ(FormatError(29, "5"), Cp("#29:Pokladna číslo \"5\" je v síti IRC zaneprázdněna"));
  EXPECT_EQ(FormatError(1, "ignored"), Cp("#01:nedefinován parametr činnosti"));
}

TEST(FormatError, EveryNumberUsesItsTextIdentifier) {
  // One number of each rule of the identifier table.
  EXPECT_EQ(FormatError(27), Cp("#27:Reset nebyl proveden, pokladna zaneprázdněna"));
  EXPECT_EQ(FormatError(31), Cp("#31:Síť IRC je bez odpovědi - síť pravděpodobně rozpojena"));
  EXPECT_EQ(FormatError(39), Cp("#39:chybná odpověď PCS"));
  EXPECT_EQ(FormatError(46), Cp("#46:chybné vytažení karty"));
  EXPECT_EQ(FormatError(47), Cp("#47:nedefinována IP adresa pokladny"));
  EXPECT_EQ(FormatError(22), Cp("#22:chybný formát vstupního souboru"));
  EXPECT_EQ(FormatError(26), Cp("#26:V pokladně není místo - OVERFLOW"));
  EXPECT_EQ(FormatError(36), Cp("#36:Jiná chyba modemu:"));
  EXPECT_EQ(FormatError(58), Cp("#58:Klíč není v poloze OFF"));
  EXPECT_EQ(FormatError(16), Cp("#16:nesouhlasí kontrolní součet"));
  EXPECT_EQ(FormatError(49), Cp("#49:Nepovolený reset"));
}

TEST(FormatError, RaiseErrorThrowsTheFormattedMessage) {
  try {
    RaiseError(ErrorNumber::UnsortedInput);
    FAIL() << "no exception";
  } catch (const EKomError& error) {
    EXPECT_EQ(std::string(error.what()), Cp("#08:vstupní soubor nesetříděn"));
  }
}

TEST(ErrorNumberOf, ReadsTheTwoDigitsAfterTheHash) {
  EXPECT_EQ(ErrorNumberOf("#02:nedefinován COM pokladny"), 2);
  EXPECT_EQ(ErrorNumberOf("#49:Nepovolený reset"), 49);
  EXPECT_EQ(ErrorNumberOf(FormatError(57)), 57);
}

TEST(ErrorNumberOf, AnythingElseCountsAsTen) {
  for (const char* message : {"No such file or directory", "", "#", "#4", "#ab:text", " #02:text"}) {
    EXPECT_EQ(ErrorNumberOf(message), 10) << '"' << message << '"';
  }
}

}  // namespace
