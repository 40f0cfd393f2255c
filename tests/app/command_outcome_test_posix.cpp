// The built executable when things go wrong: a full or read-only folder, a
// second command at once, SIGTERM in the middle of a transfer, targets that
// are links, devices or FIFOs, inputs without bounds, and a register that
// sends records without end.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "base/exclusive_lock_file.h"
#include "model/check_bytes.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "protocol/link_protocol.h"
#include "background_module.h"
#include "loopback_listener.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr auto LongestWait = std::chrono::seconds(120);

/// Polls `condition` until it holds or the (generous) limit passes.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + LongestWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

/// A path as a command writes it: backslashes, since "/" separates values.
std::string CommandPath(const fs::path& path) {
  std::string text = path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

class CommandOutcomeTest : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(config_ / "Kelmora");
    WriteFileBytes(config_ / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nLogSouborSifra=1\n");
  }
  void TearDown() override {
    if (mounted_) ::umount2(folder_.path().c_str(), MNT_DETACH);
  }

  // A small tmpfs as the program folder; false when mounting is not allowed.
  bool MountSmallFolder(std::size_t room) {
    const auto size = fs::file_size(MERVMODUL_EXE) + room;
    const std::string options = "size=" + std::to_string(size);
    mounted_ = ::mount("tmpfs", folder_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    return mounted_;
  }

  void InstallExe() { fs::copy_file(MERVMODUL_EXE, exe()); }
  fs::path exe() const { return folder_ / "mervmodul"; }
  std::map<std::string, std::string> Environment() const { return {{"XDG_CONFIG_HOME", config_.path().string()}}; }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(exe(), arguments, Environment(), work_.path());
  }

  std::unique_ptr<BackgroundModule> Start(const std::vector<std::string>& arguments) {
    return std::make_unique<BackgroundModule>(exe(), arguments, Environment(), fs::path(), work_ / "stderr.txt");
  }

  std::string Log() const {
    if (!fs::exists(folder_ / "KL.log")) return {};
    return RunProcess(KLLOG_EXE, {(folder_ / "KL.log").string()}).standardOutput;
  }

  bool NoTemporaryFiles() const {
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      if (entry.path().filename().string().find(".~mervtmp") != std::string::npos) return false;
    }
    return true;
  }

  std::string Outcome() const { return fs::exists(folder_ / "error.dat") ? ReadFileBytes(folder_ / "error.dat") : ""; }

  TempDir folder_;
  TempDir work_;
  TempDir config_;
  bool mounted_ = false;
};

