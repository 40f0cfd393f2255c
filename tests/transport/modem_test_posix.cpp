// The modem dialler against the emulator playing a Hayes modem on a
// pseudo-terminal: dialling, the modem's answers and failures, hanging up,
// and initialisation scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>

#include "base/kom_error.h"
#include "emulated_modem_line.h"
#include "port_test_support.h"
#include "scripted_com_line.h"
#include "test_support.h"
#include "transport/modem.h"
#include "transport/modem_line.h"

namespace {

using namespace std::chrono_literals;

/// A modem in memory: it sends `replies`, falling silent for one read at
/// each "|".
class TModemDouble : public TScriptedComLine {
public:
  explicit TModemDouble(std::string_view replies) : TScriptedComLine(replies, '|') {}
};

struct GuardAnswerCase {
  const char* name;
  std::string s12Answer;
  std::chrono::milliseconds guardTime;
};
void PrintTo(const GuardAnswerCase& answer, std::ostream* out) { *out << answer.name; }

class GuardAnswerTest : public ::testing::TestWithParam<GuardAnswerCase> {
protected:
  /// The modem outlives the line, which is destroyed first.
  std::optional<TModemDouble> modem_;
  TModemLine line_;
};

/// The settings of a modem on COM1 at 9600 bit/s that dials 5551234.
TNastaveni DialTestSettings() {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[ModemSlot] = 1;
  settings.BaudRate[ModemSlot] = 9600;
  settings.PhoneNumber = "5551234";
  return settings;
}

/// Opens the port of `modem` on `line`; the port keeps `settings`, which must
/// outlive it.
void OpenModemPort(TModemLine& modem, TComLayer& line, const TNastaveni& settings) {
  modem.Adopt(std::make_unique<TPort>(line));
  modem.Port()->Open(settings, ModemSlot);
}

// S12 is a byte: an answer outside 0..255 keeps the default guard time
// instead of overflowing it into a wait without end. The wait after CONNECT
// (two guard times) runs on the line's clock.
TEST_P(GuardAnswerTest, GuardTimeComesOnlyFromAnAnswerS12CanHold) {
  const std::string replies =
      "AT\rOK|AT&B1\rOK|ATS2?\r043OK|ATS12?\r" + GetParam().s12Answer + "OK|ATX3DT5551234\rCONNECT 9600|";
  TModemDouble& modem = modem_.emplace(replies);
  TNastaveni settings = DialTestSettings();
  settings.ToneDialling = true;
  OpenModemPort(line_, modem, settings);
  const auto start = modem.Now();
  ASSERT_NO_THROW(Dial(line_, settings, true));
  EXPECT_EQ(line_.State(), ModemStates::Connected);
  EXPECT_EQ(line_.GuardTime(), GetParam().guardTime);
  EXPECT_GE(modem.Now() - start, 2 * GetParam().guardTime);
}

INSTANTIATE_TEST_SUITE_P(S12Answers, GuardAnswerTest,
                         ::testing::Values(GuardAnswerCase{"Largest", "255", 255 * 20ms},
                                           GuardAnswerCase{"Zero", "000", 0ms},
                                           GuardAnswerCase{"OneTooMany", "256", DefaultGuardTime},
                                           GuardAnswerCase{"Overflowing", "999999999", DefaultGuardTime},
                                           GuardAnswerCase{"Negative", "-1", DefaultGuardTime}),
                         [](const ::testing::TestParamInfo<GuardAnswerCase>& param) { return param.param.name; });

/// A modem in memory that keeps every byte written to it.
class TRecordingModem : public TModemDouble {
public:
  using TModemDouble::TModemDouble;
  int sio_write(int port, const char* data, int length) override {
    written.append(data, static_cast<std::size_t>(length));
    return TModemDouble::sio_write(port, data, length);
  }
  std::string written;
};

// A CR in the number would end the dial command and start AT commands of the
// caller's own (AT&F&W): such a number reaches no modem at all, and its
// failure is no modem error a caller dials again. Dial modifiers pass.
TEST(ModemDouble, NumberWithAControlByteIsRefusedBeforeAnythingIsSent) {
  const std::vector<std::pair<std::string, std::string>> numbersAndHowRefused{{"5551234", ""},
                                                                              {"555-1234 W", ""},
                                                                              {"555\rAT&F", "555\\x0DAT&F"},
                                                                              {"555\n", "555\\x0A"},
                                                                              {"555\x7f", "555\\x7F"}};
  for (const auto& [number, refusedAs] : numbersAndHowRefused) {
    SCOPED_TRACE(refusedAs.empty() ? number : refusedAs);
    TRecordingModem modem("AT\rOK|AT&B1\rOK|ATS2?\r043OK|ATS12?\r000OK|ATX3DT" + number + "\rCONNECT 9600|");
    TNastaveni settings = DialTestSettings();
    settings.ToneDialling = true;
    settings.PhoneNumber = number;
    TModemLine line;
    OpenModemPort(line, modem, settings);
    int failure = 0;
    std::string message;
    try {
      Dial(line, settings, true);
    } catch (const std::exception& raised) {
      failure = FailureNumberOf(raised);
      message = raised.what();
    }
    const bool refused = !refusedAs.empty();
    EXPECT_EQ(failure, refused ? 10 : 0) << message;
    EXPECT_TRUE(!refused || message.find(refusedAs) != std::string::npos) << message;
    EXPECT_EQ(modem.written, refused ? "" : "AT\rAT&B1\rATS2?\rATS12?\rATX3DT" + number + "\r");
  }
}

/// The replies of a modem that echoes the dial command and answers no more.
constexpr std::string_view UnansweredDial = "AT\rOK|AT&B1\rOK|ATS2?\rERROR|ATS12?\rERROR|ATX3DP5551234\r";

struct FailedDialResult {
  int number;
  std::chrono::steady_clock::duration took;
};

/// Dials through `modem`, whose dial fails; the number of the failure and how
/// long the dial took on the line's clock. A failed dial releases the line.
FailedDialResult DialThatFails(TModemDouble& modem) {
  const TNastaveni settings = DialTestSettings();
  TModemLine line;
  OpenModemPort(line, modem, settings);
  const auto start = modem.Now();
  const int number = ErrorNumberRaisedBy([&] { Dial(line, settings, true); });
  EXPECT_EQ(line.Port(), nullptr);
  return {number, modem.Now() - start};
}

// A modem that echoes the dial command and then stays silent has not
// answered: the dial's time-out passes on the line's clock, not in real time.
TEST(ModemDouble, SilenceAfterTheDialCommandIsNoAnswer) {
  TModemDouble modem(UnansweredDial);
  const auto dial = DialThatFails(modem);
  EXPECT_EQ(dial.number, 36) << "an empty answer to the dial is another failure";
  EXPECT_GE(dial.took, std::chrono::seconds(90));
}

/// A modem that, once its replies are sent, sends one byte every 100 ms for
/// ever: a line that never falls quiet.
class TStreamingModem : public TModemDouble {
public:
  explicit TStreamingModem(std::string_view replies)
      : TModemDouble(replies),
        scripted_(replies.size() - static_cast<std::size_t>(std::count(replies.begin(), replies.end(), '|'))) {}

