#include "journal/journal_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/localized_texts.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

// A journal record built field by field: byte positions count from 1 and
// fields are given as the hexadecimal digits the record carries there.
class Rec {
public:
  explicit Rec(std::string_view code) : hex_(40, '0') { At(1, code); }
  Rec& At(int byte, std::string_view digits) {
    hex_.replace(static_cast<std::size_t>(2 * (byte - 1)), digits.size(), digits);
    return *this;
  }
  // Characters of text as the record's bytes.
  Rec& Chars(int byte, std::string_view text) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string digits;
    for (const char c : text) {
      digits += Digits[static_cast<unsigned char>(c) >> 4];
      digits += Digits[static_cast<unsigned char>(c) & 0x0F];
    }
    return At(byte, digits);
  }
  operator std::string() const { return hex_; }

private:
  std::string hex_;
};

std::string B(std::size_t count) { return std::string(count, ' '); }

// The stamp of byte 12 (and of byte 2 in the records that carry it there).
constexpr std::string_view Stamp = "261209001530";
const std::string Shown = "09.12.26 15:30";

struct DecodedCase {
  const char* What;
  std::string Record;
  bool NamesOn;
  std::string Main;
  std::string Second = {};
  std::string Third = {};
};

class JournalDecoderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ecr465_ = BuildCatalogue("ECR 465T/465TF").release();
    cm840_ = BuildCatalogue("CM-840/842").release();
    other_ = BuildCatalogue("ECR 650F").release();
    FillNameTables(*ecr465_);
    FillNameTables(*cm840_);
  }
  static void TearDownTestSuite() {
    delete ecr465_;
    delete cm840_;
    delete other_;
  }

  static void FillNameTables(TSoubory& catalogue) {
    AddRows(catalogue.JournalDepartments(), {"1|Pečivo|0|0|2|1|0|0|00|0|", "2|Mléčné výrobky|0|0|2|1|0|0|00|0|"});
    AddRows(catalogue.JournalOperators(), {"1|Novák Jan|000|0|0|1|00|00|", "2|Vedoucí směny Dana|000|0|0|1|00|00|"});
    AddRows(catalogue.JournalPlu(), {"1|8590000000015|Rohlík|100|0|1|2|", "2|8590000000022|Chléb|100|0|1|2|",
                                     "3|8590000000015|Rohlík^tukový|100|0|1|2|"});
    AddRows(catalogue.JournalLongNames(), {"1|8590000000015|Rohlík tukový 43 g|"});
    AddRows(catalogue.JournalLinkPlu(), {"1|Obal láhev|0|0|0|0|0|0|"});
    AddRows(catalogue.JournalPayments(), {"1|HOTOVOST|0|00|0|", "2|STRAVENKY SODEXO X|0|00|0|"});
    AddRows(catalogue.JournalCurrencies(), {"1|EURO|00|2550|"});
    AddRows(catalogue.JournalVat(), {"1|2100|1|", "2|500|1|", "4|FFFF|1|"});
  }

  // Appends rows written in UTF-8, converted to the register's code page.
  static void AddRows(TSoubor& table, std::initializer_list<std::string_view> rows) {
    for (const std::string_view row : rows) table.AddRow(-1, Cp(row));
  }

  static void Check(const TSoubory& catalogue, const std::vector<DecodedCase>& cases) {
    const TJournalDecoder decoder(catalogue);
    for (const auto& c : cases) {
      const JournalLines lines = decoder.Decode(c.Record, c.NamesOn);
      EXPECT_EQ(lines.Main, c.Main) << c.What;
      EXPECT_EQ(lines.Second, c.Second) << c.What;
      EXPECT_EQ(lines.Third, c.Third) << c.What;
    }
  }

  static TSoubory* ecr465_;
  static TSoubory* cm840_;
  static TSoubory* other_;
};

TSoubory* JournalDecoderTest::ecr465_ = nullptr;
TSoubory* JournalDecoderTest::cm840_ = nullptr;
TSoubory* JournalDecoderTest::other_ = nullptr;

