// The port as a COM line: against an in-memory serial layer whose switches
// make it fail, time out or deliver short, and end to end over a pseudo-terminal.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <set>
#include <thread>
#include <variant>

#include "base/kom_error.h"
#include "port_test_support.h"
#include "transport/port.h"

namespace {

using namespace std::chrono_literals;

/// A serial layer in memory. Each sio_read takes the next scripted answer
/// (bytes, or a negative code); with the script empty nothing arrives.
/// Calls on a line that is not open answer BadPort, as the library does.
class TFakeComLayer final : public TComLayer {
public:
  int openResult = 0, ioctlResult = 0, flowResult = 0, flushResult = 0;
  int writeTimeoutsResult = 0, readTimeoutsResult = 0;
  std::optional<int> writeResult;  // else all bytes go out
  std::deque<std::variant<std::string, int>> reads;
  std::vector<std::string> calls;
  std::string written;

  int sio_open(int port) override {
    Record("open", {port});
    if (openResult == 0) open_.insert(port);
    return openResult;
  }
  int sio_ioctl(int port, int baud, int mode) override { return Call("ioctl", {port, baud, mode}, ioctlResult); }
  int sio_flowctrl(int port, int mode) override { return Call("flowctrl", {port, mode}, flowResult); }
  int sio_SetWriteTimeouts(int port, std::int32_t total) override {
    return Call("writetimeouts", {port, total}, writeTimeoutsResult);
  }
  int sio_write(int port, const char* data, int length) override {
    if (Call("write", {port, length}, 0) != 0) return ComResult::BadPort;
    written.append(data, static_cast<std::size_t>(length));
    return writeResult.value_or(length);
  }
  int sio_SetReadTimeouts(int port, std::int32_t total, std::int32_t interval) override {
    return Call("readtimeouts", {port, total, interval}, readTimeoutsResult);
  }
  int sio_read(int port, char* buffer, int length) override {
    if (Call("read", {port, length}, 0) != 0) return ComResult::BadPort;
    if (reads.empty()) return 0;
    const auto next = reads.front();
    reads.pop_front();
    if (std::holds_alternative<int>(next)) return std::get<int>(next);
    const std::string bytes = std::get<std::string>(next).substr(0, static_cast<std::size_t>(length));
    bytes.copy(buffer, bytes.size());
    return static_cast<int>(bytes.size());
  }
  int sio_flush(int port, int selector) override { return Call("flush", {port, selector}, flushResult); }
  int sio_close(int port) override {
    const int result = Call("close", {port}, 0);
    open_.erase(port);
    return result;
  }

  int CountOf(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

private:
  void Record(const std::string& name, std::initializer_list<int> arguments) {
    std::string call = name;
    for (const int argument : arguments) call += " " + std::to_string(argument);
    calls.push_back(call);
  }
  int Call(const std::string& name, std::initializer_list<int> arguments, int result) {
    Record(name, arguments);
    return open_.count(*arguments.begin()) != 0 ? result : ComResult::BadPort;
  }
  std::set<int> open_;
};

void ExpectGeneralFailure(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no failure, expected " << message;
  } catch (const EKomError& failure) {
    ADD_FAILURE() << "numbered failure " << failure.what() << ", expected a general one";
  } catch (const std::runtime_error& failure) {
    EXPECT_EQ(std::string(failure.what()), message);
  }
}

/// Line slot `slot` on COM port `comPort` at `baudRate` bit/s.
void UseComPort(TNastaveni& settings, int slot, std::uint8_t comPort, std::int32_t baudRate) {
  settings.ComPort[slot] = comPort;
  settings.BaudRate[slot] = baudRate;
}

class PortCom : public ::testing::Test {
protected:
  PortCom() {
    UseComPort(settings, 1, 2, 19200);
    UseComPort(settings, 3, 4, 9600);
  }
  void OpenSlot(std::uint8_t slot) { OpenSlot(port, slot); }
  void OpenSlot(TPort& line, std::uint8_t slot) {
    line.Open(settings, slot);
    com.calls.clear();
    log.Clear();
  }

