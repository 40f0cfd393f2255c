// The module's executable against the register emulator: whole commands,
// judged by "error.dat", the files written and the frames on the wire.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "module_folder_test.h"

#ifdef MERVSIM_EXE

namespace {

constexpr int DemoPluCount = 40;

class RegisterActivity : public RegisterCommandTest {
protected:
  /// Starts the emulator with demo data and the given fault options.
  void StartRegister(const std::vector<std::string>& options = {}) {
    // The options come last, so that they may change the number of PLU.
    RegisterCommandTest::StartRegister({"--plu-count", std::to_string(DemoPluCount)}, options);
  }

  /// Runs one command against the emulator over TCP; returns the code of "error.dat".
  std::string Run(const std::string& activity, const std::vector<std::string>& parameters = {}) {
    const auto result = RunModule(TcpArguments(activity, parameters, closedPort_));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(LinesOf(ReadFileBytes(folder_ / "error.dat")).size(), 2u);
    return Outcome();
  }

  /// The frames the emulator received, as "E9 00 03 EA 2A".
  std::vector<std::string> Received() const {
    if (!std::filesystem::exists(wireLog_)) return {};
    AwaitRegister();
    return ReceivedInWireLog();
  }

  bool ReceivedFrameStartingWith(const std::string& start) const {
    for (const auto& frame : Received()) {
      if (frame.starts_with(start)) return true;
    }
    return false;
  }

  /// Returns once the emulator has logged all it took of the commands run so far.
  virtual void AwaitRegister() const {
    if (register_) register_->AwaitEarlierConnections(wireLog_);
  }

  /// Stops the emulator; the commands then go to its port, where nothing listens.
  void RefuseConnections() {
    StartRegister();
    closedPort_ = register_->Port();
    register_.reset();
  }