// Amounts: sign byte, five bytes of whole units, one byte of hundredths.
constexpr std::string_view A12_50 = "00000000001250";
constexpr std::string_view Minus12_50 = "01000000001250";
constexpr std::string_view Zero = "00000000000000";
constexpr std::string_view Free = "E0000000000000";
constexpr std::string_view A1234_50 = "00000000123450";

// A VAT record of 1234.50 with 12.50 of tax in VAT group `group`, and its
// line with the group's label and rate.
std::string VatRecord(std::string_view group) { return Rec("10").At(2, A1234_50).At(9, A12_50).At(16, group); }
std::string VatLine(const std::string& labelAndRate) { return B(7) + labelAndRate + "      1234.50" + "     12.50"; }

TEST_F(JournalDecoderTest, RegisterEventsLineUpWithTheirStamps) {
  Check(*ecr465_, {
                      {"47 terminal on", Rec("47").At(2, "03").At(5, "00001234").At(12, Stamp), false,
                       "T ON  "
                       " 03" +
                           B(5) + "00001234" + B(12) + Shown},
                      {"48 terminal off", Rec("48").At(2, "03").At(5, "00001234").At(12, Stamp), false,
                       "T OFF "
                       " 03" +
                           B(5) + "00001234" + B(12) + Shown},
                      {"40 sale", Rec("40").At(2, "07").At(5, "00000042"), false,
                       "PRODEJ       "
                       " 00000042" +
                           B(8) + " 07"},
                      {"43 receipt void", Rec("43").At(2, "07").At(5, "00000042"), false,
                       Cp("STORNO ÚČET  ") + " 00000042" + B(8) + " 07"},
                      {"4F file from the PC", Rec("4F").At(3, "05").At(12, Stamp), false,
                       "DTX Z PC    SOUBOR 05" + B(12) + " " + Shown},
                      {"4F PLU rewrite", Rec("4F").At(12, Stamp), false, Cp("PŘEPIS PLU Z PC") + B(18) + " " + Shown},
                      {"4A no sale", Rec("4A").At(2, "07").At(5, "00000042").At(12, Stamp), false,
                       "BEZPRODEJ 07" + B(12) + " 00000042 " + Shown},
                      {"4A network error", Rec("4A").At(2, "07").At(3, "0100").At(5, "00000042").At(12, Stamp), false,
                       "IRC_ERROR 07" + B(12) + " " + B(9) + Shown},
                      {"44 copy", Rec("44").At(2, "03").At(5, "00000042").At(12, Stamp), false,
                       Cp("KÚ   ") + " 03" + B(5) + "00000042" + B(12) + Shown},
                      {"45 cash in", Rec("45").At(2, "03").At(5, "00000042").At(12, A1234_50), false,
                       "VKLAD "
                       " 03" +
                           B(5) + "00000042" + B(10) + "        1234.50"},
                      {"46 cash out, negative", Rec("46").At(2, "03").At(5, "00000042").At(12, Minus12_50), false,
                       Cp("VÝBĚR ") + " 03" + B(5) + "00000042" + B(10) + "         -12.50"},
                      {"4B warm reset", Rec("4B").At(12, Stamp), false, "WARM RESET" + B(23) + " " + Shown},
                      {"4C journal check", Rec("4C").At(3, "07").At(12, Stamp), false,
                       "WARM RESETJRNL CHECK" + B(11) + "07 " + Shown},
                      {"4D power fail", Rec("4D").At(12, Stamp), false, "POWER FAIL RETURN" + B(16) + " " + Shown},
                      {"4E RAM error", Rec("4E").At(3, "02").At(12, Stamp), false, "RAM ERROR" + B(22) + "02 " + Shown},
                      {"80 document", Rec("80").At(2, Stamp).At(8, "01").At(9, "05").At(10, "00002000"), false,
                       "DOKLAD 05" + B(6) + "    2.000" + B(10) + Shown},
                      {"80 without document", Rec("80").At(2, Stamp).At(9, "05").At(10, "80000250"), false,
                       B(7) + "05" + B(6) + "   -0.250" + B(10) + Shown},
                      {"81 track", Rec("81").At(2, Stamp).At(8, "01").At(9, "23").At(14, A12_50), false,
                       Cp("ÚČET#  ") + " 123" + "          12.50" + B(8) + Shown},
                      {"2B card id", Rec("2B").Chars(2, "KARTA 12345678901"), false, "ID: KARTA 12345678901"},
                      {"unknown code", Rec("FF"), false, "??? (FF)"},
                      {"code 00", Rec("00"), false, "??? (00)"},
                  });
}

