// The replay of a recorded conversation, in memory: the steps read from the
// module's log lines (plain and enciphered), and the player's answers and
// reports for the frames a module sends.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/ciphered_log_line.h"
#include "base/communication_log.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "test_support.h"
#include "tools/mervsim/replay/replay_player.h"
#include "tools/mervsim/replay/replay_script.h"

namespace {

using Kind = TReplayStep::Kind;

// A log line at the given second of 18:20.
std::string At(int second, const std::string& message) {
  return "12/09/26 18:20:" + std::string(second < 10 ? "0" : "") + std::to_string(second) + " " + message;
}

// One command over TCP with a 3 s time-out: the ENQ answered, a DRQ whose
// reply comes in two reads, an ACK answered by nothing until the time-out.
std::vector<std::string> TcpCommand(int timeOutMs = 3000) {
  return {At(0, "Parametry rozpoznany"),
          At(0, "TimeOut \"" + std::to_string(timeOutMs) + "\""),
          At(0, "Otevreni portu 1"),
          At(0, "TCPIP: 127.0.0.1 (127.0.0.1) 4001"),
          At(0, "write: E9 00 03 EA 2A "),
          At(0, "cteni 4 bytu"),
          At(0, "nacteno    4 bytu: 12 10 F3 DB "),
          At(1, "write: D7 00 03 DA 1A "),
          At(1, "cteni 2 bytu"),
          At(1, "nacteno    2 bytu: D7 10 "),
          At(1, "cteni 2 bytu"),
          At(1, "nacteno    2 bytu: E7 2B "),
          At(1, "write: D7 06 DD 0F "),
          At(1, "cteni 4 bytu"),
          At(4, "nacteno    0 bytu: "),
          At(4, "ERROR: #05:chyba")};
}

struct Expected {
  Kind what;
  std::string bytes;
  std::size_t line;
};

void ExpectSteps(const TReplayScript& script, const std::vector<Expected>& expected) {
  ASSERT_EQ(script.Steps().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TReplayStep& step = script.Steps()[i];
    EXPECT_EQ(step.What, expected[i].what) << "step " << i;
    EXPECT_EQ(step.Bytes, expected[i].bytes) << "step " << i;
    EXPECT_EQ(step.LogLine, expected[i].line) << "step " << i;
  }
}

TEST(ReplayScript, ReadsFramesRepliesAndSilencesWithTheirLines) {
  ExpectSteps(TReplayScript::FromLines(TcpCommand()), {{Kind::LineOpened, "", 3},
                                                       {Kind::ModuleSent, Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}), 5},
                                                       {Kind::RegisterSent, Bytes({0x12, 0x10, 0xF3, 0xDB}), 7},
                                                       {Kind::ModuleSent, Bytes({0xD7, 0x00, 0x03, 0xDA, 0x1A}), 8},
                                                       {Kind::RegisterSent, Bytes({0xD7, 0x10}), 10},
                                                       {Kind::RegisterSent, Bytes({0xE7, 0x2B}), 12},
                                                       {Kind::ModuleSent, Bytes({0xD7, 0x06, 0xDD, 0x0F}), 13},
                                                       {Kind::RegisterSent, "", 15}});
}

TEST(ReplayScript, AShortTcpReadWellBeforeTheTimeOutIsAClosedLine) {
  struct Case {
    int timeOutMs;
    int endSecond;
    bool closed;
  };
  // The read begins at second 1; stamps have whole seconds.
  for (const Case c : {Case{3000, 1, true}, Case{3000, 3, true}, Case{3000, 4, false}, Case{1000, 1, true},
                       Case{1000, 2, false}, Case{10000, 10, true}, Case{10000, 11, false}}) {
    auto lines = TcpCommand(c.timeOutMs);
    lines[14] = At(c.endSecond, "nacteno    0 bytu: ");
    const TReplayScript script = TReplayScript::FromLines(lines);
    EXPECT_EQ(script.Steps().back().What == Kind::LineClosed, c.closed) << c.timeOutMs << " ms, second " << c.endSecond;
  }
  // A read across midnight.
  auto lines = TcpCommand(5000);
  lines[13] = "12/09/26 23:59:59 cteni 4 bytu";
  lines[14] = "12/10/26 00:00:00 nacteno    0 bytu: ";
  EXPECT_EQ(TReplayScript::FromLines(lines).Steps().back().What, Kind::LineClosed);
}

