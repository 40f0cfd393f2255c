// FFh doubling: the codec and the line wrapper, over a medium in memory.
#include "transport/ff_doubling.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "transport/ff_doubling_line.h"

namespace {

using namespace std::chrono_literals;

/// The bytes as the log shows them: two hexadecimal digits and a blank each.
std::string LoggedBytes(const std::string& bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string text;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text += {Digits[value >> 4], Digits[value & 0x0F], ' '};
  }
  return text;
}

struct UndoubleCase {
  const char* name;
  std::vector<std::string> pieces;
  std::string bytes;
};
void PrintTo(const UndoubleCase& c, std::ostream* out) { *out << c.name; }

class Undoubling : public ::testing::TestWithParam<UndoubleCase> {};

// The byte after an FFh is its copy and goes, whatever it is: a malformed
// pair FF x loses x.
TEST_P(Undoubling, DropsTheByteAfterEachFf) {
  TFfDoubling undoubling;
  std::string bytes;
  for (const auto& piece : GetParam().pieces) bytes += undoubling.Undouble(piece);
  EXPECT_EQ(bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Pieces, Undoubling,
                         ::testing::Values(UndoubleCase{"NoFf", {"\x01\x02"}, "\x01\x02"},
                                           UndoubleCase{"Pair", {std::string("\xFF\xFF\x03", 3)}, "\xFF\x03"},
                                           UndoubleCase{"EndFrame",
                                                        {std::string("\xFF\xFF\xFF\xFF\x00\x02", 6)},
                                                        std::string("\xFF\xFF\x00\x02", 4)},
                                           UndoubleCase{"CopyInTheNextPiece", {"\x01\xFF", "\xFF\x02"}, "\x01\xFF\x02"},
                                           UndoubleCase{"MalformedPair", {"\xFF\x03\x04"}, "\xFF\x04"},
                                           UndoubleCase{"MalformedPairAcrossPieces", {"\xFF", "\x03\x04"}, "\xFF\x04"},
                                           UndoubleCase{"ThreeFf", {"\xFF\xFF\xFF"}, "\xFF\xFF"}),
                         [](const ::testing::TestParamInfo<UndoubleCase>& param) { return param.param.name; });

TEST(Doubling, EveryFfTravelsTwice) {
  EXPECT_EQ(TFfDoubling::Double("\x01\xFF\x02"), "\x01\xFF\xFF\x02");
  EXPECT_EQ(TFfDoubling::Double(std::string("\xFF\xFF\x00\x02", 4)), std::string("\xFF\xFF\xFF\xFF\x00\x02", 6));
  EXPECT_TRUE(TFfDoubling::AppliesTo(14000));
  EXPECT_TRUE(TFfDoubling::AppliesTo(14009));
  EXPECT_FALSE(TFfDoubling::AppliesTo(13999));
  EXPECT_FALSE(TFfDoubling::AppliesTo(14010));
}

/// A medium in memory: it hands out the far side's bytes, in pieces of at
/// most what is asked, and records what is written and how much each
/// receive asked for.
class TMemoryLine : public TLineBackend {
public:
  explicit TMemoryLine(std::string incoming) : incoming_(incoming.begin(), incoming.end()) {}

  bool Opened() const override { return true; }
  void Close() override {}
  LineResult Write(std::string_view wire) override {
    Written += wire;
    return LineResult::Done;
  }
  LineResult Read(std::string& answer, std::size_t count, bool, LineWait wait) override {
    Receive(answer, count, DeadlineOf(wait));
    return answer.size() == count ? LineResult::Done : LineResult::ShortRead;
  }
  ReadDeadline DeadlineOf(LineWait wait) const override {
    return std::chrono::steady_clock::now() + wait.value_or(std::chrono::milliseconds(0));
  }
  std::size_t Receive(std::string& bytes, std::size_t count, ReadDeadline) override {
    Asked.push_back(count);
    std::size_t got = 0;
    for (; got < count && !incoming_.empty(); ++got) {
      bytes += incoming_.front();
      incoming_.pop_front();
    }
    return got;
  }
  std::chrono::steady_clock::time_point LastArrival() const override { return {}; }
  void Flush() override {}
  bool TakesModemCommands() const override { return false; }

  std::string Rest() const { return {incoming_.begin(), incoming_.end()}; }

  std::string Written;
  std::vector<std::size_t> Asked;

private:
  std::deque<char> incoming_;
};

struct WrappedReadCase {
  const char* name;
  std::string wire;
  int count;
  LineResult result;
  std::string answer;
  /// What the next read finds on the line.
  std::string rest;
};
void PrintTo(const WrappedReadCase& c, std::ostream* out) { *out << c.name; }

class DoublingLineRead : public ::testing::TestWithParam<WrappedReadCase> {};

// A read takes no byte of the next frame, but does take the copy of an FFh
// that ends it; a malformed pair loses its second byte, as the port always read it.
TEST_P(DoublingLineRead, TakesWhatTheFrameHoldsAndNoMore) {
  const auto& c = GetParam();
  auto memory = std::make_unique<TMemoryLine>(c.wire);
  TMemoryLine& wire = *memory;
  TFfDoublingLine line(std::move(memory));
  const LogCapture log;
  std::string answer;
  EXPECT_EQ(line.Read(answer, static_cast<std::size_t>(c.count), false, 100ms), c.result);
  EXPECT_EQ(answer, c.answer);
  EXPECT_EQ(wire.Rest(), c.rest);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"cteni " + std::to_string(c.count) + " bytu",
                                                      "nacteno    " + std::to_string(c.answer.size()) +
                                                          " bytu: " + LoggedBytes(c.answer)}))
      << "the log shows the bytes undoubled, in one line";
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DoublingLineRead,
    ::testing::Values(
        WrappedReadCase{"Plain", "\x01\x02\x03", 2, LineResult::Done, "\x01\x02", "\x03"},
        WrappedReadCase{"PairInside", std::string("\xFF\xFF\x03\x04", 4), 2, LineResult::Done, "\xFF\x03", "\x04"},
        WrappedReadCase{"FfAtTheEndTakesItsCopy", std::string("\x01\xFF\xFF\x07", 4), 2, LineResult::Done, "\x01\xFF",
                        "\x07"},
        WrappedReadCase{"MalformedPairLosesItsSecondByte", std::string("\xFF\x03\x04\x05", 4), 2, LineResult::Done,
                        "\xFF\x04", "\x05"},
        WrappedReadCase{"MalformedPairAtTheEnd", std::string("\x01\xFF\x07\x08", 4), 2, LineResult::Done, "\x01\xFF",
                        "\x08"},
        WrappedReadCase{"ShortRead", std::string("\xFF\xFF\x01", 3), 3, LineResult::ShortRead, "\xFF\x01", ""},
        WrappedReadCase{"CopyThatNeverCame", "\x01\xFF", 2, LineResult::Done, "\x01\xFF", ""}),
    [](const ::testing::TestParamInfo<WrappedReadCase>& param) { return param.param.name; });

TEST(DoublingLine, WritesEveryFfTwiceAndAsksNoMoreThanIsMissing) {
  auto memory = std::make_unique<TMemoryLine>(std::string("\xFF\xFF\xFF\xFF\x00\x02", 6));
  TMemoryLine& wire = *memory;
  TFfDoublingLine line(std::move(memory));
  EXPECT_EQ(line.Write(std::string("\xFF\xFF\x00\x02", 4)), LineResult::Done);
  EXPECT_EQ(wire.Written, std::string("\xFF\xFF\xFF\xFF\x00\x02", 6));
  std::string frame;
  EXPECT_EQ(line.Receive(frame, 4, line.DeadlineOf(100ms)), 4u);
  EXPECT_EQ(frame, std::string("\xFF\xFF\x00\x02", 4));
  // Four bytes asked: FF FF FF FF give two; two more asked: 00 02.
  EXPECT_EQ(wire.Asked, (std::vector<std::size_t>{4, 2}));
}

}  // namespace