  LogCapture log;
  TNastaveni settings = TNastaveni::CommandDefaults();
  TFakeComLayer com;
  TPort port{com};
  std::string answer;
};

// --- Open and close ---------------------------------------------------------

TEST_F(PortCom, UnknownBaudRateFailsBeforeTheLibraryIsCalled) {
  settings.BaudRate[1] = 14400;
  ExpectGeneralFailure([&] { port.Open(settings, 1); }, "Unknown baud rate.");
  EXPECT_TRUE(com.calls.empty());
  EXPECT_FALSE(port.Opened());
}

TEST_F(PortCom, OpenLogsEachStepWithSpeedCodeAndLineMode) {
  settings.Parity[1] = 'E';
  settings.DataBits[1] = 7;
  settings.StopBits[1] = 2;
  port.Open(settings, 1);
  EXPECT_TRUE(port.Opened());
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"Otevreni portu 1", "rychlost 19200 = 13", "sio_open: 2",
                                                      "sio_ioctl: 13 30", "sio_flowctrl 3"}));
  EXPECT_EQ(com.calls, (std::vector<std::string>{"open 2", "ioctl 2 13 30", "flowctrl 2 3"}));
}

TEST_F(PortCom, FlowModeIsTheCallersOrTheSlotsDefault) {
  struct Case {
    std::uint8_t slot;
    bool flowSlot2;
    int requested;
    std::string expected;
  };
  settings.BaudRate[2] = 9600;
  settings.ComPort[2] = 3;
  for (const Case& c :
       {Case{1, false, -1, "flowctrl 2 3"}, Case{1, false, 0, "flowctrl 2 0"}, Case{3, false, -1, "flowctrl 4 3"},
        Case{2, false, -1, "flowctrl 3 0"}, Case{2, true, -1, "flowctrl 3 3"}}) {
    settings.FlowSlot2 = c.flowSlot2;
    TPort fresh(com);
    fresh.Open(settings, c.slot, c.requested);
    EXPECT_EQ(com.calls.back(), c.expected) << "slot " << int(c.slot) << " flow " << c.requested;
  }
}

TEST_F(PortCom, FailedOpenStepsAreLoggedThenRaised) {
  com.openResult = -5;
  ExpectGeneralFailure([&] { port.Open(settings, 1); }, "sio_open: -5");
  EXPECT_EQ(log.Messages().back(), "ERROR sio_open: -5");
  EXPECT_FALSE(port.Opened());

  com.openResult = 0;
  com.ioctlResult = -7;
  ExpectGeneralFailure([&] { port.Open(settings, 1); }, "sio_ioctl: -7");
  EXPECT_EQ(log.Messages().back(), "ERROR sio_ioctl: -7");
  EXPECT_TRUE(port.Opened());  // the line is open; closing is the caller's choice
  port.Close();
  EXPECT_EQ(com.calls.back(), "close 2");

  com.ioctlResult = 0;
  com.flowResult = -8;
  ExpectGeneralFailure([&] { port.Open(settings, 1); }, "sio_flowctrl: -8");
  EXPECT_EQ(log.Messages().back(), "ERROR sio_flowctrl: -8");
}

TEST_F(PortCom, CloseReleasesTheLineOnceAndDestroyCloses) {
  port.Close();
  EXPECT_EQ(com.CountOf("close 2"), 0);
  {
    TPort scoped(com);
    scoped.Open(settings, 1);
  }
  EXPECT_EQ(com.CountOf("close 2"), 1);
  OpenSlot(1);
  port.Close();
  port.Close();
  EXPECT_EQ(com.CountOf("close 2"), 1);
  EXPECT_FALSE(port.Opened());
}

// --- Reading ----------------------------------------------------------------

TEST_F(PortCom, ShortReadOnTheRegisterLineMakesNoExtraReads) {
  OpenSlot(1);
  com.reads = {std::string("\x01\x02\x03")};
  EXPECT_EQ(port.Read(answer, 4, true), LineResult::Done);
  EXPECT_EQ(answer, "\x01\x02\x03");
  EXPECT_EQ(com.calls, (std::vector<std::string>{"readtimeouts 2 4000 0", "read 2 4"}));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"cteni 4 bytu", "nacteno    3 bytu: 01 02 03 "}));
}

