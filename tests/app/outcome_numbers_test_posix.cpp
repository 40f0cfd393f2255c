// The outcome numbers of whole commands where the cause is the caller's: a
// table file that does not fit its table, an output that is no regular file
// or whose folder is missing, an input that is a FIFO, and a command stopped
// while it connects or dials. A caller (mervfleet among them) decides on
// them whether to try again.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "background_module.h"
#include "loopback_listener.h"
#include "module_folder_test.h"

#ifdef MERVSIM_EXE

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class OutcomeNumbers : public RegisterCommandTest {
protected:
  std::string Run(const std::string& activity, const std::vector<std::string>& parameters) {
    const auto result = RunModule(TcpArguments(activity, parameters));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "");
    return Outcome();
  }
};

const std::string PluRow = "8590000000015;Rohlik;250;0;1;2;1;0;0;0;0;0;0;00;\r\n";

// Each case runs against an emulator of its own; `read` says whether the
// register may be asked at all (a failure known beforehand asks nothing).
TEST_F(OutcomeNumbers, EachActivityGivesTheNumberOfItsCause) {
  ASSERT_EQ(::mkfifo((folder_ / "pipe").c_str(), 0600), 0);  // a FIFO nobody reads
  WriteFileBytes(folder_ / "plu.txt", PluRow);
  WriteFileBytes(folder_ / "letters.txt", "85900000ABCD5;Rohlik;250;0;1;2;1;0;0;0;0;0;0;00;\r\n");
  WriteFileBytes(folder_ / "empty.txt", ";;;;;;;;;;;;;;\r\n");
  struct Case {
    const char* activity;
    std::vector<std::string> parameters;
    const char* outcome;
    bool read;
  };
  const Case cases[] = {
      // A table file whose cells do not fit: 22, nothing sent.
      {"W03", {"/FILE=letters.txt"}, "22", false},
      {"W03", {"/FILE=empty.txt"}, "22", false},
      {"A03", {"/FILE=empty.txt"}, "22", false},
      // An output that is a FIFO nobody reads: 07 in every activity.
      {"R03", {"/FILE=pipe"}, " 7", true},
      {"ROT", {"/FILE=pipe"}, " 7", true},
      {"STS", {"/FILE=pipe"}, " 7", true},
      {"PLU", {"/EAN=8590000000015", "/FILE=pipe"}, " 7", true},
      {"RJF", {"/ROW=1", "/FILE=pipe"}, " 7", true},
      {"OLJ", {"/ROW=1", "/FILE=pipe"}, " 7", true},
      {"D03", {"/FILE=plu.txt", "/DIFF=pipe"}, " 7", true},
      // An input that is a FIFO: 06, nothing sent.
      {"W03", {"/FILE=pipe"}, " 6", false},
      {"V03", {"/FILE=pipe"}, " 6", false},
      {"D03", {"/FILE=pipe"}, " 6", false},
      // A missing output folder: 07; where the caller names the folder of a
      // file written after the read, before the register is asked.
      {"R03", {"/FILE=missing\\plu.txt"}, " 7", true},
      {"ROT", {"/FILE=missing\\rot.txt"}, " 7", true},
      {"EXPORTZ74", {"/PRODEJNA=12", "/POKLADNA=3", "/EXPORTDIR=missing"}, " 7", false},
      {"D03", {"/FILE=plu.txt", "/DIFF=missing\\diff.txt"}, " 7", false},
      {"W03", {"/FILE=plu.txt", "/VERIFY", "/DIFF=missing\\diff.txt"}, " 7", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.activity) + " " + c.parameters.front() + " " + c.parameters.back());
    StartRegister({"--plu-count", "5"}, {});
    EXPECT_EQ(Run(c.activity, c.parameters), c.outcome);
    if (!c.read) {
      EXPECT_TRUE(ReceivedFrames().empty()) << "the register was asked";
    }
    EXPECT_TRUE(fs::is_fifo(folder_ / "pipe"));
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
  }
}

/// A loopback listener whose queue of connections is full: a further
/// connect gets no answer and waits for its time-out.
class FullListener {
public:
  FullListener() {
    auto [listener, address] = ListenOnLoopback(0);
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    // Connections that are never accepted, until one no longer comes about.
    for (int attempt = 0; attempt < 16; ++attempt) {
      const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      clients_.push_back(client);
      ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
      pollfd watched{client, POLLOUT, 0};
      if (::poll(&watched, 1, 300) == 0) return;
    }
    throw std::runtime_error("the listener's queue did not fill");
  }
  ~FullListener() {
    for (const int client : clients_) ::close(client);
    ::close(listener_);
  }
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;

  int Port() const { return port_; }

private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> clients_;
};

std::string FirstLineOf(const fs::path& file) {
  const auto lines = fs::exists(file) ? LinesOf(ReadFileBytes(file)) : std::vector<std::string>{};
  return lines.empty() ? std::string() : lines[0];
}

/// Waits up to half a minute for the emulator's wire log to hold `note`.
bool WireLogNotesWithin(const fs::path& wireLog, const std::string& note) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!fs::exists(wireLog) || ReadFileBytes(wireLog).find("note " + note) == std::string::npos) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A stop is the stop (10): a caller that retries a line that could not be
// opened (09) or a dial that failed (33 to 36) must not retry a stopped one.
TEST_F(OutcomeNumbers, AStopWhileConnectingOrDiallingIsTheStop) {
  const std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", folder_.path().string()},
                                                       {"MERV_COM1", comDevice_.string()}};
  {
    FullListener listener;
    BackgroundModule module(folder_ / "mervmodul",
                            {"R03", "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(listener.Port()), "/ECR=465",
                             "/TO=60000", "/FILE=plu.txt"},
                            environment, folder_.path());
    // The lock is taken once the command runs (its stop handlers in place);
    // a second later it is well into the connect's wait of a minute.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!fs::exists(folder_ / "mervmodul.lock") && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(module.StopWithin(std::chrono::seconds(20)), 0);
    EXPECT_EQ(FirstLineOf(folder_ / "error.dat"), "10") << "stopped while connecting";
  }
  fs::remove(folder_ / "error.dat");

  std::unique_ptr<BackgroundProcess> modem;
  StartOnComLine(modem, {"--plu-count", "5", "--modem", "silence", "--modem-s12", "5"});
  BackgroundModule module(folder_ / "mervmodul", {"MODEMDIAL", "/COM=1", "/BR=5", "/DIALTONE=5551234"}, environment,
                          folder_.path());
  ASSERT_TRUE(WireLogNotesWithin(wireLog_, "modem dials 5551234"));
  EXPECT_EQ(module.StopWithin(std::chrono::seconds(30)), 0);
  EXPECT_EQ(FirstLineOf(folder_ / "error.dat"), "10") << "stopped while dialling";
}

}  // namespace

#endif
