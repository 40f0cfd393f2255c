// The texts made for a machine or a person from an outcome: error.json, the
// number read back from error.dat.
#include "app/outcome_json.h"

#include <gtest/gtest.h>

#include "app/error_explanation.h"

namespace {

TEST(OutcomeJson, StringsAreEscapedAndUtf8StaysAsItIs) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("C:\\Shop\\plu \"new\".txt"), R"("C:\\Shop\\plu \"new\".txt")");
  EXPECT_EQ(JsonString("a\r\n\tb\x01"), R"("a\u000d\u000a\u0009b\u0001")");
  EXPECT_EQ(JsonString("přenosová"), "\"přenosová\"");
}

TEST(OutcomeJson, TimeIsUtcWithMilliseconds) {
  using namespace std::chrono;
  const sys_days day = year{2026} / December / 9;
  EXPECT_EQ(IsoUtcTime(day + hours{18} + minutes{5} + seconds{7} + milliseconds{42}), "2026-12-09T18:05:07.042Z");
  EXPECT_EQ(IsoUtcTime(sys_days{year{1999} / December / 31} + hours{23} + minutes{59} + seconds{59} + milliseconds{999}),
            "1999-12-31T23:59:59.999Z");
}

TEST(OutcomeJson, EveryFieldInItsPlace) {
  using namespace std::chrono;
  const TOutcomeRecord record{48, "nedefinován IP port pokladny", "R03", 30000, "/srv/plu.txt",
                              sys_days{year{2026} / March / 15}, 33012};
  EXPECT_EQ(OutcomeJson(record),
            "{\"error\": 48, \"text\": \"nedefinován IP port pokladny\", \"activity\": \"R03\", \"rows\": 30000, "
            "\"file\": \"/srv/plu.txt\", \"started\": \"2026-03-15T00:00:00.000Z\", \"milliseconds\": 33012}\n");
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
