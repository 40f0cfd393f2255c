// The port over TCP/IP: against a loopback listener playing the register,
// and against a scripted socket for the branches a real one rarely takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/communication_log.h"
#include "port_test_support.h"
#include "transport/ff_doubling_line.h"
#include "transport/port.h"
#include "transport/tcp_line.h"

namespace {

using namespace std::chrono_literals;

TNastaveni TcpSettings(int ipPort) {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.UseTcp = true;
  settings.IpAddress = "127.000.000.001";
  settings.IpPort = ipPort;
  settings.Timeout[1] = 300;
  return settings;
}

void ExpectFailureStartingWith(const std::function<void()>& action, const std::string& messageStart) {
  try {
    action();
    ADD_FAILURE() << "no failure, expected " << messageStart;
  } catch (const std::runtime_error& failure) {
    EXPECT_EQ(std::string(failure.what()).substr(0, messageStart.size()), messageStart) << failure.what();
  }
}

class PortTcp : public ::testing::Test {
protected:
  void Connect(int ipPort = 0) { Connect(port, ipPort); }
  void Connect(TPort& line, int ipPort = 0) {
    settings = TcpSettings(ipPort != 0 ? ipPort : peer->Port());
    line.Open(settings, 1);
    ASSERT_TRUE(line.Opened());
    peer->Accept();
    log.Clear();
  }

  LogCapture log;
  std::unique_ptr<LoopbackPeer> peer = std::make_unique<LoopbackPeer>();
  TNastaveni settings;
  TPort port;
  std::string answer;
};

TEST_F(PortTcp, OpenConnectsToTheNormalisedAddressAndLogsEachStep) {
  settings = TcpSettings(peer->Port());
  port.Open(settings, 1);
  EXPECT_TRUE(port.Opened());
  const std::string portText = std::to_string(peer->Port());
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"Otevreni portu 1", "TCPIP: 127.000.000.001 (127.0.0.1) " + portText,
                                      "Set Address", "Set Port", "Set Blocking", "Set Active", "TCPIP Lookup",
                                      "TCPIP Connecting", "TCPIP Connect", "Test Active", "Create SocketStream",
                                      "Created SocketStream"}));
}

TEST_F(PortTcp, ConnectToAClosedPortRaisesOpenTcpip) {
  const int closedPort = peer->Port();
  peer->StopListening();
  settings = TcpSettings(closedPort);
  ExpectFailureStartingWith([&] { port.Open(settings, 1); }, "Open TCPIP: Socket error: ");
  EXPECT_FALSE(port.Opened());
  const auto lines = log.Messages();
  EXPECT_EQ(CountOf(lines, "TCPIP Error:" + std::to_string(ECONNREFUSED)), 1);
  EXPECT_EQ(lines.back().substr(0, 12), "Open TCPIP: ");
}

TEST_F(PortTcp, ShortReadGivesResultOne) {
  Connect();
  peer->Send("\x01\x02\x03");
  EXPECT_EQ(port.Read(answer, 4, true, 50ms), LineResult::ShortRead);
  EXPECT_EQ(answer, "\x01\x02\x03");
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"cteni 4 bytu", "nacteno    3 bytu: 01 02 03 "}));
  peer->Send("\x04\x05");
  EXPECT_EQ(port.WriteRead("\x05", answer, 2), LineResult::Done);
  EXPECT_EQ(answer, "\x04\x05");
  EXPECT_EQ(peer->Receive(1), "\x05");
}