  int sio_read(int port, char* buffer, int length) override {
    if (scripted_ > 0) {
      const int count = TModemDouble::sio_read(port, buffer, length);
      scripted_ -= static_cast<std::size_t>(count);
      return count;
    }
    Pause(100);
    buffer[0] = 'x';
    return 1;
  }

private:
  std::size_t scripted_;
};

// Every answer collection ends at its call's own wait even while bytes keep
// coming: the dial at 90 s with "no answer" (33), an AT command at its second.
TEST(ModemDouble, ALineThatNeverFallsQuietEndsAtTheCallsWait) {
  TStreamingModem modem(UnansweredDial);
  const auto dial = DialThatFails(modem);
  EXPECT_EQ(dial.number, 33);
  EXPECT_GE(dial.took, std::chrono::seconds(90));
  // The failed dial hangs up: its "+++" guard waits and ATH0's own second.
  EXPECT_LT(dial.took, std::chrono::seconds(90 + 3 * 1 + 1 + 2)) << "the collection ran on past its wait";

  const TNastaveni settings = DialTestSettings();
  TStreamingModem chatty("");
  TPort port(chatty);
  port.Open(settings, ModemSlot);
  std::string answer;
  const auto before = chatty.Now();
  EXPECT_EQ(port.SendCommand("AT\r", 1000ms, false, false, answer), LineResult::NoAnswer);
  EXPECT_LE(chatty.Now() - before, std::chrono::milliseconds(1000 + 300));
  EXPECT_LE(answer.size(), 20u);
}

}  // namespace

