// Conversion between UTF-8 and code page 1250.
#include "base/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr unsigned char UndefinedBytes[] = {0x81, 0x83, 0x88, 0x90, 0x98};
const std::string ReplacementUtf8 = "\xEF\xBF\xBD";

bool IsUndefined(unsigned byte) {
  for (const unsigned char undefined : UndefinedBytes) {
    if (byte == undefined) return true;
  }
  return false;
}

std::string Byte(unsigned value) { return std::string(1, static_cast<char>(value)); }

// Letters with their code page 1250 byte, as the published code page lists them.
const std::vector<std::pair<std::string, unsigned>>& KnownLetters() {
  static const std::vector<std::pair<std::string, unsigned>> letters = {
      {"á", 0xE1}, {"č", 0xE8}, {"ď", 0xEF}, {"é", 0xE9}, {"ě", 0xEC}, {"í", 0xED}, {"ň", 0xF2},
      {"ó", 0xF3}, {"ř", 0xF8}, {"š", 0x9A}, {"ť", 0x9D}, {"ú", 0xFA}, {"ů", 0xF9}, {"ý", 0xFD},
      {"ž", 0x9E}, {"Á", 0xC1}, {"Č", 0xC8}, {"Ď", 0xCF}, {"É", 0xC9}, {"Ě", 0xCC}, {"Í", 0xCD},
      {"Ň", 0xD2}, {"Ó", 0xD3}, {"Ř", 0xD8}, {"Š", 0x8A}, {"Ť", 0x8D}, {"Ú", 0xDA}, {"Ů", 0xD9},
      {"Ý", 0xDD}, {"Ž", 0x8E}, {"ľ", 0xBE}, {"Ľ", 0xBC}, {"ĺ", 0xE5}, {"Ĺ", 0xC5}, {"ŕ", 0xE0},
      {"Ŕ", 0xC0}, {"ô", 0xF4}, {"ä", 0xE4}, {"ł", 0xB3}, {"ő", 0xF5}, {"ß", 0xDF}, {"€", 0x80},
      {"„", 0x84}, {"“", 0x93}, {"–", 0x96}, {"§", 0xA7}, {"°", 0xB0}, {"ˇ", 0xA1}, {"\u00A0", 0xA0},
  };
  return letters;
}

TEST(CodePageRoundTrip, EveryDefinedByteSurvivesUtf8AndBack) {
  int defined = 0;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (IsUndefined(byte)) continue;
    ++defined;
    const std::string utf8 = Cp1250ToUtf8(Byte(byte));
    EXPECT_NE(utf8, ReplacementUtf8) << "byte " << byte;
    EXPECT_EQ(Utf8ToCp1250(utf8), Byte(byte)) << "byte " << byte;
  }
  EXPECT_EQ(defined, 251);
}

TEST(CodePageRoundTrip, DefinedBytesMapToDistinctCharacters) {
  std::vector<std::string> seen;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (IsUndefined(byte)) continue;
    const std::string utf8 = Cp1250ToUtf8(Byte(byte));
    for (const auto& earlier : seen) ASSERT_NE(utf8, earlier) << "byte " << byte;
    seen.push_back(utf8);
  }
}

TEST(CodePageRoundTrip, WholeTextKeepsItsBytesIncludingNul) {
  std::string all;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (!IsUndefined(byte)) all += static_cast<char>(byte);
  }
  EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);
}

TEST(CodePageLetters, CzechAndSlovakLettersHaveTheirCodePageBytes) {
  for (const auto& [utf8, byte] : KnownLetters()) {
    EXPECT_EQ(Utf8ToCp1250(utf8), Byte(byte)) << utf8;
    EXPECT_EQ(Cp1250ToUtf8(Byte(byte)), utf8) << utf8;
  }
}

TEST(CodePageLetters, MixedTextConvertsLetterByLetter) {
  EXPECT_EQ(Utf8ToCp1250("Příliš žluťoučký kůň"), "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2");
  EXPECT_EQ(Cp1250ToUtf8("K\xE8"), "Kč");
  EXPECT_EQ(Utf8ToCp1250(""), "");
  EXPECT_EQ(Cp1250ToUtf8(""), "");
}