TEST_F(JournalDecoderTest, ReceiptNumberAndReportLines) {
  Check(*ecr465_,
        {
            {"41 number beyond 16 bits", Rec("41").At(2, "02").At(3, "0123").At(5, "00070000").At(14, A12_50), false,
             Cp("ÚČET#  ") + " 123/00070001" + "      12.50" + " 02"},
            {"41 largest number", Rec("41").At(2, "02").At(3, "0123").At(5, "99999999").At(14, A12_50), false,
             Cp("ÚČET#  ") + " 123/100000000" + "      12.50" + " 02"},
            {"41 hex letter in the number", Rec("41").At(2, "02").At(3, "0123").At(5, "0000A000").At(14, Free), false,
             Cp("ÚČET#  ") + " 123/00000001" + "     ZDARMA" + " 02"},
            {"41 operator name cut to 17", Rec("41").At(2, "02").At(3, "0123").At(5, "00000009").At(14, Zero), true,
             Cp("ÚČET#  ") + " 123/00000010" + "       0.00" + Cp(" Vedoucí směny Dan")},
            {"42 X report", Rec("42").At(2, "01").At(3, "0000").At(12, Stamp).At(18, "000123"), false,
             "RX     01" + B(5) + "000123" + B(14) + Shown},
            {"42 Z report", Rec("42").At(2, "01").At(3, "FFFF").At(12, Stamp).At(18, "000123"), false,
             "RZ     01" + B(5) + "000123" + B(14) + Shown},
            {"42 other report", Rec("42").At(2, "01").At(3, "1234").At(12, Stamp).At(18, "000123"), false,
             "R" + B(6) + "01" + B(5) + "000123" + B(14) + Shown},
            {"42 report total", Rec("42").At(2, "FF").At(3, A1234_50).At(10, Minus12_50), false,
             "SUMA      "
             "       1234.50"
             " "
             "        -12.50"},
        });
}

