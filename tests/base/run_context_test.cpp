// The run in use: a log a test puts in place takes every line, contexts
// nest, and a nested run takes the write limit and the language of the run
// it was made in and hands the limit back.
#include "base/run_context.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "base/safe_output_file.h"

namespace {

// A log that keeps its lines in memory.
class TRecordingLog : public TLog {
public:
  void Line(std::string_view message, std::string_view data) override {
    Lines.push_back(std::string(message) + "|" + std::string(data));
  }
  void EndRepetition() override { ++Ends; }

  std::vector<std::string> Lines;
  int Ends = 0;
};

TEST(RunContext, ItsLogTakesTheLinesWhileItLivesThenTheOuterOneDoes) {
  TRecordingLog outer;
  TRecordingLog inner;
  LogLine("before any run");
  EXPECT_EQ(RunContextInUse(), nullptr);
  {
    TRunContext mode("/srv/line1/", outer);
    LogLine("mode");
    {
      const TRunContext command("/srv/line1/", inner);
      EXPECT_EQ(RunContextInUse(), &command);
      LogLine("command", "\x06");
      EndLogRepetition();
    }
    EXPECT_EQ(RunContextInUse(), &mode);
    LogLine("mode again");
  }
  EXPECT_EQ(RunContextInUse(), nullptr);
  EXPECT_EQ(outer.Lines, (std::vector<std::string>{"mode|", "mode again|"}));
  EXPECT_EQ(inner.Lines, std::vector<std::string>{"command|\x06"});
  EXPECT_EQ(inner.Ends, 1);
  EXPECT_EQ(outer.Ends, 0);
}

TEST(RunContext, ANestedRunInheritsTheLimitAndTheLanguageAndHandsTheLimitBack) {
  TRecordingLog log;
  EXPECT_EQ(InPlaceWriteLimit(), DefaultInPlaceWriteLimit) << "no run in use";
  EXPECT_EQ(LanguageBase(), CzechLanguageBase);
  TRunContext mode({}, log);
  EXPECT_EQ(mode.InPlaceWriteLimit(), DefaultInPlaceWriteLimit);
  mode.SetLanguageBase(EnglishLanguageBase);
  {
    TRunContext first({}, log);
    EXPECT_EQ(LanguageBase(), EnglishLanguageBase);
    first.SetInPlaceWriteLimit(std::chrono::milliseconds(4000));
    EXPECT_EQ(InPlaceWriteLimit(), std::chrono::milliseconds(4000));
    first.SetLanguageBase(GermanLanguageBase);
  }
  EXPECT_EQ(LanguageBase(), EnglishLanguageBase) << "the language is the run's own";
  const TRunContext second({}, log);
  EXPECT_EQ(InPlaceWriteLimit(), std::chrono::milliseconds(4000))
      << "a command that sets no time-out keeps the one before";
}

TEST(RunContext, EachRunRecordsItsOwnFirstFailure) {
  TRecordingLog log;
  TRunContext first("/a/", log);
  first.Failures().Record(4, "pokladna bez odpovedi");
  const TRunContext second("/b/", log);
  EXPECT_FALSE(second.Failures().Failed());
  EXPECT_EQ(first.Failures().Number(), 4);
  EXPECT_EQ(second.ProgramFolder(), "/b/");
}

}  // namespace