  int closedPort_ = 0;
};

TEST_F(RegisterActivity, ReadsAndWritesBackThePluTable) {
  StartRegister();
  EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
  const auto plu = LinesOf(File("plu.txt"));
  ASSERT_EQ(plu.size(), static_cast<std::size_t>(DemoPluCount));
  EXPECT_TRUE(plu[0].starts_with("8590000000015;")) << plu[0];
  EXPECT_EQ(Received().front(), "D7 00 03 D4 52");

  EXPECT_EQ(Run("W03", {"/FILE=plu.txt"}), " 0");
  const auto frames = Received();
  EXPECT_TRUE(ReceivedFrameStartingWith("D3 00 61")) << "the PLU table goes up with code 61h";
  EXPECT_EQ(frames.back(), "FF FF 00 02");
  EXPECT_EQ(frames.size(), 2 * (1 + static_cast<std::size_t>(DemoPluCount)) + 1)
      << "DRQ and an ACK per record, then DTX, every record and the end frame";

  std::filesystem::rename(folder_ / "plu.txt", folder_ / "sent.txt");
  EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
  EXPECT_EQ(File("plu.txt"), File("sent.txt")) << "what was written reads back the same";
}

TEST_F(RegisterActivity, TableThreeVariantsUseTheirCodes) {
  StartRegister();
  WriteFileBytes(folder_ / "new.txt", "8590000099999;Novy;100;0;1;2;1;0;0;0;0;0;0;00;\r\n");
  EXPECT_EQ(Run("V03", {"/FILE=new.txt"}), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("D3 00 03"));
  EXPECT_EQ(Run("A03", {"/FILE=new.txt"}), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("D3 00 63"));
}

TEST_F(RegisterActivity, UnsortedInputSendsNothing) {
  StartRegister();
  WriteFileBytes(folder_ / "bad.txt",
                 "8590000000022;B;1;0;1;2;1;0;0;0;0;0;0;00;\r\n8590000000015;A;1;0;1;2;1;0;0;0;0;0;0;00;\r\n");
  EXPECT_EQ(Run("W03", {"/FILE=bad.txt"}), " 8");
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(Run("W03", {"/FILE=missing.txt"}), " 6");
  WriteFileBytes(folder_ / "short.txt", "8590000000022;B;\r\n");
  EXPECT_EQ(Run("W03", {"/FILE=short.txt"}), "22");
  EXPECT_TRUE(Received().empty());
}

TEST_F(RegisterActivity, ActivitiesThatNameNoTable) {
  StartRegister();
  EXPECT_EQ(Run("R00", {"/FILE=x.txt"}), " 1");
  EXPECT_EQ(Run("Rxy", {"/FILE=x.txt"}), " 1");
  EXPECT_EQ(Run("W70", {"/FILE=x.txt"}), " 1") << "reports cannot be written";
  EXPECT_EQ(Run("N44"), " 1");
  EXPECT_EQ(Run("N58"), " 1");
  EXPECT_EQ(Run("N46"), "49");
  EXPECT_EQ(Run("N56"), "49");
  EXPECT_EQ(Run("HELLO"), " 1");
  EXPECT_TRUE(Received().empty());
}

TEST_F(RegisterActivity, ResetIsSentAndAnsweredWithTheEndFrame) {
  StartRegister();
  EXPECT_EQ(Run("N45"), " 0");
  ASSERT_FALSE(Received().empty());
  EXPECT_TRUE(Received().front().starts_with("D3 00 45")) << Received().front();
  EXPECT_NE(Received().back(), "FF FF 00 02") << "no end frame after a reset";
}

TEST_F(RegisterActivity, OnlyTwoDigitsNameTheTable) {
  StartRegister();
  EXPECT_EQ(Run("R100", {"/FILE=t10.txt"}), " 0");
  ASSERT_FALSE(Received().empty());
  EXPECT_TRUE(Received().front().starts_with("D7 00 10")) << Received().front();
  EXPECT_EQ(Run("R 3", {"/FILE=t3.txt"}), " 0") << "a leading blank, as the usual integer conversion reads it";
  EXPECT_TRUE(ReceivedFrameStartingWith("D7 00 03"));
  EXPECT_EQ(Run("R3x", {"/FILE=t3.txt"}), " 1");
}

TEST_F(RegisterActivity, ReportsAreReadIntoRows) {
  StartRegister();
  EXPECT_EQ(Run("R70", {"/FILE=r70.txt"}), " 0");
  const auto rows = LinesOf(File("r70.txt"));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(std::count(rows[0].begin(), rows[0].end(), ';'), 6) << rows[0];
  EXPECT_EQ(Run("STS", {"/FILE=sts.txt"}), " 0");
  EXPECT_EQ(File("sts.txt"), "R\r\n") << "the key position the register reported";
}

TEST_F(RegisterActivity, StatusIsRewrittenEvenWhenTheTransferFails) {
  WriteFileBytes(folder_ / "sts.txt", "R\r\nold second line\r\n");
  StartRegister({"--silent-after", "0"});
  EXPECT_EQ(Run("STS", {"/FILE=sts.txt"}), " 5");
  const auto lines = LinesOf(File("sts.txt"));
  ASSERT_EQ(lines.size(), 1u) << File("sts.txt");
  EXPECT_NE(lines[0], "R") << "no key position came from the register";
}

TEST_F(RegisterActivity, StatusAfterAFailureKeepsTheKeyPositionOfTheReply) {
  StartRegister({"--bad-check", "1:5"});
  EXPECT_EQ(Run("STS", {"/FILE=sts.txt"}), "16");
  EXPECT_EQ(File("sts.txt"), "R\r\n") << "the DRQ reply gave the position before the record failed";
}

TEST_F(RegisterActivity, ReadThatFailsPartWayIsSaved) {
  WriteFileBytes(folder_ / "plu.txt", "previous contents\r\n");
  StartRegister({"--plu-count", "5", "--drop-after", "2"});
  EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), " 5");
  const auto rows = LinesOf(File("plu.txt"));
  ASSERT_EQ(rows.size(), 2u) << File("plu.txt");
  EXPECT_TRUE(rows[0].starts_with("8590000000015;")) << rows[0];
  EXPECT_FALSE(std::filesystem::exists(folder_ / "plu.txt.~mervtmp"));
}