TEST_F(JournalDecoderTest, SaleLinesWithLabelsAndNames) {
  const std::string plu = "00008590000000";
  Check(*ecr465_,
        {
            {"01 department", Rec("01").At(2, A12_50).At(9, "05").At(10, "02"), false,
             B(4) + "ZS 05" + B(13) + B(10) + "         12.50" + " B"},
            {"02 correction", Rec("02").At(2, Minus12_50).At(9, "05").At(10, "01"), false,
             " ZR "
             "ZS 05" +
                 B(13) + B(10) + "        -12.50" + " A"},
            {"03 void", Rec("03").At(2, Free).At(9, "05"), false,
             " ST "
             "ZS 05" +
                 B(13) + B(10) + "        ZDARMA" + "  "},
            {"04 refund", Rec("04").At(2, Zero).At(9, "05").At(10, "03"), false,
             " VR "
             "ZS 05" +
                 B(13) + B(10) + "          0.00" + " C"},
            {"01 department named", Rec("01").At(2, A12_50).At(9, "02").At(10, "02"), true,
             B(4) + Cp("Mléčné výrobky") + B(4) + B(10) + "         12.50" + " B"},
            {"01 department beyond the table", Rec("01").At(2, A12_50).At(9, "03").At(10, "02"), true,
             B(4) + "ZS 03" + B(13) + B(10) + "         12.50" + " B"},
            {"05 PLU", Rec("05").At(2, A12_50).At(9, "00001500").At(13, "00008590000015").At(20, "01"), false,
             B(4) + "PLU 00008590000015" + " " + "    1.500" + "         12.50" + " A"},
            {"06 PLU correction, negative quantity", Rec("06").At(2, Minus12_50).At(9, "80001500").At(13, plu), false,
             " ZR "
             "PLU 00008590000000"s +
                 " " + "   -1.500" + "        -12.50" + "  "},
            {"07 void", Rec("07").At(2, A12_50).At(9, "00001000").At(13, plu), false,
             " ST "
             "PLU 00008590000000"s +
                 " " + "    1.000" + "         12.50" + "  "},
            {"08 refund", Rec("08").At(2, A12_50).At(9, "12345678").At(13, plu), false,
             " VR "
             "PLU 00008590000000"s +
                 " " + "12345.678" + "         12.50" + "  "},
            {"05 PLU named, last match and long name",
             Rec("05").At(2, A12_50).At(9, "00001000").At(13, "08590000000015").At(20, "02"), true,
             B(4) + Cp("Rohlík tukový") + B(5) + " " + "    1.000" + "         12.50" + " B",
             B(4) + Cp("Rohlík tukový 43 g")},
            {"05 PLU named without long name", Rec("05").At(2, A12_50).At(9, "00001000").At(13, "08590000000022"), true,
             B(4) + Cp("Chléb") + B(13) + " " + "    1.000" + "         12.50" + "  "},
            {"05 PLU code unknown", Rec("05").At(2, A12_50).At(9, "00001000").At(13, "00000000000099"), true,
             B(4) + "PLU 00000000000099" + " " + "    1.000" + "         12.50" + "  "},
            {"09 link PLU", Rec("09").At(2, A12_50).At(16, "0C").At(20, "01"), false,
             B(6) + "Link PLU 12" + B(7) + B(8) + "         12.50" + " A"},
            {"0B link PLU named", Rec("0B").At(2, A12_50).At(16, "01").At(20, "01"), true,
             B(6) + Cp("Obal láhev") + B(8) + B(8) + "         12.50" + " A"},
            {"0C percent", Rec("0C").At(2, Minus12_50).At(9, "00010000").At(13, "001000"), false,
             "  "
             "-%/+% 001000" +
                 B(7) + " " + "   10" + "%    " + "        -12.50" + "  "},
            {"0C percent without rate", Rec("0C").At(2, Minus12_50).At(9, "00005000"), false,
             "  "
             "-%/+% " +
                 B(13) + " " + "    5" + "%    " + "        -12.50" + "  "},
            {"0D amount discount", Rec("0D").At(2, Minus12_50), false,
             "  "
             "(-)/(+)" +
                 B(12) + " " + B(10) + "        -12.50" + "  "},
            {"10 VAT unnamed rate", VatRecord("02"), false, VatLine("DPH B  ??%")},
            {"10 VAT rate below 10", VatRecord("02"), true, VatLine("DPH B   5%")},
            {"10 VAT rate", VatRecord("01"), true, VatLine("DPH A  21%")},
            {"10 VAT group without rate", VatRecord("03"), true, VatLine("DPH C  ??%")},
            {"10 VAT rate of unprogrammed memory", VatRecord("04"), true, VatLine("DPH D  ??%")},
        });
}

