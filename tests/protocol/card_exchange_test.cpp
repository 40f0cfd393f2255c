// The card reader exchanges against the emulator's card reader, joined to the
// port through an in-memory COM line, and against hand-made answers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol/card_exchange.h"
#include "scripted_register.h"
#include "test_support.h"
#include "tools/mervsim/card/card_reader_emulator.h"

namespace {

/// A port on an in-memory line whose far end is the emulated reader.
class CardLine {
public:
  explicit CardLine(TCardReaderOptions options = {}) : reader_(std::move(options), log_), port_(line_) {
    line_.Answer = [this](const std::string& written) { return reader_.Receive(written).Bytes; };
    settings_.Timeout[1] = 100;
    port_.Open(settings_, 1, ComFlow::None);
    reader_.StartConnection();
  }

  TPort& Port() { return port_; }
  const std::string& Card() const { return reader_.Card(); }
  const std::vector<std::string>& Written() const { return line_.Written; }

private:
  TWireLog log_{""};
  TCardReaderEmulator reader_;
  TScriptedRegister line_;
  TNastaveni settings_ = ComLineSettings();
  TPort port_;
};

TEST(CardExchangeTest, SumIsZeroCountsEveryByteModulo256) {
  EXPECT_TRUE(SumIsZero(Bytes({1, 2, 3, 4, 5, 6, 7, 8, 0xDC})));
  EXPECT_FALSE(SumIsZero(Bytes({1, 2, 3, 4, 5, 6, 7, 8, 0xDD})));
  EXPECT_TRUE(SumIsZero(Bytes({0x40, 0xC0})));
  EXPECT_TRUE(SumIsZero(""));
}

TEST(CardExchangeTest, VerifyReportsADifferenceAndKeepsTheCardsBytes) {
  TCardReaderOptions options;
  options.StuckCell = 5;
  CardLine line(options);
  const std::uint8_t old = static_cast<std::uint8_t>(line.Card()[5]);
  TCardImage image{};
  image.fill(0x77);
  StartCardExchange(line.Port());
  WriteCardBlock(line.Port(), image, 0, 8);
  EXPECT_FALSE(ReadCardBlock(line.Port(), image, 0, 8, true));
  EXPECT_EQ(image[5], old) << "the image holds what the card holds";
  EXPECT_EQ(image[4], 0x77);
  EXPECT_TRUE(ReadCardBlock(line.Port(), image, 0, 8, true)) << "read again, nothing differs";
}

struct ReaderFault {
  const char* name;
  TCardReaderOptions options;
  int error;
};

/// Start, write one block, read it back, end: the first failure's number.
int CopyFailure(const TCardReaderOptions& options) {
  CardLine line(options);
  TCardImage image{};
  return ErrorNumberRaisedBy([&] {
    StartCardExchange(line.Port());
    WriteCardBlock(line.Port(), image, 0, 8);
    ReadCardBlock(line.Port(), image, 0, 8, false);
    EndCardExchange(line.Port());
  });
}

TEST(CardExchangeTest, EachReaderFaultGivesItsNumber) {
  const auto with = [](auto change) {
    TCardReaderOptions options;
    change(options);
    return options;
  };
  const std::vector<ReaderFault> faults = {
      {"healthy", {}, 0},
      {"no card", with([](auto& o) { o.Status = 0x00; }), 42},
      {"no card before other bits", with([](auto& o) { o.Status = 0x1C; }), 42},
      {"communication bit", with([](auto& o) { o.Status = 0x44; }), 44},
      {"command or ACK bit", with([](auto& o) { o.Status = 0x48; }), 45},
      {"pulled out bit", with([](auto& o) { o.Status = 0x50; }), 46},
      {"communication bit first", with([](auto& o) { o.Status = 0x5C; }), 44},
      {"inserted wrongly", with([](auto& o) { o.InsertedWrongly = true; }), 57},
      {"changed echo", with([](auto& o) { o.ChangedEchoCell = 3; }), 39},
      {"bad check byte", with([](auto& o) { o.BadCheckByte = true; }), 16},
      {"A5 at the end", with([](auto& o) { o.EndWithA5 = true; }), 40},
      {"silence", with([](auto& o) { o.Silent = true; }), 4},
  };
  for (const auto& fault : faults) EXPECT_EQ(CopyFailure(fault.options), fault.error) << fault.name;
}

struct ScriptedAnswer {
  const char* name;
  std::string statusReply;  // the answer to the status request ending the greeting
  int error;
};

TEST(CardExchangeTest, BrokenStatusRepliesOfTheGreeting) {
  const std::vector<ScriptedAnswer> answers = {
      {"sound", Bytes({0x00, 0x40, 0xC0}), 0},
      {"wrong first byte", Bytes({0x18, 0x40, 0xC0}), 39},
      {"sum not zero", Bytes({0x00, 0x40, 0xC1}), 16},
      {"cut short", Bytes({0x00, 0x40}), 5},
  };
  for (const auto& answer : answers) {
    TScriptedRegister reader;
    int greetingBytes = 0;
    reader.Answer = [&](const std::string& written) { return ++greetingBytes <= 3 ? written : answer.statusReply; };
    TNastaveni settings = ComLineSettings();
    TPort port(reader);
    port.Open(settings, 1, ComFlow::None);
    EXPECT_EQ(ErrorNumberRaisedBy([&] { StartCardExchange(port); }), answer.error) << answer.name;
  }
}

TEST(CardExchangeTest, EndRepliesOtherThanZero) {
  for (const auto& [endReply, error] : std::vector<std::pair<int, int>>{{0x00, 0}, {0xA5, 40}, {0x01, 39}}) {
    TScriptedRegister reader;
    const int reply = endReply;
    reader.Answer = [reply](const std::string&) { return Bytes({reply}); };
    TNastaveni settings = ComLineSettings();
    TPort port(reader);
    port.Open(settings, 1, ComFlow::None);
    EXPECT_EQ(ErrorNumberRaisedBy([&] { EndCardExchange(port); }), error) << reply;
  }
}

TEST(CardExchangeTest, BlocksOutsideTheCardAreRefusedBeforeAnythingIsSent) {
  CardLine line;
  TCardImage image{};
  EXPECT_THROW(ReadCardBlock(line.Port(), image, 200, 57, false), std::out_of_range);
  EXPECT_THROW(WriteCardBlock(line.Port(), image, -1, 8), std::out_of_range);
  EXPECT_TRUE(line.Written().empty());
}

}  // namespace