// Reads of every size around the stream's pieces and receives hand out the
// bytes in order, each read exactly as many as asked for.
TEST_F(PortTcp, ReadsOfAnySizeTakeTheirBytesInOrderAndNoMore) {
  Connect();
  const std::vector<std::size_t> reads = {1, 255, 256, 257, 3583, 4096, 4097, 1};
  std::string sent;
  for (std::size_t i = 0; i < 12'546; ++i) sent += static_cast<char>(i * 7 % 251);
  peer->Send(sent);
  std::size_t at = 0;
  for (const std::size_t count : reads) {
    ASSERT_EQ(port.Read(answer, static_cast<int>(count), true, 1000ms), LineResult::Done) << count;
    EXPECT_EQ(answer, sent.substr(at, count)) << "read of " << count << " from " << at;
    at += count;
  }
  ASSERT_EQ(at, sent.size());
  EXPECT_EQ(port.Read(answer, 1, true, 20ms), LineResult::ShortRead);
  EXPECT_EQ(answer, "");
}

TEST_F(PortTcp, PauseCountsFromWhenTheBytesCameInNotFromWhenTheyWereHandedOut) {
  TPort paused{TLineOptions{300ms}};
  Connect(paused);
  peer->Send("\x01\x02\x03\x04\x05\x06\x07\x08");
  ASSERT_EQ(paused.Read(answer, 4, true, 1000ms), LineResult::Done);
  // Whatever the module does before it reads the rest of the frame (logging,
  // decoding) happens while the line is already quiet.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(paused.Read(answer, 4, true, 1000ms), LineResult::Done);
  ASSERT_EQ(answer, "\x05\x06\x07\x08") << "the rest came with the first receive";
  const auto start = std::chrono::steady_clock::now();
  paused.Write("\x06");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Counting from the second read would take nearly the whole 300 ms.
  EXPECT_LT(elapsed, std::chrono::milliseconds(150));
  EXPECT_EQ(peer->Receive(1), "\x06");
}

TEST_F(PortTcp, ReceivedBytesRenewThePause) {
  TPort paused{TLineOptions{30ms}};
  Connect(paused);
  paused.Write("\x05");
  ASSERT_EQ(peer->Receive(1), "\x05");
  const auto beforeAnswer = std::chrono::steady_clock::now();
  peer->Send("\x06");
  ASSERT_EQ(paused.Read(answer, 1, true, 1000ms), LineResult::Done);
  paused.Write("\x06");
  const auto elapsed = std::chrono::steady_clock::now() - beforeAnswer;
  EXPECT_GE(elapsed, std::chrono::milliseconds(30)) << "the answer is line activity";
}

TEST_F(PortTcp, PortsFrom14000To14009DoubleFfBothWays) {
  peer = std::make_unique<LoopbackPeer>(14005);
  if (!peer->Listening()) GTEST_SKIP() << "127.0.0.1:14005 is taken on this machine";
  Connect(14005);
  EXPECT_EQ(port.Write(std::string("\x01\xFF\x02", 3)), LineResult::Done);
  EXPECT_EQ(peer->Receive(5, 200), std::string("\x01\xFF\xFF\x02", 4));
  EXPECT_EQ(log.Messages().front(), "write: 01 FF 02 ");

  peer->Send(std::string("\xFF\xFF\x03", 3));
  EXPECT_EQ(port.Read(answer, 2, false, 100ms), LineResult::Done);
  EXPECT_EQ(answer, std::string("\xFF\x03", 2));
  // An FFh that ends the frame still takes its copy off the line.
  peer->Send(std::string("\xFF\xFF\x07", 3));
  EXPECT_EQ(port.Read(answer, 1, false, 100ms), LineResult::Done);
  EXPECT_EQ(answer, "\xFF");
  EXPECT_EQ(port.Read(answer, 1, false, 100ms), LineResult::Done);
  EXPECT_EQ(answer, "\x07");
  // A malformed pair FF x: the byte after the FFh is taken for its copy.
  peer->Send(std::string("\xFF\x03\x04", 3));
  EXPECT_EQ(port.Read(answer, 2, false, 100ms), LineResult::Done);
  EXPECT_EQ(answer, std::string("\xFF\x04", 2));
}

TEST_F(PortTcp, OtherPortsSendAndReadFfUnchanged) {
  peer = std::make_unique<LoopbackPeer>(15000);
  if (!peer->Listening()) GTEST_SKIP() << "127.0.0.1:15000 is taken on this machine";
  Connect(15000);
  port.Write(std::string("\x01\xFF\x02", 3));
  EXPECT_EQ(peer->Receive(4, 100), std::string("\x01\xFF\x02", 3));
  peer->Send(std::string("\xFF\xFF\x03", 3));
  EXPECT_EQ(port.Read(answer, 2, false, 100ms), LineResult::Done);
  EXPECT_EQ(answer, std::string("\xFF\xFF", 2));
}

TEST_F(PortTcp, CloseWaitsTheDelayAroundTheSocketClose) {
  Connect();
  settings.TcpCloseDelay = 5;
  port.Close();
  EXPECT_FALSE(port.Opened());
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"TCPIP closing - delay 5 ms", "SocketStream free",
                                                      "ClientSocket Close", "TCPIP Disconnect", "ClientSocket closed",
                                                      "ClientSocket free", "TCPIP closed - delay 5 ms"}));
  EXPECT_EQ(peer->Receive(1, 200), "");  // the peer sees the end of the connection
}