TEST_F(JournalDecoderTest, ReceiptEndsPaymentsAndCurrencies) {
  const std::string amount15 = "         -12.50";
  Check(*ecr465_,
        {
            {"20 total", Rec("20").At(2, Minus12_50), false, B(11) + "CELKEM" + B(12) + "  " + amount15 + "  "},
            {"20 total with insurance", Rec("20").At(2, Minus12_50).At(9, "0111").At(11, "8501011234"), false,
             B(11) + "CELKEM" + B(12) + "  " + amount15 + "  ",
             B(11) + Cp("POJIŠŤOVNA:") + "  111" + "    " + Cp("RČ:") + " 850101/1234"},
            {"20 total with a nine-digit number", Rec("20").At(2, Minus12_50).At(9, "2111").At(11, "850101123F"), false,
             B(11) + "CELKEM" + B(12) + "  " + amount15 + "  ",
             B(11) + Cp("POJIŠŤOVNA:") + " 2111" + "    " + Cp("RČ:") + " 850101/123"},
            {"20 total, insurance all F", Rec("20").At(2, Minus12_50).At(9, "FFFFFFFFFFFFFF"), false,
             B(11) + "CELKEM" + B(12) + "  " + amount15 + "  "},
            {"21 payment", Rec("21").At(2, Minus12_50).At(9, "01"), false,
             B(11) + "PLATBA 01" + B(9) + "  " + amount15 + "  "},
            {"21 payment with card number", Rec("21").At(2, Minus12_50).At(9, "01").At(10, "1234567890123456"), false,
             "PLATBA 01    "
             " 1234567890123456 " +
                 amount15 + "  "},
            {"21 payment named", Rec("21").At(2, Minus12_50).At(9, "02"), true,
             B(11) + "STRAVENKY SODEXO X" + "  " + amount15 + "  "},
            {"22 change", Rec("22").At(2, Minus12_50), false, B(11) + Cp("NAZPĚT") + B(12) + "  " + amount15 + "  "},
            {"25 subtotal", Rec("25").At(2, Minus12_50), false,
             B(11) + Cp("M-SOUČET") + B(10) + "  " + amount15 + "  "},
            {"23 currency", Rec("23").At(2, Minus12_50).At(11, "002550").At(14, "02"), false,
             Cp("MĚNA 02") + B(12) + B(4) + "  25.50" + " " + amount15 + "  "},
            {"23 currency named", Rec("23").At(2, Minus12_50).At(11, "002550").At(14, "01"), true,
             "EURO" + B(15) + B(4) + "  25.50" + " " + amount15 + "  "},
            {"24 currency payment", Rec("24").At(2, Minus12_50).At(9, "01").At(14, "02"), false,
             Cp("MĚNA 02") + B(4) + " " + "PLATBA 01" + B(9) + " " + amount15 + "  "},
            {"24 currency payment named", Rec("24").At(2, Minus12_50).At(9, "01").At(14, "01"), true,
             "EURO" + B(7) + " " + "HOTOVOST" + B(10) + " " + amount15 + "  "},
        });
}

TEST_F(JournalDecoderTest, OperatorAndCardLines) {
  Check(*ecr465_, {
                      {"26 for", Rec("26").At(2, "03").At(3, "04"), false, "03" + B(16) + " ZA 04"},
                      {"26 for named", Rec("26").At(2, "01").At(3, "02"), true,
                       Cp("Novák Jan") + B(9) + Cp(" ZA Vedoucí směny Dana")},
                      {"30 log in", Rec("30").At(2, Stamp).At(8, "03"), false, Cp("PŘIHLÁŠEN") + B(5) + " 03 " + Shown},
                      {"31 log out named", Rec("31").At(2, Stamp).At(8, "01"), true,
                       Cp("ODHLÁŠEN") + B(6) + Cp(" Novák Jan ") + Shown},
                      {"40 operator beyond the table", Rec("40").At(2, "09").At(5, "00000042"), true,
                       "PRODEJ       "
                       " 00000042" +
                           B(8) + " 09"},
                      {"49 card 1", Rec("49").At(2, "01").At(3, "123456").At(6, A12_50).At(13, Minus12_50), false,
                       "KARTA1 01 123456 "
                       "         12.50"
                       " "
                       "        -12.50"
                       "  "},
                      {"27 card 2", Rec("27").At(2, "01").At(3, "123456").At(6, Free).At(13, Zero), false,
                       "KARTA2 01 123456 "
                       "        ZDARMA"
                       " "
                       "          0.00"
                       "  "},
                      {"28 points", Rec("28").At(2, "01").At(3, "123456").At(6, Zero).At(13, Zero), false,
                       "BODY   01 123456 "
                       "          0.00"
                       " "
                       "          0.00"
                       "  "},
                      {"29 turnover", Rec("29").At(2, "01").At(3, "123456").At(6, Zero).At(13, Zero), false,
                       "OBRAT  01 123456 "
                       "          0.00"
                       " "
                       "          0.00"
                       "  "},
                  });
}