#ifdef MERVSIM_EXE

namespace {

/// A guard time of 5 fiftieths keeps the waits after CONNECT short.
const std::vector<std::string> ShortGuard = {"--modem-s12", "5"};

class ModemTest : public ::testing::Test {
protected:
  void SetUp() override { UseDeviceAsModemCom(device_); }

  void StartModem(const std::string& answer, std::vector<std::string> options = {}) {
    std::vector<std::string> arguments{"--pty", "--link",          device_.string(), "--plu-count", "5",
                                       "--log", wireLog_.string(), "--modem",        answer};
    arguments.insert(arguments.end(), options.begin(), options.end());
    modem_ = std::make_unique<BackgroundProcess>(MERVSIM_EXE, arguments);
    ASSERT_NE(modem_->FirstLine().find("pty"), std::string::npos) << modem_->FirstLine();
  }

  /// Opens the modem line as the command processor does.
  void OpenLine() {
    TNastaveni settings = EmulatedModemSettings();
    settings.Timeout[ModemSlot] = 1000;
    OpenModemLine(line_, settings);
  }

  /// Dials; returns the failure's message, empty on success.
  /// The message of the dial's failure, empty when it connected; its
  /// number in dialFailure_.
  std::string DialModem() {
    OpenLine();
    dialFailure_ = 0;
    try {
      Dial(line_, line_.Settings(), true);
    } catch (const EKomError& failure) {
      dialFailure_ = failure.Number();
      return failure.what();
    }
    return {};
  }

  int dialFailure_ = 0;

  /// The emulator's notes about the modem and the calls, up to the first one
  /// that begins with `last` (the emulator may note more after it, such as the
  /// line closing), waiting for it to appear.
  std::vector<std::string> NotesUntil(const std::string& last) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      std::vector<std::string> notes;
      std::istringstream in(ReadFileBytes(wireLog_));
      for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("note modem")) continue;
        notes.push_back(line.substr(5));
        if (notes.back().starts_with(last)) return notes;
      }
      if (std::chrono::steady_clock::now() > deadline) return notes;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  LogCapture log_;
  TempDir folder_;
  std::filesystem::path device_ = folder_ / "modem";
  std::filesystem::path wireLog_ = folder_ / "wire.log";
  std::unique_ptr<BackgroundProcess> modem_;
  TModemLine line_;
};

TEST_F(ModemTest, ConnectedDialLeavesTheLineOpenUntilTheHangUp) {
  StartModem("connect", ShortGuard);
  EXPECT_EQ(DialModem(), "");
  EXPECT_EQ(line_.State(), ModemStates::Connected);
  ASSERT_NE(line_.Port(), nullptr);
  EXPECT_TRUE(line_.Port()->Opened());
  EXPECT_TRUE(line_.InUse());
  EXPECT_EQ(line_.EscapeChar(), "+");
  EXPECT_EQ(line_.GuardTime(), 100ms) << "S12 of 5 fiftieths";
  const auto messages = log_.Messages();
  EXPECT_TRUE(ContainsRun(messages, {"Vytacim modem", "posilam AT"}));

  HangUp(line_, true);
  EXPECT_EQ(line_.Port(), nullptr);
  EXPECT_EQ(line_.State(), ModemStates::HungUp);
  EXPECT_EQ(line_.GuardTime(), DefaultGuardTime);
  const auto notes = NotesUntil("modem call ended");
  ASSERT_GE(notes.size(), 2u);
  EXPECT_EQ(notes[notes.size() - 2], "modem escape: command mode, the call stays up");
  EXPECT_EQ(notes.back(), "modem call ended: ATH");
}