// A read that failed before any row arrived leaves an earlier file byte for
// byte (it may be the price list the caller is about to send back) and still
// creates a missing one, empty; "error.dat" carries the failure either way.
TEST_F(RegisterActivity, ReadThatGotNoRowLeavesTheEarlierFile) {
  struct Read {
    const char* activity;
    std::vector<std::string> parameters;
  };
  const std::vector<Read> reads{{"R03", {"/FILE=out.txt"}},
                                {"PLU", {"/EAN=8590000000015", "/FILE=out.txt"}},
                                {"RJF", {"/ROW=1", "/FILE=out.txt"}},
                                {"OLJ", {"/ROW=1", "/FILE=out.txt"}}};
  const std::string earlier = "8590000000015;Rohlik;250;0;1;2;1;0;0;0;0;0;0;00;\r\n";
  for (const bool refused : {true, false}) {
    for (const Read& read : reads) {
      SCOPED_TRACE(std::string(read.activity) + (refused ? " refused" : " silent"));
      if (refused) {
        RefuseConnections();
      } else {
        StartRegister({"--silent-after", "0"});
      }
      WriteFileBytes(folder_ / "out.txt", earlier);
      EXPECT_EQ(Run(read.activity, read.parameters), refused ? " 9" : " 5");
      EXPECT_EQ(File("out.txt"), earlier);
    }
  }
  std::filesystem::remove(folder_ / "out.txt");
  EXPECT_EQ(Run("R03", {"/FILE=out.txt"}), " 5");
  EXPECT_TRUE(std::filesystem::exists(folder_ / "out.txt"));
  EXPECT_EQ(File("out.txt"), "");
}

// An IP configuration in layout 2: binary cells wider than their hex digits.
TEST_F(RegisterActivity, AddressTableRoundTripsInFixedWidthLayout) {
  const std::filesystem::path data = folder_ / "data";
  std::filesystem::create_directory(data);
  WriteFileBytes(data / "table21.txt", "192;168;1;10;255;255;255;0;192;168;1;1;0;80;\r\n");
  StartRegister({"--data", data.string()});
  ASSERT_EQ(Run("R21", {"/FILE=fixed.txt", "/FORMAT=2"}), " 0");
  EXPECT_EQ(File("fixed.txt"), "192168  1 10255255255  0192168  1  1  0 80\r\n");
  const auto sentByRegister = [this] {
    std::vector<std::string> records;
    for (const auto& line : LinesOf(ReadFileBytes(wireLog_))) {
      if (line.starts_with("send ") && line.size() > 5 + 3 * 5) records.push_back(line.substr(5));
    }
    return records;
  };
  static_cast<void>(Received());  // waits until the emulator has logged the read
  const auto recordsRead = sentByRegister();
  ASSERT_EQ(recordsRead.size(), 1u);

  StartRegister({"--data", data.string()});
  ASSERT_EQ(Run("W21", {"/FILE=fixed.txt", "/FORMAT=2"}), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith(recordsRead[0])) << "the record goes back byte for byte";
}

TEST_F(RegisterActivity, BlockAndRelease) {
  StartRegister();
  EXPECT_EQ(Run("BLOCK"), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("D3 00 69"));
  EXPECT_TRUE(ReceivedFrameStartingWith("01 00 01"));
  EXPECT_EQ(Run("DEBLOCK"), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("01 00 00"));
}

TEST_F(RegisterActivity, QueriesThroughTheRequestTable) {
  StartRegister();
  EXPECT_EQ(Run("PLU", {"/EAN=8590000000015", "/FILE=plu1.txt"}), " 0");
  EXPECT_NE(File("plu1.txt").find("8590000000015"), std::string::npos) << File("plu1.txt");
  EXPECT_TRUE(ReceivedFrameStartingWith("D3 00 67"));
  EXPECT_TRUE(ReceivedFrameStartingWith("D7 00 90"));

  EXPECT_EQ(Run("RJF", {"/ROW=300", "/FILE=rows.txt"}), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("01 00 00 00 00 00 00 00 00 01 2C")) << "row 300 as 012C";
  EXPECT_EQ(Run("RJF", {"/FILE=rows.txt"}), " 0");
  EXPECT_TRUE(ReceivedFrameStartingWith("01 00 00 00 00 00 00 00 00 00 FF")) << "no row: 00FF";
}

TEST_F(RegisterActivity, JournalFromARowKeepsTheNewerRowsOldestFirst) {
  StartRegister();
  EXPECT_EQ(Run("OLJ", {"/ROW=100", "/FILE=olj.txt"}), " 0");
  const auto rows = LinesOf(File("olj.txt"));
  ASSERT_FALSE(rows.empty());
  long previous = 100;
  for (const auto& row : rows) {
    const auto cells = row.substr(0, row.size() - 1);
    const long number = std::stol(cells.substr(cells.rfind(';') + 1));
    EXPECT_GT(number, previous) << row;
    previous = number;
  }
}