TEST_F(JournalDecoderTest, FunctionKeyLinesOfThe465Family) {
  const std::string payment = Rec("2C").At(2, "FC").At(3, "02");
  Check(
      *ecr465_,
      {
          {"head alone", Rec("2C").At(2, "FC").At(3, "02").At(4, "00"), false, "PLATBA 2" + B(40)},
          {"head and digits", Rec("2C").At(2, "FC").At(3, "02").At(4, "01").At(5, "1234"), false,
           "PLATBA 2 1234" + B(35)},
          {"amount", Rec("2C").At(2, "FC").At(3, "02").At(4, "02").At(5, A1234_50), false,
           "PLATBA 2 " + B(22) + "        1234.50  "},
          {"percent", Rec("2C").At(2, "FD").At(3, "01").At(4, "03").At(5, "15"), false, Cp("MĚNA 1 ") + B(38) + "15%"},
          {"two amounts", Rec("2C").At(2, "FE").At(3, "0A").At(4, "05").At(5, "0042").At(7, A12_50).At(14, Minus12_50),
           false, "ZS 10 " + B(38) + "0042", B(31) + "          12.50  ", B(31) + "         -12.50  "},
          {"one amount below", Rec("2C").At(2, "FE").At(3, "0A").At(4, "04").At(5, "0042").At(7, Free), false,
           "ZS 10 " + B(38) + "0042", B(40) + "ZDARMA  "},
          {"digits", Rec("2C").At(2, "08").At(4, "06").At(5, "0042"), false, "EKONOMI RAPPORT " + B(28) + "0042"},
          {"quantity and amount below",
           Rec("2C").At(2, "16").At(4, "07").At(5, "0003").At(7, "00002500").At(11, A12_50), false,
           "MOMS RAPPORT " + B(31) + "0003", "        2.500" + B(18) + "          12.50  "},
          {"wide amount", Rec("2C").At(2, "17").At(4, "08").At(5, "0000001234567890"), false,
           "DAGSINSLAG " + B(18) + "      12345678.90  "},
          {"other value kind keeps the head", Rec("2C").At(2, "18").At(4, "09"), false, Cp("BETALSÄTT ")},
          {"report headings", Rec("2C").At(2, "14").At(4, "00"), false, "VARUGRUPPS RAPPORT" + B(30)},
          {"Z1", Rec("2C").At(2, "9E").At(4, "00"), false, "Z1" + B(46)},
          {"Z2", Rec("2C").At(2, "9F").At(4, "00"), false, "Z2" + B(46)},
          {"key function by position", Rec("2C").At(2, "1A").At(4, "00"), false, Cp("M-SOUČ.") + B(41)},
          {"key label on two lines", Rec("2C").At(2, "19").At(4, "00"), false, "BEZ PRODEJE" + B(37)},
          {"no key function 0", Rec("2C").At(2, "00").At(4, "00"), false, "#24.00" + B(42)},
          {"key function beyond the list", Rec("2C").At(2, "C8").At(4, "00"), false, "#24.C8" + B(42)},
          {"payment named, cut to 10", Rec("2C").At(2, "FC").At(3, "02").At(4, "00"), true, "STRAVENKY " + B(38)},
          {"currency named", Rec("2C").At(2, "FD").At(3, "01").At(4, "00"), true, "EURO" + B(44)},
          {"department named", Rec("2C").At(2, "FE").At(3, "01").At(4, "00"), true, Cp("Pečivo") + B(42)},
      });
}

TEST_F(JournalDecoderTest, FunctionKeyLinesOfOtherModels) {
  auto& functions = cm840_->KeyFunctions.Functions;
  ASSERT_GE(functions.size(), 30U);
  functions[27].KeyLabel = "KARTA";
  functions[27].Kind = 'O';
  functions[28].KeyLabel = "\x80|PLATBA";
  functions[28].Kind = 'E';
  Check(*cm840_, {
                     {"payment", Rec("2C").At(2, "00").At(3, "02").At(4, "00"), false, "PLATBA 2" + B(40)},
                     {"currency", Rec("2C").At(2, "01").At(3, "02").At(4, "00"), false, Cp("MĚNA 2") + B(42)},
                     {"department", Rec("2C").At(2, "02").At(3, "02").At(4, "00"), true, Cp("Mléčné výrobky") + B(34)},
                     {"own key marked", Rec("2C").At(2, "1C").At(4, "00"), false, "|ART|" + B(43)},
                     {"euro key", Rec("2C").At(2, "1D").At(4, "00"), false, "EUR PLATBA" + B(38)},
                     {"beyond the list", Rec("2C").At(2, "FC").At(4, "00"), false, "#24.FC" + B(42)},
                 });
  Check(*other_, {
                     {"value alone", Rec("2C").At(2, "FC").At(3, "02").At(4, "02").At(5, A12_50), false,
                      B(31) + "          12.50  "},
                     {"digits alone", Rec("2C").At(2, "FC").At(4, "01").At(5, "0042"), false, "0042" + B(44)},
                 });
}