TEST_F(PortTcp, PortThatIsNotOpenRaisesSocketFailures) {
  settings = TcpSettings(peer->Port());
  port.Open(settings, 1);
  port.Close();
  ExpectFailureStartingWith([&] { port.Write("x"); }, "SocketWrite: ");
  ExpectFailureStartingWith([&] { port.Read(answer, 1, false); }, "SocketRead: ");
  ExpectFailureStartingWith([&] { port.WriteRead("x", answer, 1); }, "SocketWrite: ");
}

TEST_F(PortTcp, SendCommandAndFlushDoNothing) {
  Connect();
  answer = "kept";
  EXPECT_EQ(port.SendCommand("AT\r", 100ms, false, true, answer), LineResult::Done);
  port.Flush();
  EXPECT_EQ(answer, "kept");
  EXPECT_TRUE(log.Messages().empty());
  EXPECT_EQ(peer->Receive(1, 50), "");
}

TEST_F(PortTcp, ModemSlotIsAlwaysACommandLine) {
  settings = TcpSettings(peer->Port());
  settings.BaudRate[3] = 14400;
  ExpectFailureStartingWith([&] { port.Open(settings, 3); }, "Unknown baud rate.");
}

// --- A peer that sends slowly -------------------------------------------------

struct TrickleCase {
  const char* name;
  bool doubled;
  /// What the peer sends, each piece after the pause before it.
  std::vector<std::pair<std::chrono::milliseconds, std::string>> pieces;
  std::size_t count;
};
void PrintTo(const TrickleCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::pair<std::chrono::milliseconds, std::string>> OneByteEvery60Ms() {
  return std::vector<std::pair<std::chrono::milliseconds, std::string>>(10, {60ms, "\x01"});
}

class TcpLineUnderATricklingPeer : public ::testing::TestWithParam<TrickleCase> {};

// A read ends when its wait is over, however the bytes come: a peer that
// sends each piece just within the wait cannot stretch one read to many
// waits, neither on the plain line nor on the FFh-doubling one, whose reads
// of the wire share the one wait (the last case is met in time by every
// wire read that restarted it).
TEST_P(TcpLineUnderATricklingPeer, AReadEndsShortWithinItsWait) {
  const auto& c = GetParam();
  const LogCapture log;
  LoopbackPeer peer;
  ASSERT_TRUE(peer.Listening());
  const TNastaveni settings = TcpSettings(peer.Port());
  auto tcp = std::make_unique<TTcpLine>(settings, CreateClientSocket);
  TTcpLine& connection = *tcp;
  std::unique_ptr<TLineBackend> line;
  if (c.doubled) {
    line = std::make_unique<TFfDoublingLine>(std::move(tcp));
  } else {
    line = std::move(tcp);
  }
  connection.Connect();
  peer.Accept();
  const std::jthread sender([&](const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any pause;
    std::unique_lock lock(mutex);
    for (const auto& [before, bytes] : c.pieces) {
      pause.wait_for(lock, stop, before, [] { return false; });
      if (stop.stop_requested()) return;
      peer.Send(bytes);
    }
  });
  constexpr auto Wait = 200ms;
  const auto start = std::chrono::steady_clock::now();
  std::string answer;
  EXPECT_EQ(line->Read(answer, c.count, false, Wait), LineResult::ShortRead) << answer.size() << " bytes came";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5 * Wait);
}

INSTANTIATE_TEST_SUITE_P(Lines, TcpLineUnderATricklingPeer,
                         ::testing::Values(TrickleCase{"Plain", false, OneByteEvery60Ms(), 10},
                                           TrickleCase{"Doubling", true, OneByteEvery60Ms(), 10},
                                           TrickleCase{"DoublingFedPairsJustInTime",
                                                       true,
                                                       {{150ms, std::string(8, '\xFF')},
                                                        {150ms, std::string(4, '\xFF')},
                                                        {150ms, std::string(2, '\xFF')},
                                                        {150ms, "\x01"}},
                                                       8}),
                         [](const ::testing::TestParamInfo<TrickleCase>& param) { return param.param.name; });

// --- Scripted socket --------------------------------------------------------