TEST_F(PortCom, ShortReadOnTheModemLineAsksFiveMoreTimes) {
  OpenSlot(3);
  com.reads = {std::string("\x01\x02\x03")};
  EXPECT_EQ(port.Read(answer, 4, true, 100ms), LineResult::Done);
  EXPECT_EQ(answer, "\x01\x02\x03");
  EXPECT_EQ(com.CountOf("read 4 1"), 5);
  const auto lines = log.Messages();
  EXPECT_TRUE(ContainsRun(lines, {"1. dodatecne cteni 1 bytu", "nacteno    0 bytu: ", "2. dodatecne cteni 1 bytu"}));
  EXPECT_EQ(CountOf(lines, "5. dodatecne cteni 1 bytu"), 1);
  EXPECT_EQ(lines.back(), "celk.nact. 3 bytu: 01 02 03 ");
}

TEST_F(PortCom, ExtraReadsStopOnceTheFrameIsComplete) {
  OpenSlot(3);
  com.reads = {std::string("\x01"), std::string("\x02"), std::string("\x03\x04")};
  EXPECT_EQ(port.Read(answer, 4, true), LineResult::Done);
  EXPECT_EQ(answer, "\x01\x02\x03\x04");
  EXPECT_EQ(com.calls, (std::vector<std::string>{"readtimeouts 4 12000 0", "read 4 4", "read 4 3", "read 4 2"}));
  const auto lines = log.Messages();
  EXPECT_TRUE(ContainsRun(lines, {"2. dodatecne cteni 2 bytu", "nacteno    2 bytu: 03 04 ",
                                  "celk.nact. 4 bytu: 01 02 03 04 "}));
}

TEST_F(PortCom, ModemLineMakesNoExtraReadsWhenNotAllowedOrWhenNothingCame) {
  OpenSlot(3);
  com.reads = {std::string("\x01")};
  EXPECT_EQ(port.Read(answer, 4, false), LineResult::Done);
  EXPECT_EQ(port.Read(answer, 4, true), LineResult::NoAnswer);
  EXPECT_EQ(com.CountOf("read 4 4"), 2);
  EXPECT_EQ(com.calls.size(), 4u);
}

TEST_F(PortCom, NothingReceivedGivesResultTwo) {
  OpenSlot(1);
  EXPECT_EQ(port.Read(answer, 4, true), LineResult::NoAnswer);
  EXPECT_TRUE(answer.empty());
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"cteni 4 bytu", "nacteno    0 bytu: "}));
}

TEST_F(PortCom, ReadTimeOutIsTheArgumentUnlessNegative) {
  OpenSlot(1);
  port.Read(answer, 1, false, 0ms);
  port.Read(answer, 1, false, 150ms);
  port.Read(answer, 1, false, -5ms);
  EXPECT_EQ(com.CountOf("readtimeouts 2 0 0"), 1);
  EXPECT_EQ(com.CountOf("readtimeouts 2 150 0"), 1);
  EXPECT_EQ(com.CountOf("readtimeouts 2 4000 0"), 1);
}

TEST_F(PortCom, LibraryReadFailuresAreRaisedWithTheirCode) {
  ExpectGeneralFailure([&] { port.Read(answer, 1, false); }, "sio_SetReadTimeouts: -1");  // never opened
  OpenSlot(1);
  com.reads = {-4};
  ExpectGeneralFailure([&] { port.Read(answer, 1, false); }, "sio_read: -4");
  com.readTimeoutsResult = -8;
  ExpectGeneralFailure([&] { port.Read(answer, 1, false); }, "sio_SetReadTimeouts: -8");
  EXPECT_THROW(port.Read(answer, -1, false), std::invalid_argument);
}

// --- Writing ----------------------------------------------------------------

