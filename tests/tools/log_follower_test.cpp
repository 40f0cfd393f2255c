// TLogFollower, the reading of "kllog -f", looked at one poll at a time: what
// it hands over and how many bytes it reads when the log grows, is renamed,
// cut back or replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/kllog/log_follower.h"

namespace {

namespace fs = std::filesystem;
using TakenLines = std::vector<std::string>;

// Appends without replacing the file, as the module does.
void AppendTo(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

class LogFollowerTest : public ::testing::Test {
protected:
  void Append(const std::string& bytes) const { AppendTo(log_, bytes); }

  // The lines one poll hands over.
  TakenLines Poll() {
    taken_.clear();
    follower_.Poll();
    return taken_;
  }

  TempDir dir_;
  fs::path log_ = dir_ / "KL.log";
  TakenLines taken_;
  TLogFollower follower_{log_.string(), [this](std::size_t, std::string_view line) { taken_.emplace_back(line); }};
};

TEST_F(LogFollowerTest, HandsOverAppendedLinesOnceAndReadsOnlyWhatWasAdded) {
  EXPECT_EQ(Poll(), TakenLines{}) << "no log yet";
  std::string big;
  for (int i = 0; big.size() < (2u << 20); ++i) big += "line " + std::to_string(i) + " of a log of megabytes\r\n";
  Append(big);
  EXPECT_EQ(Poll().size(), static_cast<std::size_t>(std::count(big.begin(), big.end(), '\n')));
  EXPECT_LE(follower_.BytesRead(), big.size() + TLogFollower::HeadBytes);

  std::uint64_t before = follower_.BytesRead();
  EXPECT_EQ(Poll(), TakenLines{});
  EXPECT_LE(follower_.BytesRead() - before, TLogFollower::HeadBytes) << "an unchanged log is not read again";

  const std::string added = "appended\r\nhalf a li";
  Append(added);
  before = follower_.BytesRead();
  EXPECT_EQ(Poll(), TakenLines{"appended"});
  EXPECT_LE(follower_.BytesRead() - before, added.size() + TLogFollower::HeadBytes);
  EXPECT_EQ(Poll(), TakenLines{}) << "half a line waits";
  Append("ne\n");
  EXPECT_EQ(Poll(), TakenLines{"half a line"});
  EXPECT_EQ(Poll(), TakenLines{});
}

// Each way the module or a person may put another file under the name or
// cut the log back; the lines the old file got after the last poll come
// first when it was renamed to FILE.1, then the new file from its start.
TEST_F(LogFollowerTest, FollowsARenamingACutAndANewFileUnderTheName) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& log)> change;
    TakenLines expected;
    TakenLines afterAppending;
  };
  const Case cases[] = {
      {"renamed to .1, a new file made",
       [](const fs::path& log) {
         fs::rename(log, log.string() + ".1");
         WriteFileBytes(log, "new 1\r\nnew 2\r\n");
       },
       {"third", "new 1", "new 2"},
       {"appended"}},
      {"renamed to .1, the new file not made yet",
       [](const fs::path& log) { fs::rename(log, log.string() + ".1"); },
       {},
       {"third", "appended"}},
      {"cut to nothing, then written",
       [](const fs::path& log) {
         fs::resize_file(log, 0);
         AppendTo(log, "new 1\n");
       },
       {"new 1"},
       {"appended"}},
      {"rewritten in place beyond its old size",
       [](const fs::path& log) { WriteFileBytes(log, "a new start\nwith more lines\nthan the file had\nbefore\n"); },
       {"a new start", "with more lines", "than the file had", "before"},
       {"appended"}},
      {"removed and made anew",
       [](const fs::path& log) {
         fs::remove(log);
         WriteFileBytes(log, "new 1\n");
       },
       {"new 1"},
       {"appended"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path log = dir / "KL.log";
    WriteFileBytes(log.string() + ".1", "an older rotation, printed before following\n");
    WriteFileBytes(log, "first\r\nsecond\r\n");
    TakenLines taken;
    TLogFollower follower(log.string(), [&](std::size_t, std::string_view line) { taken.emplace_back(line); });
    follower.Poll();
    ASSERT_EQ(taken, (TakenLines{"first", "second"})) << c.what;
    AppendTo(log, "third\r\n");
    c.change(log);
    taken.clear();
    follower.Poll();
    EXPECT_EQ(taken, c.expected) << c.what;

    AppendTo(log, "appended\n");
    taken.clear();
    follower.Poll();
    follower.Poll();
    EXPECT_EQ(taken, c.afterAppending) << c.what << ": each line once";
  }
}

TEST_F(LogFollowerTest, CutsALineAtTheBoundAndTakesTheNextWhole) {
  TakenLines taken;
  TLogFollower follower(
      log_.string(), [&](std::size_t, std::string_view line) { taken.emplace_back(line); }, 10);
  Append("0123456789ABCDEF");
  follower.Poll();
  Append(std::string(100'000, 'G') + "\r\nnext\r\n");
  follower.Poll();
  EXPECT_EQ(taken, (TakenLines{"0123456789", "next"}));
}

}  // namespace
