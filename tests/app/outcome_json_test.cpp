// The texts made for a machine or a person from an outcome: error.json, the
// number read back from error.dat.
#include "app/outcome_json.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "app/error_explanation.h"
#include "base/error_table.h"
#include "base/json_text.h"
#include "base/kom_error.h"

namespace {

TEST(OutcomeJson, StringsAreEscapedAndUtf8StaysAsItIs) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("C:\\Shop\\plu \"new\".txt"), R"("C:\\Shop\\plu \"new\".txt")");
  EXPECT_EQ(JsonString("a\r\n\tb\x01"), R"("a\u000d\u000a\u0009b\u0001")");
  EXPECT_EQ(JsonString("přenosová"), "\"přenosová\"");
}

// A path on a POSIX system is bytes: what is not UTF-8 becomes U+FFFD, one
// for each byte that starts no valid sequence, so error.json stays JSON.
TEST(OutcomeJson, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const auto replaced = [](std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "\xEF\xBF\xBD";
    return text;
  };
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"pl\xE9.txt", "pl" + replaced(1) + ".txt"},  // Latin-1 e acute
      {"\x80", replaced(1)},                        // a lone continuation byte
      {"a\xC5", "a" + replaced(1)},                 // cut off at the end
      {"\xC5z", replaced(1) + "z"},                 // cut off by an ASCII byte
      {"\xC0\xAF", replaced(2)},                    // overlong "/"
      {"\xE0\x80\xAF", replaced(3)},                // overlong in three bytes
      {"\xED\xA0\x80", replaced(3)},                // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", replaced(4)},            // beyond U+10FFFF
      {"\xF8\x88\x80\x80\x80", replaced(5)},        // the old five-byte form
      {"\xFF\xFE", replaced(2)},
      {"\xC5\x99\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC5\x99\xE2\x82\xAC\xF0\x9F\x98\x80"},  // valid: kept
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},                                          // U+10FFFF, the last one
      {"\x7F\xC2\x80", "\x7F\xC2\x80"},                                                  // DEL and U+0080 stay
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.text), "\"" + c.quoted + "\"") << testing::PrintToString(c.text);
    EXPECT_EQ(IsUtf8(c.text), c.text == c.quoted) << testing::PrintToString(c.text);
  }
  EXPECT_EQ(JsonString("\xE9\"\x01"), "\"" + replaced(1) + "\\\"\\u0001\"") << "escapes still apply";
}

// error.json keeps a failure's text that is valid UTF-8 as it is (a system's
// message with a folder's name in it) and converts any other from code page
// 1250: none of the module's own texts with a Czech letter may pass for UTF-8.
TEST(OutcomeJson, NoTextOfTheErrorTablePassesForUtf8) {
  for (const TErrorEntry& row : ErrorTable()) {
    const std::string text = ErrorText(row.Number);
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    EXPECT_TRUE(ascii || !IsUtf8(text)) << row.Number << ": " << text;
  }
}

TEST(OutcomeJson, TimeIsUtcWithMilliseconds) {
  using namespace std::chrono;
  const sys_days day = year{2026} / December / 9;
  EXPECT_EQ(IsoUtcTime(day + hours{18} + minutes{5} + seconds{7} + milliseconds{42}), "2026-12-09T18:05:07.042Z");
  EXPECT_EQ(IsoUtcTime(sys_days{year{1999} / December / 31} + hours{23} + minutes{59} + seconds{59} +
                       milliseconds{999}),
            "1999-12-31T23:59:59.999Z");
}

TEST(OutcomeJson, EveryFieldInItsPlace) {
  using namespace std::chrono;
  const TOutcomeRecord record{
      48, "nedefinován IP port pokladny", "R03", 30000, "/srv/plu.txt", sys_days{year{2026} / March / 15}, 33012};
  EXPECT_EQ(OutcomeJson(record),
            "{\"error\": 48, \"text\": \"nedefinován IP port pokladny\", \"activity\": \"R03\", \"rows\": 30000, "
            "\"file\": \"/srv/plu.txt\", \"started\": \"2026-03-15T00:00:00.000Z\", \"milliseconds\": 33012}\n");
}

// Whatever bytes the text and the path hold, error.json parses, and its
// strings are what the bytes were, with U+FFFD for each byte that is no UTF-8.
TEST(OutcomeJson, AnyBytesGiveValidJson) {
  using namespace std::chrono;
  const struct {
    std::string file;
    std::string read;
    std::string line;
  } cases[] = {
      {"pl\xE9 \"new\".txt", "pl\xEF\xBF\xBD \"new\".txt", "\"file\": \"pl\xEF\xBF\xBD \\\"new\\\".txt\""},
      {"C:\\Shop\\a\r\nb\x01", "C:\\Shop\\a\r\nb\x01", R"("file": "C:\\Shop\\a\r\nb\u0001")"},
      {"\xC0\xAF\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "\"file\": \"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) {
    const TOutcomeRecord record{0, "", "R03", 1, c.file, sys_days{year{2026} / March / 15}, 5};
    const std::string text = OutcomeJson(record);
    ASSERT_TRUE(nlohmann::json::accept(text)) << text;
    EXPECT_EQ(nlohmann::json::parse(text).at("file"), c.read);
    EXPECT_NE(text.find(c.line), std::string::npos) << text;
  }
}

TEST(OutcomeNumber, ReadsTheFirstLineOfErrorDat) {
  EXPECT_EQ(OutcomeNumberOf(" 0\r\n3.02F\r\n"), 0);
  EXPECT_EQ(OutcomeNumberOf(" 4\r\n3.02F\r\n"), 4);
  EXPECT_EQ(OutcomeNumberOf("48\r\n"), 48);
  EXPECT_EQ(OutcomeNumberOf("48"), 48);
  for (const char* bad : {"", "  ", "\r\n", "x4\r\n", "4x\r\n", "1234\r\n", "-4\r\n"}) {
    EXPECT_FALSE(OutcomeNumberOf(bad)) << bad;
  }
}

TEST(OutcomeNumber, ExplanationsOfTheEdges) {
  EXPECT_EQ(ExplanationText(0), "Error 0: the command succeeded.\n");
  EXPECT_EQ(ExplanationText(15), "");
  EXPECT_EQ(ExplanationText(-1), "");
  const std::string ten = ExplanationText(10);
  EXPECT_EQ(ten.find("Text (Czech)"), std::string::npos) << "10 has no text of its own";
  EXPECT_NE(ExplanationText(29).find("Text (Czech): Pokladna číslo \"%s\""), std::string::npos);
}

}  // namespace