TEST_F(PortCom, WriteLogsTheBytesAndSendsThemUnchanged) {
  OpenSlot(1);
  EXPECT_EQ(port.Write(std::string("\x01\xFF\x02", 3)), LineResult::Done);
  EXPECT_EQ(com.written, std::string("\x01\xFF\x02", 3));
  EXPECT_EQ(com.calls.front(), "writetimeouts 2 4000");
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"write: 01 FF 02 "}));
}

TEST_F(PortCom, WriteTimeOutGivesResultTwoOtherErrorsRaise) {
  ExpectGeneralFailure([&] { port.Write("x"); }, "sio_SetWriteTimeouts: -1");  // never opened
  OpenSlot(1);
  com.writeResult = ComResult::WriteTimeout;
  EXPECT_EQ(port.Write("x"), LineResult::NoAnswer);
  com.writeResult = -1;
  ExpectGeneralFailure([&] { port.Write("x"); }, "sio_write: -1");
  com.writeTimeoutsResult = -8;
  ExpectGeneralFailure([&] { port.Write("x"); }, "sio_SetWriteTimeouts: -8");
}

TEST_F(PortCom, WriteReadDoesNotReadAfterAWriteTimeOut) {
  OpenSlot(1);
  com.writeResult = ComResult::WriteTimeout;
  answer = "stale";
  EXPECT_EQ(port.WriteRead("\x05", answer, 4), LineResult::NoAnswer);
  EXPECT_EQ(com.CountOf("read 2 4"), 0);
  EXPECT_TRUE(answer.empty());
  com.writeResult.reset();
  com.reads = {std::string("\x06\x00\x00\x06", 4)};
  EXPECT_EQ(port.WriteRead("\x05", answer, 4, 70ms), LineResult::Done);
  EXPECT_EQ(answer, std::string("\x06\x00\x00\x06", 4));
  EXPECT_EQ(com.CountOf("readtimeouts 2 70 0"), 1);
}

TEST_F(PortCom, EveryWriteFollowsThePauseOfQuietOnTheLine) {
  // Each interval starts before the activity that opens it, so the lower bounds hold
  // however the scheduler delays the test itself.
  TPort paused{com, {30ms}};
  OpenSlot(paused, 1);
  const auto beforeFirstWrite = std::chrono::steady_clock::now();
  paused.Write("a");
  paused.Write("b");
  const auto betweenWrites = std::chrono::steady_clock::now() - beforeFirstWrite;
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  const auto beforeRead = std::chrono::steady_clock::now();
  paused.Read(answer, 1, false, 0ms);
  paused.Write("c");
  const auto readToWrite = std::chrono::steady_clock::now() - beforeRead;
  EXPECT_GE(betweenWrites, std::chrono::milliseconds(30));
  EXPECT_GE(readToWrite, std::chrono::milliseconds(30)) << "a read is line activity too";
}

TEST_F(PortCom, TimeSpentSinceTheLineWasUsedCountsTowardsThePause) {
  TPort paused{com, {300ms}};
  OpenSlot(paused, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(320));
  const auto start = std::chrono::steady_clock::now();
  paused.Write("a");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Paying the pause again would take the whole 300 ms after the clock started.
  EXPECT_LT(elapsed, std::chrono::milliseconds(300)) << "the line was quiet long enough already";
}

// --- Modem commands and flushing -------------------------------------------

TEST_F(PortCom, SendCommandChecksTheEchoAndKeepsThePrintableAnswer) {
  OpenSlot(3);
  com.reads = {std::string("AT\r"), std::string(),    std::string("\r"), std::string("\n"),
               std::string("O"),    std::string("K"), std::string("\r"), std::string("\n")};
  EXPECT_EQ(port.SendCommand("AT\r", 1000ms, true, true, answer), LineResult::Done);
  EXPECT_EQ(answer, "OK");
  EXPECT_EQ(com.written, "AT\r");
  EXPECT_EQ(com.CountOf("readtimeouts 4 1000 0"), 1);  // the echo
  EXPECT_EQ(com.CountOf("readtimeouts 4 200 0"), 8);   // single bytes, the last one missing
}