TEST_F(JournalDecoderTest, FailuresGiveAnErrorLine) {
  const std::string badDepartment = Rec("01").At(9, "0A");
  const std::string shortRecord = std::string(Rec("40")).substr(0, 38);
  Check(*ecr465_, {
                      {"department not decimal, names on", badDepartment, true,
                       "ERROR: '0A' is not a valid integer value (" + badDepartment + ")"},
                      {"department not decimal, names off", badDepartment, false,
                       B(4) + "ZS 0A" + B(13) + B(10) + "          0.00" + "  "},
                      {"VAT group not decimal", Rec("01").At(10, "1F"), false,
                       "ERROR: '1F' is not a valid integer value (" + std::string(Rec("01").At(10, "1F")) + ")"},
                      {"short record", shortRecord, false,
                       "ERROR: journal record of 38 characters, 40 expected (" + shortRecord + ")"},
                  });
}

TEST_F(JournalDecoderTest, PluNamesFollowTheTableAsItStands) {
  auto catalogue = BuildCatalogue("ECR 465T/465TF");
  TSoubor& plu = catalogue->JournalPlu();
  plu.AddRow(-1, "1|8590000000015|Rohlik|100|0|1|2|");
  const TJournalDecoder decoder(*catalogue);
  const std::string first = Rec("05").At(13, "08590000000015");
  const std::string second = Rec("05").At(13, "08590000000022");
  EXPECT_EQ(decoder.Decode(first, true).Main.substr(4, 6), "Rohlik");
  EXPECT_EQ(decoder.Decode(second, true).Main.substr(4, 18), "PLU 08590000000022");

  plu.AddRow(-1, "2|8590000000022|Chleba|100|0|1|2|");
  EXPECT_EQ(decoder.Decode(second, true).Main.substr(4, 6), "Chleba");

  plu.Rows[0].SetCell(1, "8590000000099");
  EXPECT_EQ(decoder.Decode(first, true).Main.substr(4, 18), "PLU 08590000000015");
  plu.Rows[0].SetCell(2, "Houska");
  EXPECT_EQ(decoder.Decode(Rec("05").At(13, "08590000000099"), true).Main.substr(4, 6), "Houska");

  plu.Rows.clear();
  EXPECT_EQ(decoder.Decode(second, true).Main.substr(4, 18), "PLU 08590000000022");
}

TEST_F(JournalDecoderTest, EnglishLabelsAndVatGroupsAsNumbers) {
  const RunInLanguage english(EnglishLanguageBase);
  Check(*ecr465_, {
                      {"sale", Rec("40").At(2, "07").At(5, "00000042"), false,
                       "SALE         "
                       " 00000042" +
                           B(8) + " 07"},
                      {"VAT group", Rec("01").At(2, Free).At(9, "05").At(10, "02"), false,
                       B(4) + "DP 05" + B(13) + B(10) + "          FREE" + "T2"},
                      {"VAT line", Rec("10").At(2, A1234_50).At(9, A12_50).At(16, "02"), true,
                       B(7) +
                           "VAT 2 "
                           "  5%"s +
                           "      1234.50" + "     12.50"},
                      {"terminal on", Rec("47").At(2, "03").At(5, "00001234").At(12, Stamp), false,
                       "T ON  "
                       " 03" +
                           B(5) + "00001234" + B(12) + Shown},
                  });
}

}  // namespace