// Faults of the register during a download and an upload: the number the
// command ends with, and the caller's file: replaced by what was read, or
// left as it was when no row arrived.
struct FaultCase {
  std::string name;
  std::vector<std::string> options;
  std::string downloadCode;
  std::string uploadCode;
  bool noRowArrives = false;
};

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

class RegisterFault : public RegisterActivity, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RegisterFault, EndsWithItsNumberAndSavesWhatWasRead) {
  const FaultCase& fault = GetParam();
  StartRegister();
  ASSERT_EQ(Run("R03", {"/FILE=input.txt"}), " 0");
  const std::string original = "previous contents\r\n";
  WriteFileBytes(folder_ / "plu.txt", original);

  StartRegister(fault.options);
  EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), fault.downloadCode) << "download";
  if (fault.noRowArrives) {
    EXPECT_EQ(File("plu.txt"), original) << "nothing was read: the earlier file stays";
  } else {
    EXPECT_NE(File("plu.txt"), original) << "the file holds what was read, also after a failure";
  }
  if (fault.downloadCode != " 0") {
    EXPECT_LE(LinesOf(File("plu.txt")).size(), static_cast<std::size_t>(DemoPluCount));
  }

  StartRegister(fault.options);
  const std::string input = File("input.txt");
  EXPECT_EQ(Run("W03", {"/FILE=input.txt"}), fault.uploadCode) << "upload";
  EXPECT_EQ(File("input.txt"), input) << "an upload never changes its file";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegisterFault,
    ::testing::Values(
        FaultCase{"BadCheckOnce", {"--bad-check", "3:1"}, " 0", " 0"},
        FaultCase{"BadCheckFiveTimes", {"--bad-check", "3:5"}, "16", " 0"},
        FaultCase{"NakOnce", {"--status-reply", "record:2:15:1"}, " 0", " 0"},
        FaultCase{"NakFiveTimes", {"--status-reply", "record:2:15:5"}, " 0", "16"},
        FaultCase{"Busy", {"--status-reply", "drq:0B", "--status-reply", "dtx:0B"}, "29", "29", true},
        FaultCase{"NotStarted", {"--status-reply", "drq:0C", "--status-reply", "dtx:0C"}, "30", "30", true},
        FaultCase{"NetworkSilent", {"--status-reply", "drq:0D", "--status-reply", "dtx:0D"}, "31", "31", true},
        FaultCase{"NetworkSilentE", {"--status-reply", "drq:0E", "--status-reply", "dtx:0E"}, "31", "31", true},
        FaultCase{"ServiceInfo", {"--status-reply", "drq:17", "--status-reply", "dtx:17"}, "28", "28", true},
        FaultCase{"Full", {"--status-reply", "record:2:16"}, " 0", "26"},
        FaultCase{"SortRefused", {"--status-reply", "record:2:0E"}, " 0", "56"},
        FaultCase{"EmptyRegister", {"--empty"}, " 0", " 0"},
        // Over TCP a read that ends short, with nothing or with part of a
        // frame, is a transmission failure (5); a COM line says 4 when
        // nothing at all came.
        FaultCase{"Silent", {"--silent-after", "0"}, " 5", " 5", true},
        FaultCase{"DropAtFirstRecord", {"--drop-after", "1"}, " 5", " 5"},
        FaultCase{"DropInTheMiddle", {"--drop-after", "20"}, " 5", " 5"},
        FaultCase{"DropAtLastRecord", {"--drop-after", "40"}, " 5", " 5"}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

// The same module over a COM line: the emulator on a pseudo-terminal, the
// module's COM 1 pointed at it.
class ComLineActivity : public RegisterActivity {
protected:
  void StartComRegister(const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments{"--plu-count", std::to_string(DemoPluCount)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    StartOnComLine(comRegister_, arguments);
  }

  std::string RunOnCom(const std::string& activity, const std::vector<std::string>& parameters) {
    std::vector<std::string> arguments{activity, "/COM=1", "/BR=5", "/ECR=465", "/TO=500"};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    EXPECT_EQ(RunModuleOnCom(arguments).exitStatus, 0);
    return LinesOf(ReadFileBytes(folder_ / "error.dat")).at(0);
  }

  // The emulator notes the closed line once it has read all the module sent
  // before closing its side.
  void AwaitRegister() const override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (LastLogLine() != "note connection closed") {
      if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("mervsim did not see the line closed");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  std::string LastLogLine() const {
    const auto lines = LinesOf(ReadFileBytes(wireLog_));
    return lines.empty() ? std::string() : lines.back();
  }

  std::unique_ptr<BackgroundProcess> comRegister_;
};

TEST_F(ComLineActivity, ReadsAndWritesThePluTable) {
  StartComRegister();
  EXPECT_EQ(RunOnCom("R03", {"/FILE=plu.txt"}), " 0");
  EXPECT_EQ(LinesOf(File("plu.txt")).size(), static_cast<std::size_t>(DemoPluCount));
  EXPECT_EQ(RunOnCom("W03", {"/FILE=plu.txt"}), " 0");
  const auto frames = Received();
  EXPECT_EQ(frames.size(), 2 * (1 + static_cast<std::size_t>(DemoPluCount)) + 1)
      << "the read, then the DTX, every record and the end frame";
  EXPECT_EQ(frames.back(), "FF FF 00 02");
  EXPECT_EQ(RunOnCom("R70", {"/FILE=r70.txt"}), " 0");
  EXPECT_FALSE(File("r70.txt").empty());
}

TEST_F(ComLineActivity, SilenceAndBadRecordsOnTheLine) {
  WriteFileBytes(folder_ / "plu.txt", "previous\r\n");
  StartComRegister({"--silent-after", "0"});
  EXPECT_EQ(RunOnCom("R03", {"/FILE=plu.txt"}), " 4") << "nothing at all came over the line";
  EXPECT_EQ(File("plu.txt"), "previous\r\n") << "no row came: the earlier file stays";
  StartComRegister({"--bad-check", "2:5"});
  EXPECT_EQ(RunOnCom("R03", {"/FILE=plu.txt"}), "16");
  StartComRegister({"--drop-after", "10"});
  EXPECT_EQ(RunOnCom("R03", {"/FILE=plu.txt"}), " 4");
  EXPECT_EQ(LinesOf(File("plu.txt")).size(), 10u) << "the rows read before the line went silent";
}

TEST_F(ComLineActivity, SaveFailureAfterAFailedTransferKeepsTheFirstNumber) {
  std::filesystem::create_directory(folder_ / "status");
  StartComRegister();
  EXPECT_EQ(RunOnCom("STS", {"/FILE=status"}), " 7") << "a folder cannot take the status line";
  StartComRegister({"--silent-after", "0"});
  EXPECT_EQ(RunOnCom("STS", {"/FILE=status"}), " 4") << "not 7: the transfer failed first";
}

// A table file that is a FIFO is written in place and never blocks the
// command for good: no reader, a reader that leaves after a byte, a reader
// that never reads all end with 07 within the command's time-out, the process
// alive to write "error.dat". A planted link to a FIFO is refused the same way.
TEST_F(RegisterActivity, TableFileThatIsAFifoEndsWithSevenWhateverItsReaderDoes) {
  StartRegister({"--plu-count", "3000"});
  const auto fifo = folder_ / "plu.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  enum class Reader { None, LeavesAfterAByte, NeverReads };
  for (const Reader reader : {Reader::None, Reader::LeavesAfterAByte, Reader::NeverReads}) {
    std::atomic<bool> done{false};
    std::thread far;
    if (reader != Reader::None) {
      far = std::thread([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);  // waits for the module
        char byte = 0;
        if (reader == Reader::LeavesAfterAByte) static_cast<void>(::read(fd, &byte, 1));
        while (reader == Reader::NeverReads && !done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(fd);
      });
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), " 7") << static_cast<int>(reader);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    done = true;
    if (reader == Reader::None) continue;
    // A reader still waiting in its open (the module never opened) is let go.
    const int release = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    far.join();
    if (release >= 0) ::close(release);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  std::filesystem::create_symlink("plu.txt", folder_ / "link.txt");
  EXPECT_EQ(Run("R03", {"/FILE=link.txt"}), " 7");
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "link.txt"));
}

}  // namespace

#endif