TEST(CodePageLetters, AsciiAndControlCharactersPassUnchanged) {
  const std::string ascii = std::string("\0\x01\t\r\n\x1F ~\x7F", 9) + "AZaz09#|;";
  EXPECT_EQ(Utf8ToCp1250(ascii), ascii);
  EXPECT_EQ(Cp1250ToUtf8(ascii), ascii);
}

TEST(CodePageUnmappable, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1250("ñ"), "?");  // Spanish; F1h is ń in this code page
  EXPECT_EQ(Utf8ToCp1250("ø"), "?");
  EXPECT_EQ(Utf8ToCp1250("中"), "?");
  EXPECT_EQ(Utf8ToCp1250("a😀b"), "a?b");  // four-byte sequence, one character
  EXPECT_EQ(Utf8ToCp1250("\xEF\xBF\xBD"), "?");
}

TEST(CodePageMalformed, EachBadSequenceBecomesOneQuestionMark) {
  EXPECT_EQ(Utf8ToCp1250("\x80"), "?");  // continuation byte alone
  EXPECT_EQ(Utf8ToCp1250("a\xBF"
                         "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp1250("\xC4"), "?");  // cut off at the end
  EXPECT_EQ(Utf8ToCp1250("\xE2\x82"), "?");
  EXPECT_EQ(Utf8ToCp1250("\xF8\x88\x80\x80\x80"), "?????");  // five-byte form is not UTF-8
  EXPECT_EQ(Utf8ToCp1250("\xFF\xFE"), "??");
}

TEST(CodePageMalformed, ByteAfterABrokenSequenceIsNotSwallowed) {
  EXPECT_EQ(Utf8ToCp1250("\xE2\x82"
                         "A"),
            "?A");
  EXPECT_EQ(Utf8ToCp1250("\xC4"
                         "\xC4\x8D"),
            "?\xE8");  // broken lead, then č
}

TEST(CodePageMalformed, OverlongFormsDoNotSmuggleAscii) {
  EXPECT_EQ(Utf8ToCp1250("\xC0\x80"), "?");          // overlong NUL
  EXPECT_EQ(Utf8ToCp1250("\xC0\xA2"), "?");          // overlong quote
  EXPECT_EQ(Utf8ToCp1250("\xC1\x81"), "?");          // overlong A
  EXPECT_EQ(Utf8ToCp1250("\xE0\x80\xAF"), "?");      // overlong slash
  EXPECT_EQ(Utf8ToCp1250("\xE0\x84\x8D"), "?");      // overlong č
  EXPECT_EQ(Utf8ToCp1250("\xF0\x82\x82\xAC"), "?");  // overlong euro sign
}

TEST(CodePageUndefinedBytes, TheFiveUndefinedBytesBecomeTheReplacementCharacter) {
  for (const unsigned char byte : UndefinedBytes) {
    EXPECT_EQ(Cp1250ToUtf8(Byte(byte)), ReplacementUtf8) << int{byte};
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(Byte(byte))), "?") << int{byte};
  }
  EXPECT_EQ(Cp1250ToUtf8("a\x81"
                         "b\x98"),
            "a" + ReplacementUtf8 + "b" + ReplacementUtf8);
}

// The kept conversion gives what the plain one gives, converts each text
// once (the same string on every later call) and keeps texts apart.
TEST(KeptUtf8ToCp1250, GivesThePlainConversionOncePerText) {
  const std::vector<std::string> texts = {"", "data ok", "čekám na ", "posílám ACK...", "posílám EOF...", "\xC0\x80"};
  std::vector<const std::string*> kept;
  for (const std::string& text : texts) {
    kept.push_back(&KeptUtf8ToCp1250(text));
    EXPECT_EQ(*kept.back(), Utf8ToCp1250(text)) << text;
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(&KeptUtf8ToCp1250(std::string(texts[i])), kept[i]) << texts[i];
    EXPECT_EQ(*kept[i], Utf8ToCp1250(texts[i])) << texts[i];
  }
}

}  // namespace