TEST(ReplayScript, ACommLineNeverClosesAndItsModemTotalsAreNotRepeated) {
  const std::vector<std::string> lines = {At(0, "TimeOut \"5000\""),
                                          At(0, "Otevreni portu 3"),
                                          At(0, "sio_open: 1"),
                                          At(0, "write: E9 00 03 EA 2A "),
                                          At(0, "cteni 4 bytu"),
                                          At(0, "nacteno    1 bytu: 12 "),
                                          At(0, "1. dodatecne cteni 3 bytu"),
                                          At(0, "nacteno    3 bytu: 10 F3 DB "),
                                          At(0, "celk.nact. 4 bytu: 12 10 F3 DB "),
                                          At(0, "write: D7 00 03 DA 1A "),
                                          At(0, "cteni 4 bytu"),
                                          At(0, "nacteno    0 bytu: ")};
  ExpectSteps(TReplayScript::FromLines(lines), {{Kind::LineOpened, "", 2},
                                                {Kind::ModuleSent, Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}), 4},
                                                {Kind::RegisterSent, Bytes({0x12}), 6},
                                                {Kind::RegisterSent, Bytes({0x10, 0xF3, 0xDB}), 8},
                                                {Kind::ModuleSent, Bytes({0xD7, 0x00, 0x03, 0xDA, 0x1A}), 10},
                                                {Kind::RegisterSent, "", 12}});
}

TEST(ReplayScript, StartsAtTheFirstOpeningFromTheLineAsked) {
  std::vector<std::string> lines = TcpCommand();
  const auto second = TcpCommand();
  lines.insert(lines.end(), second.begin(), second.end());  // the second opening is line 19
  for (const auto& [from, first] : {std::pair{1, 3}, {3, 3}, {4, 19}, {19, 19}}) {
    const TReplayScript script = TReplayScript::FromLines(lines, static_cast<std::size_t>(from));
    ASSERT_FALSE(script.Steps().empty());
    EXPECT_EQ(script.Steps().front().LogLine, static_cast<std::size_t>(first)) << from;
    EXPECT_EQ(script.ModuleFrames(), from <= 3 ? 6u : 3u);
  }
  EXPECT_TRUE(TReplayScript::FromLines(lines, 20).Steps().empty());
}

// A register that sent ENQ polls unanswered, as the module logs them with
// the repetition left out: the same steps as the lines written out.
TEST(ReplayScript, LinesLeftOutAsRepeatedAreTakenAsWritten) {
  const std::vector<std::string> poll = {At(0, "write: 05 "), At(0, "cteni 1 bytu"), At(0, "nacteno    0 bytu: ")};
  std::vector<std::string> whole = {At(0, "Otevreni portu 3")};
  for (int i = 0; i < 5; ++i) whole.insert(whole.end(), poll.begin(), poll.end());
  whole.push_back(At(1, "write: 06 "));
  std::vector<std::string> collapsed(whole.begin(), whole.begin() + 6);
  collapsed.push_back(At(1, RepetitionNote(3, 10)));
  collapsed.push_back(At(1, "write: 06 "));
  const auto expected = TReplayScript::FromLines(whole).Steps();
  const auto steps = TReplayScript::FromLines(collapsed).Steps();
  ASSERT_EQ(steps.size(), expected.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i].What, expected[i].What) << i;
    EXPECT_EQ(steps[i].Bytes, expected[i].Bytes) << i;
  }
  EXPECT_EQ(steps.back().LogLine, 8u);

  // A note that goes back beyond the first line is left alone.
  EXPECT_EQ(TReplayScript::FromLines({At(0, "Otevreni portu 3"), At(0, RepetitionNote(3, 1000))}).Steps().size(), 1u);
}

TEST(ReplayScript, HexDumpStopsAtTheFirstWordThatIsNoByte) {
  EXPECT_EQ(BytesOfHexDump("E9 00 ff "), Bytes({0xE9, 0x00, 0xFF}));
  EXPECT_EQ(BytesOfHexDump("E9 00"), Bytes({0xE9, 0x00}));
  EXPECT_EQ(BytesOfHexDump("E9 0G 12"), Bytes({0xE9}));
  EXPECT_EQ(BytesOfHexDump("E9 123 "), Bytes({0xE9}));
  EXPECT_EQ(BytesOfHexDump(""), "");
}

TEST(ReplayScript, ReadsTheEncipheredLogAsThePlainOne) {
  TempDir folder;
  const auto lines = TcpCommand();
  std::string plain, ciphered;
  TTextCipher cipher(TextCipherKey);
  for (const auto& line : lines) {
    plain += line + "\r\n";
    ciphered += EncipherLogLine(line, cipher) + "\r\n";
  }
  ciphered += "not a log line\r\n";
  WriteFileBytes(folder / "plain.log", plain);
  WriteFileBytes(folder / "KL.log", ciphered);
  const TReplayScript fromPlain = TReplayScript::FromFile((folder / "plain.log").string());
  const TReplayScript fromCiphered = TReplayScript::FromFile((folder / "KL.log").string());
  ASSERT_EQ(fromCiphered.Steps().size(), fromPlain.Steps().size());
  for (std::size_t i = 0; i < fromPlain.Steps().size(); ++i) {
    EXPECT_EQ(fromCiphered.Steps()[i].Bytes, fromPlain.Steps()[i].Bytes);
    EXPECT_EQ(fromCiphered.Steps()[i].LogLine, fromPlain.Steps()[i].LogLine);
  }
  EXPECT_EQ(fromCiphered.SkippedLines(), 1u);
  EXPECT_EQ(fromPlain.SkippedLines(), 0u);
  EXPECT_THROW(TReplayScript::FromFile((folder / "missing.log").string()), std::runtime_error);
  WriteFileBytes(folder / "empty.log", lines[0] + "\r\n");
  EXPECT_THROW(TReplayScript::FromFile((folder / "empty.log").string()), std::runtime_error);
}