TEST_F(CommandOutcomeTest, FullFolderLeavesNoOutcomeAndExitsNonZero) {
  if (!MountSmallFolder(256 * 1024)) GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
  InstallExe();
  ASSERT_EQ(Run({"R03", "/BR=x"}).exitStatus, 0);
  ASSERT_EQ(Outcome(), " 3\r\n3.02F\r\n");
  // A second name keeps the old outcome's space taken when it is removed.
  fs::create_hard_link(folder_ / "error.dat", folder_ / "kept.dat");
  fs::remove(folder_ / "KL.log");
  WriteFileBytes(config_ / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nLogSouborSifra=0\n");
  {
    std::ofstream filler(folder_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  const auto result = Run({"R03", "/COM=x"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.standardError.find("error.dat"), std::string::npos) << result.standardError;
  EXPECT_FALSE(fs::exists(folder_ / "error.dat")) << "the earlier \" 3\" must not stay as this command's outcome";
  EXPECT_TRUE(NoTemporaryFiles());
}

TEST_F(CommandOutcomeTest, ReadOnlyFolderExitsNonZero) {
  InstallExe();
  if (::geteuid() == 0) {
    if (!MountSmallFolder(64 * 1024)) GTEST_SKIP() << "root ignores folder modes, and mounting is not permitted";
    InstallExe();
    ASSERT_EQ(::mount("tmpfs", folder_.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  } else {
    fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec);
  }
  const auto result = Run({"R03", "/BR=x"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.standardError.find("cannot write"), std::string::npos) << result.standardError;
  if (::geteuid() != 0) fs::permissions(folder_.path(), fs::perms::owner_all);
}

TEST_F(CommandOutcomeTest, SecondCommandWaitsForTheFirstAndSaysSo) {
  InstallExe();
  TExclusiveLockFile first((folder_ / "mervmodul.lock").string());
  ASSERT_TRUE(first.TryLock());
  auto second = Start({"R03", "/BR=x"});
  ASSERT_TRUE(Eventually([&] { return Log().find("Cekam, az skonci jiny prikaz") != std::string::npos; }));
  EXPECT_FALSE(fs::exists(folder_ / "error.dat")) << "nothing is run while the turn is taken";
  first.Unlock();
  EXPECT_EQ(second->ExitStatusWithin(LongestWait), 0);
  EXPECT_EQ(Outcome(), " 3\r\n3.02F\r\n");
  const std::string log = Log();
  EXPECT_LT(log.find("Jiny prikaz skoncil"), log.find("Parametry rozpoznany")) << log;
}

TEST_F(CommandOutcomeTest, StopWhileWaitingRunsNothingAndExitsNonZero) {
  InstallExe();
  WriteFileBytes(folder_ / "error.dat", " 0\r\n3.02F\r\n");  // the running command's, untouched
  TExclusiveLockFile first((folder_ / "mervmodul.lock").string());
  ASSERT_TRUE(first.TryLock());
  auto second = Start({"R03", "/BR=x"});
  ASSERT_TRUE(Eventually([&] { return Log().find("Cekam, az skonci jiny prikaz") != std::string::npos; }));
  second->Signal(SIGTERM);
  EXPECT_EQ(second->ExitStatusWithin(LongestWait), 1);
  EXPECT_EQ(Outcome(), " 0\r\n3.02F\r\n");
  EXPECT_EQ(Log().find("Parametry rozpoznany"), std::string::npos);
}

TEST_F(CommandOutcomeTest, CommandsStartedTogetherTakeTurnsAndNeverShowHalfAnOutcome) {
  InstallExe();
  const std::vector<std::vector<std::string>> commands = {{"R03", "/BR=x"},           {"R03", "/COM=x"},
                                                          {"R03", "/COM=1"},          {"R03", "/IPPORT=1"},
                                                          {"R03", "/IPADDR=1.2.3.4"}, {"/COM=1", "/BR=2"}};
  const std::set<std::string> outcomes = {" 3\r\n3.02F\r\n", " 2\r\n3.02F\r\n", "47\r\n3.02F\r\n", "48\r\n3.02F\r\n",
                                          " 1\r\n3.02F\r\n"};
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> broken{0};
  std::thread reader([&] {
    while (!done) {
      std::ifstream in(folder_ / "error.dat", std::ios::binary);
      if (!in) continue;
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      ++reads;
      if (outcomes.count(text) == 0) ++broken;
    }
  });
  for (int group = 0; group < 2; ++group) {
    std::vector<std::unique_ptr<BackgroundModule>> children;
    for (const auto& command : commands) children.push_back(Start(command));
    for (auto& child : children) EXPECT_EQ(child->ExitStatusWithin(LongestWait), 0);
  }
  done = true;
  reader.join();
  EXPECT_EQ(broken, 0) << "of " << reads << " reads";
  EXPECT_EQ(outcomes.count(Outcome()), 1u);
  // Every command's lines stand together in the log: each command fails, and
  // its failure and its last line alternate with the others'.
  const std::string log = Log();
  std::string order;
  for (std::size_t at = 0; (at = log.find_first_of("Ef", at)) != std::string::npos; ++at) {
    if (log.compare(at, 7, "ERROR: ") == 0) order += 'S';
    if (log.compare(at, 10, "finally 14") == 0) order += 'E';
  }
  std::string expected;
  for (int count = 0; count < 12; ++count) expected += "SE";
  EXPECT_EQ(order, expected);
}

// A command stopped in the middle of its transfer ends with 10 and writes no
// file under its name: an earlier file stays byte for byte, whether the
// register was sending (a long read) or silent (the status line).
TEST_F(CommandOutcomeTest, SigtermMidTransferClosesTheLineAndWritesTen) {
  InstallExe();
  struct Case {
    const char* activity;
    std::vector<std::string> registerOptions;
    long framesBeforeTheStop;
  };
  const std::vector<Case> cases{{"R03", {"--plu-count", "3000"}, 50}, {"STS", {"--silent-after", "0"}, 0}};
  const std::string earlier = "earlier contents\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.activity);
    const auto wire = work_ / (std::string(c.activity) + "-wire.log");
    std::vector<std::string> options = c.registerOptions;
    options.insert(options.end(), {"--log", wire.string()});
    SimulatedRegister sim(options);
    WriteFileBytes(folder_ / "out.txt", earlier);
    auto module = Start({c.activity, "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(sim.Port()), "/ECR=465",
                         "/TO=20000", "/FILE=out.txt"});
    ASSERT_TRUE(Eventually([&] {
      const std::string frames = fs::exists(wire) ? ReadFileBytes(wire) : "";
      long received = 0;
      for (std::size_t at = 0; (at = frames.find("recv ", at)) != std::string::npos; ++at) ++received;
      return received > c.framesBeforeTheStop;
    }));
    module->Signal(SIGTERM);
    EXPECT_EQ(module->ExitStatusWithin(LongestWait), 0);
    EXPECT_EQ(Outcome(), "10\r\n3.02F\r\n");
    EXPECT_EQ(ReadFileBytes(folder_ / "out.txt"), earlier);
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_NE(Log().find("Prikaz prerusen"), std::string::npos);
    sim.AwaitEarlierConnections(wire);  // returns only once the module's connection has ended
  }
}

TEST_F(CommandOutcomeTest, SavingFollowsLinksWritesDevicesInPlaceAndRefusesReadOnlyFiles) {
  InstallExe();
  SimulatedRegister sim({"--plu-count", "5"});
  const std::string port = "/IPPORT=" + std::to_string(sim.Port());
  TempDir other;
  WriteFileBytes(other / "real.txt", "old");
  fs::create_symlink(other / "real.txt", work_ / "link.txt");
  WriteFileBytes(work_ / "readonly.txt", "old");
  fs::permissions(work_ / "readonly.txt", fs::perms::owner_read);
  ASSERT_EQ(::mkfifo((work_ / "pipe").c_str(), 0600), 0);
  const struct {
    const char* file;
    const char* code;
  } cases[] = {{"link.txt", " 0"}, {"readonly.txt", " 7"}, {"pipe", " 7"}, {"\\dev\\null", " 0"}};
  for (const auto& c : cases) {
    const std::string file = std::string(c.file).starts_with('\\') ? c.file : CommandPath(work_ / c.file);
    ASSERT_EQ(Run({"R03", "/IPADDR=127.0.0.1", port, "/ECR=465", "/FILE=" + file}).exitStatus, 0);
    EXPECT_EQ(Outcome(), std::string(c.code) + "\r\n3.02F\r\n") << c.file;
  }
  EXPECT_TRUE(fs::is_symlink(work_ / "link.txt"));
  const std::string saved = ReadFileBytes(other / "real.txt");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 5) << "the file the link points to holds the table";
  EXPECT_EQ(ReadFileBytes(work_ / "readonly.txt"), "old");
  EXPECT_TRUE(fs::is_fifo(work_ / "pipe"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// Links planted at the module's own outcome files while a command waits for
// a silent register are replaced by the outcome, never written through.
TEST_F(CommandOutcomeTest, LinksPlantedAtTheOutcomeFilesDuringACommandAreReplacedNotWrittenThrough) {
  InstallExe();
  SimulatedRegister sim({"--silent-after", "0"});
  TempDir other;
  WriteFileBytes(other / "victim", "theirs");
  auto module = Start({"STS", "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(sim.Port()), "/ECR=465",
                       "/FILE=stav.txt", "/JSON", "/TO=1500"});
  ASSERT_TRUE(Eventually([&] { return fs::exists(folder_ / "mervmodul.lock"); }));
  fs::create_symlink(other / "victim", folder_ / "error.dat");
  fs::create_symlink(other / "victim", folder_ / "error.json");
  EXPECT_EQ(module->ExitStatusWithin(LongestWait), 0);
  EXPECT_EQ(ReadFileBytes(other / "victim"), "theirs");
  EXPECT_FALSE(fs::is_symlink(folder_ / "error.dat"));
  EXPECT_FALSE(fs::is_symlink(folder_ / "error.json"));
  EXPECT_EQ(Outcome(), " 5\r\n3.02F\r\n");
}

TEST_F(CommandOutcomeTest, InputFilesWithoutBoundsAreRefusedBeforeAnyTransfer) {
  InstallExe();
  ASSERT_EQ(::mkfifo((work_ / "pipe").c_str(), 0600), 0);
  fs::create_directory(work_ / "folder");
  WriteFileBytes(work_ / "long.txt", "1;" + std::string(4 * 1024 * 1024, ' ') + "\r\n");
  const struct {
    std::string file;
    const char* code;
  } cases[] = {{"\\dev\\zero", " 6"}, {"pipe", " 6"}, {"folder", " 6"}, {"long.txt", "22"}};
  for (const auto& c : cases) {
    const std::string file = c.file.starts_with('\\') ? c.file : CommandPath(work_ / c.file);
    // No register listens on port 1: the load must fail before the line is used.
    ASSERT_EQ(Run({"W03", "/IPADDR=127.0.0.1", "/IPPORT=1", "/ECR=465", "/FILE=" + file}).exitStatus, 0);
    EXPECT_EQ(Outcome(), std::string(c.code) + "\r\n3.02F\r\n") << c.file;
  }
}

// A register that answers every request with one more valid record of
// table 7 and never sends the end frame. It notes whether it was told that
// the table ends.
class EndlessRegister {
public:
  EndlessRegister() {
    const auto [listener, address] = ListenOnLoopback(1);
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    const auto catalogue = BuildCatalogue("ECR 465T/465TF");
    const TSoubor& table = *catalogue->Table(7);
    TRadek row(static_cast<int>(table.Columns.size()));
    row.SetDefaults(table.Columns);
    row.SetCell(0, "1");
    record_ = table.Interpreter->EncodeRow(row, false);
    server_ = std::thread([this] { Serve(); });
  }
  ~EndlessRegister() {
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    server_.join();
  }

  int Port() const { return port_; }
  int RecordsSent() const { return sent_; }
  bool ToldTheEnd() const { return toldTheEnd_; }

private:
  void Serve() {
    const int peer = ::accept(listener_, nullptr, nullptr);
    if (peer < 0) return;
    std::string received;
    char buffer[256];
    for (;;) {
      const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      received.append(buffer, static_cast<std::size_t>(got));
      if (received.find(EndFrame) != std::string::npos) {
        toldTheEnd_ = true;
        break;
      }
      std::string answer;
      if (sent_ == 0) {
        if (received.size() < 5) continue;
        std::string reply = "\xD7\x10";
        AddCheckBytes(reply);
        answer = reply;
      } else if (received.size() < 4) {
        continue;
      }
      received.clear();
      answer += record_;
      ++sent_;
      ::send(peer, answer.data(), answer.size(), MSG_NOSIGNAL);
    }
    ::close(peer);
  }

  int listener_ = -1;
  int port_ = 0;
  std::string record_;
  std::thread server_;
  std::atomic<int> sent_{0};
  std::atomic<bool> toldTheEnd_{false};
};

TEST_F(CommandOutcomeTest, RegisterSendingRecordsWithoutEndIsStopped) {
  InstallExe();
  EndlessRegister hostile;
  ASSERT_EQ(Run({"R07", "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(hostile.Port()), "/ECR=465", "/FILE=t07.txt"})
                .exitStatus,
            0);
  EXPECT_EQ(Outcome(), " 5\r\n3.02F\r\n");
  EXPECT_TRUE(hostile.ToldTheEnd());
  EXPECT_EQ(hostile.RecordsSent(), 2 * 9 + 100 + 1) << "table 7 holds 9 rows";
  EXPECT_NE(Log().find("Pokladna posila vice zaznamu, nez tabulka 7 pojme (118)"), std::string::npos);
}

}  // namespace