struct SocketScript {
  bool activeAfterConnect = true;
  int closesThatFail = 0;  // Close() throws this many times
  int closesThatLeaveActive = 0;
  bool receiveFails = false;
  std::vector<int> receiveWaits;
  int sockets = 0;
};

class TScriptedSocket final : public TClientSocket {
public:
  explicit TScriptedSocket(SocketScript& script) : script_(script) { ++script_.sockets; }
  void SetEvents(TSocketEvents) override {}
  void SetAddress(const std::string&) override {}
  void SetPort(int) override {}
  void Connect(int) override { active_ = script_.activeAfterConnect; }
  bool Active() const override { return active_; }
  void Close() override {
    if (script_.closesThatFail > 0 && script_.closesThatFail--) throw std::runtime_error("close refused");
    if (script_.closesThatLeaveActive > 0 && script_.closesThatLeaveActive--) return;
    active_ = false;
  }
  int Receive(char*, int, int timeoutMs) override {
    script_.receiveWaits.push_back(timeoutMs);
    if (script_.receiveFails) throw std::runtime_error("connection reset");
    return 0;
  }
  std::chrono::steady_clock::time_point LastArrival() const override { return {}; }
  void Send(std::string_view, int) override {}

private:
  SocketScript& script_;
  bool active_ = false;
};

class PortOnScriptedSocket : public ::testing::Test {
protected:
  LogCapture log;
  SocketScript script;
  TNastaveni settings = TcpSettings(15000);
  TPort port{SystemComLayer(), {}, [this] { return std::make_unique<TScriptedSocket>(script); }};
  std::string answer;
};

TEST_F(PortOnScriptedSocket, SocketThatDoesNotConnectLeavesThePortClosedQuietly) {
  script.activeAfterConnect = false;
  port.Open(settings, 1);
  EXPECT_FALSE(port.Opened());
  EXPECT_EQ(log.Messages().back(), "Test Active");
}

TEST_F(PortOnScriptedSocket, CloseTriesFourTimesAndLogsEachOutcome) {
  port.Open(settings, 1);
  script.closesThatLeaveActive = 10;
  log.Clear();
  port.Close();
  // The four tries are one cycle of two lines repeated: written twice less
  // one line, the other five counted.
  const auto lines = log.Messages();
  const std::vector<std::string> tries = {"ClientSocket Close", "ClientSocket active", "ClientSocket Close",
                                          RepetitionNote(2, 5)};
  EXPECT_NE(std::search(lines.begin(), lines.end(), tries.begin(), tries.end()), lines.end());
  EXPECT_EQ(CountOf(lines, "ClientSocket Close"), 2);
  EXPECT_EQ(lines.back(), "TCPIP closed - delay 0 ms");
}

TEST_F(PortOnScriptedSocket, FailedCloseAttemptIsLoggedAndTheNextOneCloses) {
  port.Open(settings, 1);
  script.closesThatFail = 1;
  log.Clear();
  port.Close();
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"TCPIP closing - delay 0 ms", "SocketStream free", "ClientSocket Close",
                                      "ClientSocket closing error: close refused", "ClientSocket Close",
                                      "ClientSocket closed", "ClientSocket free", "TCPIP closed - delay 0 ms"}));
}

TEST_F(PortOnScriptedSocket, OpenAgainClosesThePreviousConnectionFirst) {
  port.Open(settings, 1);
  log.Clear();
  port.Open(settings, 1);
  EXPECT_TRUE(ContainsRun(log.Messages(), {"TCPIP: 127.000.000.001 (127.0.0.1) 15000", "TCPIP closing - delay 0 ms"}));
  EXPECT_EQ(script.sockets, 2);
  EXPECT_TRUE(port.Opened());
}

TEST_F(PortOnScriptedSocket, ReadTimeOutOverridesTheStreamForOneCallOnly) {
  port.Open(settings, 1);
  port.Read(answer, 1, false, 50ms);
  port.Read(answer, 1, false, 0ms);
  port.Read(answer, 1, false, -1ms);
  script.receiveFails = true;
  ExpectFailureStartingWith([&] { port.Read(answer, 1, false, 70ms); }, "SocketRead: connection reset");
  script.receiveFails = false;
  port.Read(answer, 1, false);
  EXPECT_EQ(script.receiveWaits, (std::vector<int>{50, 300, 300, 70, 300}));
}

}  // namespace
