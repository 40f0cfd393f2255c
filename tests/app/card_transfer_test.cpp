// Chip-card copies: the range of the activity word, and whole commands of
// the module's executable against the emulator playing a card reader on a
// pseudo-terminal, judged by "error.dat", the files and the card image.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "app/card_transfer.h"
#include "base/kom_error.h"
#include "transport/nastaveni.h"
#include "module_folder_test.h"

namespace {

struct RangeCase {
  const char* activity;
  int start;
  int length;
};

TEST(CardRangeTest, SuffixNamesStartAndLength) {
  const RangeCase cases[] = {
      {"PCSR", 0, 256},     {"PCSW", 0, 256},     {"PCSR.16.32", 16, 32},     {"PCSW.0.128", 0, 128},
      {"PCSR.5", 0, 5},     {"PCSR.x.y", 0, 256}, {"PCSR.0.256", 0, 256},     {"PCSRX.1.2", 0, 256},
      {"PCSR.1.2.3", 0, 3}, {"PCSR.", 0, 256},    {"PCSR.200.100", 200, 100},
  };
  for (const auto& c : cases) {
    const TCardRange range = CardRangeOf(c.activity);
    EXPECT_EQ(range.Start, c.start) << c.activity;
    EXPECT_EQ(range.Length, c.length) << c.activity;
  }
  EXPECT_TRUE(CardRangeOf("PCSR.0.256").WholeCard());
  EXPECT_FALSE(CardRangeOf("PCSR.0.255").WholeCard());
}

TEST(CardRangeTest, RangesOutsideTheCardAreRefused) {
  const std::pair<TCardRange, int> cases[] = {
      {{0, 256}, 0}, {{255, 1}, 0}, {{16, 32}, 0}, {{200, 57}, 1}, {{256, 1}, 1},
      {{-1, 8}, 1},  {{0, 0}, 1},   {{0, 257}, 1}, {{8, -4}, 1},   {{2147483647, 2}, 1},
  };
  for (const auto& [range, error] : cases) {
    const TCardRange checked = range;
    EXPECT_EQ(ErrorNumberRaisedBy([&] { CheckCardRange(checked); }), error) << range.Start << "+" << range.Length;
  }
}

#ifdef MERVSIM_EXE

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (auto& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

/// Runs a program with standard error on a pseudo-terminal; what it wrote there.
std::string StandardErrorOnTerminal(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                    const std::map<std::string, std::string>& environment,
                                    const std::filesystem::path& workingDirectory) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pseudo-terminal");
  const std::string slave = ptsname(master);
  const pid_t child = fork();
  if (child == 0) {
    const int terminal = open(slave.c_str(), O_RDWR | O_NOCTTY);
    const int none = open("/dev/null", O_RDWR);
    dup2(none, 0);
    dup2(none, 1);
    dup2(terminal, 2);
    ExecInChild(program, arguments, environment, workingDirectory);
  }
  std::string shown;
  bool exited = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd watched{master, POLLIN, 0};
    if (poll(&watched, 1, 100) > 0 && (watched.revents & POLLIN) != 0) {
      char buffer[512];
      const ssize_t got = read(master, buffer, sizeof buffer);
      if (got > 0) {
        shown.append(buffer, static_cast<std::size_t>(got));
        continue;
      }
    }
    if (exited) break;  // one more quiet round after the end: all is read
    int status = 0;
    exited = waitpid(child, &status, WNOHANG) == child;
  }
  if (!exited) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  close(master);
  return shown;
}