class ReplayPlayer : public ::testing::Test {
protected:
  ReplayPlayer() : script_(TReplayScript::FromLines(TcpCommand())), player_(script_, wireLog_, report_) {}

  TReplayScript script_;
  TWireLog wireLog_{""};
  std::ostringstream report_;
  TReplayPlayer player_;
};

TEST_F(ReplayPlayer, AnswersEachRecordedFrameWithTheRegistersBytes) {
  player_.StartConnection();
  // The frame may come in pieces and the next one glued to it.
  EXPECT_EQ(player_.Receive(Bytes({0xE9, 0x00})).Bytes, "");
  EXPECT_TRUE(player_.HasPartialFrame());
  EXPECT_EQ(player_.Receive(Bytes({0x03, 0xEA, 0x2A})).Bytes, Bytes({0x12, 0x10, 0xF3, 0xDB}));
  const auto answer = player_.Receive(Bytes({0xD7, 0x00, 0x03, 0xDA, 0x1A, 0xD7, 0x06, 0xDD, 0x0F}));
  EXPECT_EQ(answer.Bytes, Bytes({0xD7, 0x10, 0xE7, 0x2B}));  // then silence, as recorded
  EXPECT_FALSE(answer.Drop);
  player_.EndConnection();
  EXPECT_EQ(player_.FramesMatched(), 3u);
  EXPECT_EQ(player_.Differences(), 0u);
  EXPECT_TRUE(player_.Finished());
  EXPECT_EQ(report_.str(), "");
}

TEST_F(ReplayPlayer, ReportsTheFirstFrameThatDiffersWithItsLogLine) {
  player_.StartConnection();
  player_.Receive(Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
  const auto answer = player_.Receive(Bytes({0xD7, 0x00, 0x04, 0xDA, 0x1A}));
  EXPECT_EQ(answer.Bytes, "") << "no answer to a frame that differs";
  EXPECT_EQ(report_.str(),
            "mervsim: replay: frame 2 differs from log line 8\n  log:    D7 00 03 DA 1A\n  module: D7 00 04 DA 1A\n");
  EXPECT_EQ(player_.Receive(Bytes({0xD7, 0x06, 0xDD, 0x0F})).Bytes, "") << "the connection stays unanswered";
  player_.EndConnection();
  EXPECT_EQ(player_.Differences(), 1u);
}

TEST_F(ReplayPlayer, ReportsAShortFrameWhenTheLineGoesQuiet) {
  player_.StartConnection();
  player_.Receive(Bytes({0xE9, 0x00, 0x03}));
  EXPECT_EQ(report_.str(), "");
  player_.LineQuiet();
  EXPECT_EQ(report_.str(),
            "mervsim: replay: frame 1 differs from log line 5\n  log:    E9 00 03 EA 2A\n  module: E9 00 03\n");
}

TEST_F(ReplayPlayer, ReportsAFrameBeyondTheLogAndALineClosedEarly) {
  player_.StartConnection();
  player_.Receive(Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
  player_.EndConnection();
  EXPECT_EQ(report_.str(),
            "mervsim: replay: frame 2 differs from log line 8\n  log:    D7 00 03 DA 1A\n"
            "  module: the module closed the line\n");
  report_.str("");
  // The next connection has no opening left in the log.
  player_.StartConnection();
  player_.Receive(Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
  EXPECT_EQ(report_.str(),
            "mervsim: replay: frame 2 is not in the log: the log's end has no frame of the module\n"
            "  log:    nothing more\n  module: E9 00 03 EA 2A\n");
  EXPECT_EQ(player_.Differences(), 2u);
}

TEST(ReplayPlayerLines, ClosesTheLineWhereTheRegisterClosedItAndGoesOnWithTheNextOpening) {
  auto lines = TcpCommand();
  lines[14] = At(1, "nacteno    0 bytu: ");  // closed: long before the 3 s time-out
  const auto next = TcpCommand();
  lines.insert(lines.end(), next.begin(), next.end());
  const TReplayScript script = TReplayScript::FromLines(lines);
  TWireLog wireLog("");
  std::ostringstream report;
  TReplayPlayer player(script, wireLog, report);
  player.StartConnection();
  player.Receive(Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A, 0xD7, 0x00, 0x03, 0xDA, 0x1A}));
  const auto closing = player.Receive(Bytes({0xD7, 0x06, 0xDD, 0x0F}));
  EXPECT_EQ(closing.Bytes, "");
  EXPECT_TRUE(closing.Drop);
  player.EndConnection();
  // The next connection plays the next opening, its first frame answered.
  player.StartConnection();
  EXPECT_EQ(player.Receive(Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A})).Bytes, Bytes({0x12, 0x10, 0xF3, 0xDB}));
  EXPECT_EQ(report.str(), "");
  EXPECT_EQ(player.FramesMatched(), 4u);
}

}  // namespace
