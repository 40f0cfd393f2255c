#include "base/kom_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <system_error>
#include <vector>

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

TEST(EKomError, CarriesItsNumberApartFromItsMessage) {
  const EKomError numbered(ErrorNumber::RegisterFull, "V pokladně");
  EXPECT_EQ(numbered.Number(), 26);
  EXPECT_EQ(std::string(numbered.what()), "#26:V pokladně");
  EXPECT_EQ(numbered.Text(), "V pokladně");
  const EKomError large(123, "text");
  EXPECT_EQ(large.Number(), 123);
  EXPECT_EQ(std::string(large.what()), "#123:text");
  EXPECT_EQ(large.Text(), "text");
  const EKomError unnumbered = EKomError::Unnumbered("#02:looks numbered");
  EXPECT_EQ(unnumbered.Number(), 10) << "the text is never read for a number";
  EXPECT_EQ(unnumbered.Text(), "#02:looks numbered");
}

TEST(FailureNumberOf, AnEKomErrorsOwnNumberElseTen) {
  EXPECT_EQ(FailureNumberOf(EKomError(57, "")), 57);
  EXPECT_EQ(FailureNumberOf(EKomError(0, "")), 0);
  EXPECT_EQ(FailureNumberOf(std::runtime_error("#02:nedefinován COM pokladny")), 10);
  EXPECT_EQ(FailureNumberOf(std::system_error(std::make_error_code(std::errc::no_such_file_or_directory))), 10);
}

// The number and the text of a command's outcome: the first failure stays,
// a number 0 counts as 10 with the text of 10, a failure known by its number
// alone has its number's text.
TEST(RecordFailure, KeepsTheFirstFailureWithItsText) {
  struct Case {
    const char* name;
    std::function<void(TFailureRecorder&)> record;
    int number;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"nothing", [](TFailureRecorder&) {}, 0, ""},
      {"numbered", [](TFailureRecorder& f) { RecordFailure(f, EKomError(ErrorNumber::UnsortedInput, "x")); }, 8, "x"},
      {"the first stays",
       [](TFailureRecorder& f) {
         RecordFailure(f, std::runtime_error("Prikaz prerusen"));
         RecordFailure(f, EKomError(4, "later"));
         RecordFailure(f, 26);
       },
       10, "Prikaz prerusen"},
      {"number 0", [](TFailureRecorder& f) { RecordFailure(f, EKomError(0, "#00 reads as success")); }, 10,
       ErrorText(10)},
      {"by number", [](TFailureRecorder& f) { RecordFailure(f, 26); }, 26, Cp("V pokladně není místo - OVERFLOW")},
      {"by number 0", [](TFailureRecorder& f) { RecordFailure(f, 0); }, 10, ErrorText(10)},
      {"unnumbered", [](TFailureRecorder& f) { RecordFailure(f, EKomError::Unnumbered("VYRNAK.EXE not found")); }, 10,
       "VYRNAK.EXE not found"},
  };
  for (const auto& c : cases) {
    TFailureRecorder failures;
    c.record(failures);
    EXPECT_EQ(failures.Number(), c.number) << c.name;
    EXPECT_EQ(failures.Failed(), c.number != 0) << c.name;
    EXPECT_EQ(failures.Text(), c.text) << c.name;
  }
}

}  // namespace