struct FailedDialCase {
  const char* name;
  std::string answer;
  std::vector<std::string> options;
  int number;
  std::string messageEnd;
};
void PrintTo(const FailedDialCase& dial, std::ostream* out) { *out << dial.name; }

class FailedDialTest : public ModemTest, public ::testing::WithParamInterface<FailedDialCase> {};

TEST_P(FailedDialTest, EndsWithItsNumberAndHangsUp) {
  const auto& param = GetParam();
  StartModem(param.answer, param.options);
  const std::string message = DialModem();
  EXPECT_EQ(dialFailure_, param.number) << message;
  EXPECT_TRUE(message.ends_with(param.messageEnd)) << message;
  EXPECT_EQ(line_.Port(), nullptr) << "a failed dial hangs up and releases the line";
  EXPECT_EQ(line_.State(), ModemStates::HungUp);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FailedDialTest,
    ::testing::Values(
        FailedDialCase{"Busy", "busy", {}, 34, Cp("Linka je obsazena.")},
        FailedDialCase{"NoCarrierWithReason", "no-carrier", {"--modem-s86", "8"}, 35, Cp("Spojení nenávázáno 008OK")},
        FailedDialCase{"NoDialtone", "no-dialtone", {}, 36, Cp("Jiná chyba modemu: NO DIALTONE")},
        FailedDialCase{"MuteModem", "mute", {}, 33, "Modem nekomunikuje"}),
    [](const ::testing::TestParamInfo<FailedDialCase>& param) { return param.param.name; });

struct RegisterAnswerCase {
  const char* name;
  std::vector<std::string> options;
  std::string escapeChar;
  std::chrono::milliseconds guardTime;
};
void PrintTo(const RegisterAnswerCase& answer, std::ostream* out) { *out << answer.name; }

class ModemRegisterTest : public ModemTest, public ::testing::WithParamInterface<RegisterAnswerCase> {};

TEST_P(ModemRegisterTest, EscapeAndGuardTimeComeFromTheModem) {
  StartModem("connect", GetParam().options);
  ASSERT_EQ(DialModem(), "");
  EXPECT_EQ(line_.EscapeChar(), GetParam().escapeChar);
  EXPECT_EQ(line_.GuardTime(), GetParam().guardTime);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, ModemRegisterTest,
    ::testing::Values(RegisterAnswerCase{"Plus", {"--modem-s2", "43", "--modem-s12", "5"}, "+", 100ms},
                      RegisterAnswerCase{"Minus", {"--modem-s2", "45", "--modem-s12", "5"}, "-", 100ms},
                      RegisterAnswerCase{"NoGuardTime", {"--modem-s12", "0"}, "+", 0ms}),
    [](const ::testing::TestParamInfo<RegisterAnswerCase>& param) { return param.param.name; });

TEST_F(ModemTest, ScriptCollectsEveryAnswerWithItsEcho) {
  StartModem("connect");
  OpenLine();
  WriteFileBytes(folder_ / "init.txt", "ATZ\r\nAT&D2 S7=60\r\nATS7?\r\n");
  EXPECT_EQ(RunModemScript(line_, (folder_ / "init.txt").string()), "ATZOK,AT&D2 S7=60OK,ATS7?060OK");
}

TEST_F(ModemTest, ScriptFailures) {
  StartModem("mute");
  OpenLine();
  WriteFileBytes(folder_ / "init.txt", "ATZ\r\n");
  EXPECT_EQ(ErrorNumberRaisedBy([this] { RunModemScript(line_, (folder_ / "init.txt").string()); }), 36);
  EXPECT_EQ(ErrorNumberRaisedBy([this] { RunModemScript(line_, (folder_ / "missing.txt").string()); }), 10);
}

TEST_F(ModemTest, HangUpWithoutLineDoesNothing) {
  HangUp(line_, true);
  EXPECT_EQ(line_.Port(), nullptr);
  EXPECT_EQ(line_.State(), ModemStates::Initial);
  EXPECT_TRUE(log_.Messages().empty());
}

}  // namespace

#endif