TEST_F(PortCom, SendCommandWithADifferentEchoGivesResultThree) {
  OpenSlot(3);
  com.reads = {std::string("AX\r")};
  EXPECT_EQ(port.SendCommand("AT\r", 0ms, false, true, answer), LineResult::EchoDiffers);
}

TEST_F(PortCom, SendCommandWithoutAnAnswerStillSucceeds) {
  OpenSlot(3);
  com.reads = {std::string("AT\r")};
  answer = "old";
  EXPECT_EQ(port.SendCommand("AT\r", 0ms, false, true, answer), LineResult::Done);
  EXPECT_EQ(answer, "");
  com.reads = {std::string("AT\r")};
  EXPECT_EQ(port.SendCommand("AT\r", 0ms, false, false, answer), LineResult::Done);
  EXPECT_EQ(answer, "AT\r");  // unchecked, the echo opens the answer
}

TEST_F(PortCom, SendCommandWithoutEvenAnEchoReportsNoAnswer) {
  OpenSlot(3);
  EXPECT_EQ(port.SendCommand("AT\r", 0ms, false, true, answer), LineResult::NoAnswer);
  com.writeResult = ComResult::WriteTimeout;
  EXPECT_EQ(port.SendCommand("AT\r", 0ms, false, true, answer), LineResult::NoAnswer);
}

TEST_F(PortCom, FlushEmptiesBothDirections) {
  ExpectGeneralFailure([&] { port.Flush(); }, "sio_flush: -1");  // never opened
  OpenSlot(1);
  port.Flush();
  EXPECT_EQ(com.calls, (std::vector<std::string>{"flush 2 2"}));
  com.flushResult = -8;
  ExpectGeneralFailure([&] { port.Flush(); }, "sio_flush: -8");
}

// --- End to end over a pseudo-terminal -------------------------------------

class PortOnPty : public ::testing::Test {
protected:
  PortOnPty() {
    UseComPort(settings, 1, 11, 19200);
    settings.Timeout[1] = 100;
    UseComPort(settings, 3, 11, 9600);
    settings.Timeout[3] = 20;
  }
  LogCapture log;
  PtyPeer pty{11};
  TNastaveni settings = TNastaveni::CommandDefaults();
  TPort port;
  std::string answer;
};

TEST_F(PortOnPty, ExchangesFramesWithThePeer) {
  port.Open(settings, 1);
  ASSERT_TRUE(port.Opened());
  pty.Send(std::string("\x06\x00\x00", 3));
  EXPECT_EQ(port.WriteRead("\x05\x01", answer, 4), LineResult::Done);
  EXPECT_EQ(pty.Receive(2), "\x05\x01");
  EXPECT_EQ(answer, std::string("\x06\x00\x00", 3));
  EXPECT_EQ(port.Read(answer, 4, true, 20ms), LineResult::NoAnswer);
  port.Close();
  EXPECT_FALSE(port.Opened());
}

TEST_F(PortOnPty, ModemLineReadsAgainForTheMissingBytes) {
  port.Open(settings, 3);
  pty.Send("\x01\x02\x03");
  EXPECT_EQ(port.Read(answer, 4, true), LineResult::Done);
  EXPECT_EQ(answer, "\x01\x02\x03");
  const auto lines = log.Messages();
  EXPECT_EQ(CountOf(lines, "5. dodatecne cteni 1 bytu"), 1);
  EXPECT_EQ(lines.back(), "celk.nact. 3 bytu: 01 02 03 ");
}

TEST_F(PortOnPty, ModemCommandReadsEchoAndAnswer) {
  port.Open(settings, 3);
  pty.Send("ATI\r\r\nMERV\r\n");
  EXPECT_EQ(port.SendCommand("ATI\r", 100ms, false, true, answer), LineResult::Done);
  EXPECT_EQ(answer, "MERV");
  EXPECT_EQ(pty.Receive(4), "ATI\r");
  port.Flush();
}

}  // namespace