class CardReaderTest : public ModuleFolderTest {
protected:
  void StartReader(const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments{"--card", cardImage_.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    StartOnComLine(reader_, arguments);
  }

  std::vector<std::string> Arguments(const std::string& activity, const std::string& file) const {
    return {activity, "/COM=1", "/BR=5", "/FILE=" + file, "/MIN"};
  }

  std::map<std::string, std::string> Environment() const {
    return {{"XDG_CONFIG_HOME", folder_.path().string()}, {"MERV_COM1", comDevice_.string()}};
  }

  /// Runs one card command; returns the code of "error.dat".
  std::string Run(const std::string& activity, const std::string& file = "card.bin") {
    EXPECT_EQ(RunModuleOnCom(Arguments(activity, file)).exitStatus, 0);
    return Outcome();
  }

  /// The bytes the reader received, one a line, once it has seen the line closed.
  std::vector<std::string> Received() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      const auto lines = LinesOf(ReadFileBytes(wireLog_));
      if (!lines.empty() && lines.back() == "note card reader closed") return ReceivedInWireLog();
      if (std::chrono::steady_clock::now() > deadline)
        throw std::runtime_error("the reader did not see the line closed");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  std::string Card() const { return ReadFileBytes(cardImage_); }
  std::filesystem::path cardImage_ = folder_ / "card-image.bin";
  std::unique_ptr<BackgroundProcess> reader_;
};

TEST_F(CardReaderTest, ReadsAndWritesTheCardByteForByte) {
  const std::string original = RandomBytes(256, 1);
  WriteFileBytes(cardImage_, original);
  StartReader();

  EXPECT_EQ(Run("PCSR", "whole.bin"), " 0");
  EXPECT_EQ(File("whole.bin"), original);
  EXPECT_EQ(Run("PCSR.0.256", "same.bin"), " 0");
  EXPECT_EQ(File("same.bin"), original);
  EXPECT_EQ(Run("PCSR.16.32", "part.bin"), " 0");
  EXPECT_EQ(File("part.bin"), original.substr(16, 32));

  const std::string written = RandomBytes(256, 2);
  WriteFileBytes(folder_ / "new.bin", written);
  EXPECT_EQ(Run("PCSW", "new.bin"), " 0");
  EXPECT_EQ(Card(), written);

  const std::string half = RandomBytes(128, 3);
  WriteFileBytes(folder_ / "half.bin", half);
  EXPECT_EQ(Run("PCSW.0.128", "half.bin"), " 0");
  EXPECT_EQ(Card(), half + written.substr(128));

  const std::string middle = RandomBytes(10, 4);
  WriteFileBytes(folder_ / "middle.bin", middle);
  EXPECT_EQ(Run("PCSW.246.10", "middle.bin"), " 0");
  EXPECT_EQ(Card(), half + written.substr(128, 118) + middle);
}

struct CardFault {
  const char* activity;
  std::vector<std::string> options;
  const char* error;
};

TEST_F(CardReaderTest, EachReaderFaultGivesItsNumberAndKeepsTheFile) {
  const CardFault faults[] = {
      {"PCSR", {"--card-status", "absent"}, "42"}, {"PCSR", {"--card-status", "44"}, "44"},
      {"PCSR", {"--card-status", "48"}, "45"},     {"PCSR", {"--card-status", "50"}, "46"},
      {"PCSR", {"--card-status", "wrong"}, "57"},  {"PCSR", {"--card-bad-check"}, "16"},
      {"PCSR", {"--card-end-a5"}, "40"},           {"PCSR", {"--card-silent"}, " 4"},
      {"PCSW", {"--card-bad-echo", "7"}, "39"},    {"PCSW", {"--card-stuck", "200"}, "43"},
      {"PCSW.8.8", {"--card-stuck", "12"}, "43"},
  };
  for (const auto& fault : faults) {
    const std::string length = CardRangeOf(fault.activity).WholeCard() ? "256" : "8";
    WriteFileBytes(folder_ / "card.bin", RandomBytes(static_cast<std::size_t>(std::stoi(length)), 5));
    const std::string before = File("card.bin");
    StartReader(fault.options);
    EXPECT_EQ(Run(fault.activity), fault.error) << fault.activity << " " << fault.options[0];
    EXPECT_EQ(File("card.bin"), before) << "a failed copy leaves the file as it was";
  }
}

TEST_F(CardReaderTest, TheReaderIsFreeAgainAfterAFailure) {
  StartReader({"--card-status", "absent"});
  ASSERT_EQ(setenv("MERV_COM1", comDevice_.string().c_str(), 1), 0);
  CommandParameters parameters;
  parameters.Activity = "PCSR";
  parameters.Minimized = true;
  parameters.DataFile = (folder_ / "card.bin").string();
  for (int attempt = 0; attempt < 2; ++attempt) {
    TNastaveni settings = TNastaveni::CommandDefaults();
    settings.ComPort[1] = 1;
    settings.BaudRate[1] = 9600;
    EXPECT_EQ(ErrorNumberRaisedBy([&] { TransferCard(settings, parameters, {}); }), 42)
        << "attempt " << attempt << ": a port left open would give 09";
  }
  unsetenv("MERV_COM1");
}

TEST_F(CardReaderTest, BadFilesAndRangesAreRefusedBeforeTheReaderHearsAnything) {
  StartReader();
  WriteFileBytes(folder_ / "short.bin", RandomBytes(255, 6));
  EXPECT_EQ(Run("PCSW", "short.bin"), "41");
  EXPECT_EQ(Run("PCSW.0.128", "short.bin"), "41");
  EXPECT_EQ(Run("PCSW", "missing.bin"), " 6");
  EXPECT_EQ(Run("PCSR.200.100", "past.bin"), " 1");
  EXPECT_EQ(Run("PCSW.250.10", "short.bin"), " 1");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "past.bin"));

  EXPECT_EQ(Run("PCSR.0.8", "first.bin"), " 0");
  const auto received = Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front(), "06") << "the first byte the reader heard greets it for the last command";
  EXPECT_EQ(std::count(received.begin(), received.end(), "06"), 1);
}

TEST_F(CardReaderTest, ProgressShowsOnATerminalUnlessMinimised) {
  WriteFileBytes(cardImage_, RandomBytes(256, 7));
  StartReader();
  auto arguments = Arguments("PCSR", "shown.bin");
  arguments.pop_back();
  const std::string shown = StandardErrorOnTerminal(folder_ / "mervmodul", arguments, Environment(), folder_.path());
  EXPECT_NE(shown.find("Načítám kartu..."), std::string::npos) << shown;

  const std::string quiet =
      StandardErrorOnTerminal(folder_ / "mervmodul", Arguments("PCSR", "quiet.bin"), Environment(), folder_.path());
  EXPECT_EQ(quiet, "");
  EXPECT_EQ(File("shown.bin"), Card());
  EXPECT_EQ(File("quiet.bin"), Card());
}

#endif  // MERVSIM_EXE

}  // namespace
