// Runs the built register emulator (mervsim) and talks to it with raw frames
// over a loopback socket or its pseudo-terminal, as the module does: the
// replies, the records and their check bytes, uploads, resets, the queries,
// every fault option, and the report records against the module's report
// interpreters. Each emulator is stopped and reaped by its test.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/communication_log.h"
#include "journal/journal_decoder.h"
#include "model/catalogue_builder.h"
#include "model/check_bytes.h"
#include "model/soubory.h"
#include "model/value_conversions.h"
#include "protocol/link_protocol.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t EcrEnq = 0xE9, EcrDtx = 0xD3, EcrDrq = 0xD7;
constexpr std::uint8_t CmEnq = 0xE8, CmDrq = 0xD8;
constexpr std::uint8_t KeyR = 0x10;
constexpr int PluRecordLength = 47;
constexpr int ReportRecordLength = 49;
constexpr int JournalRecordLength = 26;
constexpr const char* Ecr465 = "ECR 465T/465TF";

std::string Framed(std::initializer_list<int> bytes) {
  std::string frame;
  for (const int byte : bytes) frame += static_cast<char>(byte);
  AddCheckBytes(frame);
  return frame;
}

std::string Command(std::uint8_t command, std::uint8_t tableCode) { return CommandFrame(command, 0, tableCode); }
std::string Ack(std::uint8_t drq = EcrDrq) { return Framed({drq, LinkStatus::Ack}); }
std::string Repeat(std::uint8_t drq = EcrDrq) { return Framed({drq, LinkStatus::Repeat}); }

std::uint8_t At(const std::string& bytes, std::size_t index) {
  return index < bytes.size() ? static_cast<std::uint8_t>(bytes[index]) : 0;
}

// ---------------------------------------------------------------- processes

/// mervsim in the background, on TCP or a pseudo-terminal.
class SimProcess {
public:
  explicit SimProcess(const std::vector<std::string>& arguments) : process_(MERVSIM_EXE, arguments) {}

  const std::string& FirstLine() const { return process_.FirstLine(); }

  int Port() const {
    const std::string prefix = "mervsim listening on tcp 127.0.0.1:";
    if (FirstLine().rfind(prefix, 0) != 0) throw std::runtime_error("not listening on TCP: " + FirstLine());
    return std::stoi(FirstLine().substr(prefix.size()));
  }

  std::string Device() const {
    const std::string prefix = "mervsim listening on pty ";
    if (FirstLine().rfind(prefix, 0) != 0) throw std::runtime_error("not on a pty: " + FirstLine());
    return FirstLine().substr(prefix.size());
  }

  std::optional<int> ExitWithin(std::chrono::milliseconds limit) { return process_.ExitWithin(limit); }
  int Stop() { return process_.Stop(); }

private:
  BackgroundProcess process_;
};

/// The program's end of the line: a loopback connection or the slave side of
/// the emulator's pseudo-terminal, in raw mode.
class Line {
public:
  static std::unique_ptr<Line> Tcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    return std::unique_ptr<Line>(new Line(fd));
  }

  static std::unique_ptr<Line> Pty(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + device);
    termios mode{};
    ::tcgetattr(fd, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(fd, TCSANOW, &mode);
    return std::unique_ptr<Line>(new Line(fd));
  }

  ~Line() { ::close(fd_); }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  void Send(std::string_view bytes) const { SendTo(fd_, bytes); }

  /// Up to `count` bytes, waiting at most `timeout` in all.
  std::string Receive(std::size_t count, std::chrono::milliseconds timeout = 3000ms) const {
    return ReceiveFrom(fd_, count, static_cast<int>(timeout.count()));
  }

  /// Sends a frame and reads the four-byte reply.
  std::string Ask(std::string_view frame) const {
    Send(frame);
    return Receive(4);
  }

  /// True when the peer has closed the connection within the time.
  bool ClosedByPeer(std::chrono::milliseconds timeout = 3000ms) const {
    pollfd watched{fd_, POLLIN, 0};
    if (::poll(&watched, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char byte = 0;
    return ::read(fd_, &byte, 1) == 0;
  }

private:
  explicit Line(int fd) : fd_(fd) {}
  int fd_;
};

// ---------------------------------------------------------------- fixture

class Mervsim : public ::testing::Test {
protected:
  // Every emulator ends cleanly on SIGTERM (a sanitizer finding would not).
  void TearDown() override {
    if (sim_) {
      EXPECT_EQ(sim_->Stop(), 0) << sim_->FirstLine();
    }
  }

  /// mervsim on a free TCP port with few demo PLU and a wire log.
  SimProcess& StartTcp(std::vector<std::string> options = {}) {
    std::vector<std::string> arguments = {"--tcp", "0", "--plu-count", "40", "--log", LogPath()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    sim_ = std::make_unique<SimProcess>(arguments);
    return *sim_;
  }

  std::unique_ptr<Line> Connect() { return Line::Tcp(sim_->Port()); }

  std::string LogPath() const { return (dir_ / "wire.log").string(); }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::ifstream file(LogPath());
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  /// Lines of the wire log without the notes.
  std::vector<std::string> Frames() const {
    std::vector<std::string> frames;
    for (const auto& line : LogLines()) {
      if (line.rfind("note", 0) != 0) frames.push_back(line);
    }
    return frames;
  }

  static std::string Logged(std::string_view direction, std::string_view bytes) {
    std::string hex = HexDump(bytes);
    if (!hex.empty()) hex.pop_back();
    return std::string(direction) + " " + hex;
  }

  /// DRQ for the table, then an ACK for every record until the end frame.
  static std::vector<std::string> DownloadAll(const Line& line, std::uint8_t tableCode, int recordLength,
                                              std::uint8_t drq = EcrDrq) {
    const std::string reply = line.Ask(Command(drq, tableCode));
    EXPECT_EQ(reply, Framed({drq, KeyR})) << "DRQ of table code " << int(tableCode);
    std::vector<std::string> records;
    for (int guard = 0; guard < 5000; ++guard) {
      std::string record = line.Receive(4);
      if (record == EndFrame) return records;
      record += line.Receive(static_cast<std::size_t>(recordLength - 4));
      EXPECT_EQ(record.size(), static_cast<std::size_t>(recordLength));
      EXPECT_TRUE(VerifyCheckBytes(record));
      if (record.size() != static_cast<std::size_t>(recordLength)) return records;
      records.push_back(record);
      line.Send(Ack(drq));
    }
    ADD_FAILURE() << "no end frame";
    return records;
  }

  /// DTX for the table code, every record answered with ACK, then the end frame.
  static void UploadAll(const Line& line, std::uint8_t tableCode, const std::vector<std::string>& records) {
    ASSERT_EQ(line.Ask(Command(EcrDtx, tableCode)), Framed({EcrDtx, KeyR}));
    for (const auto& record : records) ASSERT_EQ(line.Ask(record), Framed({EcrDtx, LinkStatus::Ack}));
    line.Send(EndFrame);
  }

  std::string Encode(int table, std::string_view rowText) const {
    TSoubor& target = *catalogue_->Table(table);
    TRadek row(static_cast<int>(target.Columns.size()));
    row.SetDefaults(target.Columns);
    row.ReadRowText(rowText, target.Columns);
    return target.Interpreter->EncodeRow(row, false);
  }

  /// The row text of a record, after the table's own check of its fields.
  std::string Decode(int table, const std::string& record) const {
    const TSoubor& target = *catalogue_->Table(table);
    EXPECT_EQ(target.Interpreter->CheckRecord(target, record), "") << "table " << table;
    return target.Interpreter->DecodeRecord(record);
  }

  static std::vector<std::string> Cells(const std::string& rowText) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t bar; (bar = rowText.find('|', start)) != std::string::npos; start = bar + 1) {
      cells.push_back(rowText.substr(start, bar - start));
    }
    return cells;
  }

  TempDir dir_;
  std::unique_ptr<TSoubory> catalogue_ = BuildCatalogue(Ecr465);
  std::unique_ptr<SimProcess> sim_;
};

bool IsEan13(const std::string& code) {
  if (code.size() != 13 || code.find_first_not_of("0123456789") != std::string::npos) return false;
  int sum = 0;
  for (std::size_t i = 0; i < 12; ++i) sum += (code[i] - '0') * (i % 2 == 0 ? 1 : 3);
  return (10 - sum % 10) % 10 == code[12] - '0';
}

// ---------------------------------------------------------------- command line

TEST(MervsimCommandLine, HelpNamesEveryOption) {
  const auto result = RunProcess(MERVSIM_EXE, {"--help"});
  EXPECT_EQ(result.exitStatus, 0);
  for (const char* option :
       {"--tcp",         "--pty",          "--link",       "--once",      "--line-speed", "--model",
        "--model-code",  "--key",          "--data",       "--plu-count", "--bad-check",  "--status-reply",
        "--empty",       "--silent-after", "--drop-after", "--log",       "--help",       "--sale",
        "tableNN.txt",   "14000",          "--modem",      "--modem-s2",  "--modem-s12",  "--modem-s86",
        "--store-wrong", "--replay",       "--replay-from"}) {
    EXPECT_NE(result.standardOutput.find(option), std::string::npos) << option;
  }
}

TEST(MervsimCommandLine, WrongUsageEndsWithStatusTwoAndSaysWhy) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "--tcp PORT or --pty"},
      {{"--tcp", "0", "--pty"}, "--tcp PORT or --pty"},
      {{"--tcp", "0", "--frobnicate"}, "unknown option \"--frobnicate\""},
      {{"--tcp", "70000"}, "--tcp"},
      {{"--tcp", "0", "--model", "999"}, "--model"},
      {{"--tcp", "0", "--key", "X"}, "no key position \"X\""},
      {{"--tcp", "0", "--status-reply", "dtx"}, "FRAME:BYTE"},
      {{"--tcp", "0", "--status-reply", "record:2:GG"}, "hexadecimal"},
      {{"--tcp", "0", "--status-reply", "reply:15"}, "enq, dtx, drq"},
      {{"--tcp", "0", "--bad-check", "0"}, "--bad-check"},
      {{"--tcp", "0", "--link", "/tmp/x"}, "--link needs --pty"},
      {{"--tcp"}, "--tcp needs a value"},
      {{"--tcp", "0", "--modem", "connect"}, "--modem needs --pty"},
      {{"--pty", "--modem", "ring"}, "none of connect, busy"},
      {{"--pty", "--modem", "connect", "--modem-s2", "256"}, "--modem-s2"},
      {{"--tcp", "0", "--sale", "859x"}, "is not CODE[:QTY]"},
      {{"--tcp", "0", "--sale", "8590000000015:0"}, "a quantity of 0"},
      {{"--tcp", "0", "--sale", "8590000000015:1.2345"}, "0.001 to 9999.999"},
      {{"--tcp", "0", "--sale", "8590000000015,"}, "is not CODE[:QTY]"},
      {{"--tcp", "0", "--store-wrong", "0"}, "--store-wrong"},
      {{"--tcp", "0", "--replay-from", "5"}, "--replay-from needs --replay"},
      {{"--tcp", "0", "--replay", "KL.log", "--replay-from", "0"}, "--replay-from"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto result = RunProcess(MERVSIM_EXE, arguments);
    EXPECT_EQ(result.exitStatus, 2) << message;
    EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
  }
}

TEST(MervsimCommandLine, AReplayOfALogThatCannotBeReadEndsWithStatusOne) {
  TempDir folder;
  WriteFileBytes(folder / "empty.log", "12/09/26 18:20:00 Parametry rozpoznany\r\n");
  // A FIFO nobody writes would hold an open that waits: it is refused at once.
  ASSERT_EQ(::mkfifo((folder / "fifo.log").c_str(), 0600), 0);
  for (const auto& log : {folder / "missing.log", folder / "empty.log", folder / "fifo.log"}) {
    const auto result = RunProcess(MERVSIM_EXE, {"--tcp", "0", "--replay", log.string()});
    EXPECT_EQ(result.exitStatus, 1) << log;
    EXPECT_NE(result.standardError.find(log.string()), std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
  }
}

// The ready line comes only once the port is bound: a port in use gives the
// failure alone, whatever is played on it.
TEST(MervsimCommandLine, PortInUseEndsWithStatusOneWithoutTheReadyLine) {
  SimProcess first({"--tcp", "0", "--plu-count", "0"});
  const std::string port = std::to_string(first.Port());
  TempDir folder;
  const std::vector<std::string> cases[] = {
      {"--tcp", port, "--plu-count", "0"},
      {"--tcp-range", port + ":1", "--plu-count", "0"},
      {"--tcp", port, "--card", (folder / "card.bin").string()},
  };
  for (const auto& arguments : cases) {
    const auto result = RunProcess(MERVSIM_EXE, arguments);
    EXPECT_EQ(result.exitStatus, 1) << arguments[0];
    EXPECT_NE(result.standardError.find("bind"), std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardOutput, "") << arguments[0];
  }
}

// ---------------------------------------------------------------- link basics

TEST_F(Mervsim, EnqForTableThreeGetsAModelCodeTheModelAccepts) {
  StartTcp();
  const auto line = Connect();
  const std::string reply = line->Ask(Command(EcrEnq, 0x03));
  ASSERT_EQ(reply.size(), 4u);
  EXPECT_TRUE(VerifyCheckBytes(reply));
  EXPECT_TRUE(ModelCodeFits(Ecr465, At(reply, 0), false));
  EXPECT_EQ(At(reply, 1), KeyR);
  EXPECT_EQ(Frames().front(), "recv E9 00 03 EA 2A");
  EXPECT_EQ(Frames().back(), Logged("send", reply));
}

TEST_F(Mervsim, KeyPositionAndModelCodeFollowTheOptions) {
  StartTcp({"--key", "OFF", "--model-code", "23"});
  const auto line = Connect();
  EXPECT_EQ(line->Ask(Command(EcrEnq, 0x03)), Framed({23, 0x20}));
  EXPECT_EQ(line->Ask(Command(EcrDrq, 0x12)), Framed({EcrDrq, 0x20}));
  EXPECT_EQ(KeyPosition(Ecr465, 0x20), "OFF");
}

TEST_F(Mervsim, DrqStreamsTheDemoPluWithGoodCheckBytes) {
  StartTcp();
  const auto line = Connect();
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x03)), Framed({EcrDrq, KeyR}));
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 3; ++i) {
    const std::string record = line->Receive(PluRecordLength);
    ASSERT_EQ(record.size(), static_cast<std::size_t>(PluRecordLength));
    ASSERT_TRUE(VerifyCheckBytes(record));
    rows.push_back(Cells(Decode(3, record)));
    line->Send(i == 1 ? Repeat() : Ack());
    if (i == 1) {
      EXPECT_EQ(line->Receive(PluRecordLength), record) << "a repeat request sends the same record again";
      line->Send(Ack());
    }
  }
  const std::string fourth = line->Receive(PluRecordLength);
  EXPECT_TRUE(VerifyCheckBytes(fourth));
  line->Send(EndFrame);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    EXPECT_TRUE(IsEan13(rows[i][1])) << rows[i][1];
    EXPECT_FALSE(rows[i][2].empty());
    if (i > 0) {
      EXPECT_LT(StrToInt64(rows[i - 1][1]), StrToInt64(rows[i][1]));
    }
  }
  // After the program's end frame the register sends nothing more and is ready again.
  EXPECT_EQ(line->Receive(1, 150ms), "");
  EXPECT_TRUE(VerifyCheckBytes(line->Ask(Command(EcrEnq, 0x03))));
}

TEST_F(Mervsim, TheLastRecordIsFollowedByTheEndFrame) {
  StartTcp({"--plu-count", "3"});
  const auto line = Connect();
  EXPECT_EQ(DownloadAll(*line, 0x03, PluRecordLength).size(), 3u);
  EXPECT_EQ(Frames().back(), Logged("send", EndFrame));
  // An empty table: the DRQ is accepted, then the end frame comes at once.
  EXPECT_TRUE(DownloadAll(*line, 0x04, 34).empty());
}

TEST_F(Mervsim, TablesTheRegisterLacksAreRefusedWithStatus17) {
  StartTcp();
  const auto line = Connect();
  EXPECT_EQ(line->Ask(Command(EcrDrq, 0x28)), Framed({EcrDrq, 0x17})) << "table 28 is absent on every model";
  EXPECT_EQ(line->Ask(Command(EcrDtx, 0x70)), Framed({EcrDtx, 0x17})) << "a report cannot be written";
  EXPECT_EQ(line->Ask(Command(EcrDrq, 0x3A)), Framed({EcrDrq, 0x17})) << "no decimal table code";
  // A frame with wrong check bytes gets no answer; the next good one does.
  std::string bad = Command(EcrEnq, 0x03);
  bad.back() = static_cast<char>(bad.back() ^ 1);
  line->Send(bad);
  EXPECT_EQ(line->Receive(4, 200ms), "");
  EXPECT_TRUE(VerifyCheckBytes(line->Ask(Command(EcrEnq, 0x03))));
}

// ---------------------------------------------------------------- uploads

TEST_F(Mervsim, UploadIsAcknowledgedRecordByRecordAndReplacesTheTable) {
  StartTcp();
  const auto line = Connect();
  const std::vector<std::string> records = {Encode(3, Cp("1|8590000000107|Test A|1250|0|1|2|1|0|0|0|0|0|0|00|")),
                                            Encode(3, Cp("2|8590000000206|Test Ž|990|0|2|1|1|0|0|0|0|0|0|00|"))};
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x61)), Framed({EcrDtx, KeyR}));
  std::string damaged = records[0];
  damaged[5] = static_cast<char>(damaged[5] ^ 0x01);
  EXPECT_EQ(line->Ask(damaged), Framed({EcrDtx, LinkStatus::Repeat})) << "check bytes wrong: send it again";
  for (const auto& record : records) EXPECT_EQ(line->Ask(record), Framed({EcrDtx, LinkStatus::Ack}));
  line->Send(EndFrame);
  EXPECT_EQ(DownloadAll(*line, 0x03, PluRecordLength), records);
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "note table 3: 2 records stored"), lines.end());
}

TEST_F(Mervsim, UploadWithCode63AddsToThePluTableByCode) {
  StartTcp({"--plu-count", "3"});
  const auto line = Connect();
  const auto before = DownloadAll(*line, 0x03, PluRecordLength);
  ASSERT_EQ(before.size(), 3u);
  const auto second = Cells(Decode(3, before[1]));
  UploadAll(*line, 0x63,
            {Encode(3, "1|" + second[1] + "|Changed|777|0|1|2|1|0|0|0|0|0|0|00|"),
             Encode(3, "2|99999999999999|Added|100|0|1|2|1|0|0|0|0|0|0|00|")});
  const auto after = DownloadAll(*line, 0x03, PluRecordLength);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(Decode(3, after[1]), "2|" + second[1] + "|Changed|777|0|1|2|1|0|0|0|0|0|0|00|");
  EXPECT_EQ(Decode(3, after[3]), "4|99999999999999|Added|100|0|1|2|1|0|0|0|0|0|0|00|");
}

TEST_F(Mervsim, AFullTableAnswers16AndAnUnfinishedUploadChangesNothing) {
  StartTcp();
  const auto line = Connect();
  const std::string password = Encode(12, "1|1234|");
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x12)), Framed({EcrDtx, KeyR}));
  EXPECT_EQ(line->Ask(password), Framed({EcrDtx, LinkStatus::Ack}));
  EXPECT_EQ(line->Ask(Encode(12, "2|5678|")), Framed({EcrDtx, 0x16})) << "table 12 holds one record";
  // A new command instead of the end frame: the records are dropped.
  EXPECT_TRUE(DownloadAll(*line, 0x12, 6).empty());
}

TEST_F(Mervsim, ResetAnswersTheEndFrameAndClearsItsReport) {
  StartTcp();
  const auto line = Connect();
  EXPECT_FALSE(DownloadAll(*line, 0x72, ReportRecordLength).empty());
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x4A)), EndFrame) << "reset 5, the daily department report";
  EXPECT_EQ(line->Ask(std::string(4, '\0')), Framed({EcrDtx, LinkStatus::Ack}));
  EXPECT_TRUE(DownloadAll(*line, 0x72, ReportRecordLength).empty());
  EXPECT_FALSE(DownloadAll(*line, 0x73, ReportRecordLength).empty()) << "the periodic report stays";
  EXPECT_FALSE(DownloadAll(*line, 0x87, JournalRecordLength).empty());
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x56)), EndFrame) << "reset 17, the journal";
  EXPECT_EQ(line->Ask(std::string(4, '\0')), Framed({EcrDtx, LinkStatus::Ack}));
  EXPECT_TRUE(DownloadAll(*line, 0x87, JournalRecordLength).empty());
}

// ---------------------------------------------------------------- reports and journal

TEST_F(Mervsim, ReportRecordsDecodeWithTheReportInterpretersAndAgree) {
  StartTcp();
  const auto line = Connect();
  std::map<int, std::vector<std::vector<std::string>>> reports;
  for (const int table : {70, 71, 72, 73, 74, 75, 76, 79, 80, 81, 82, 83, 84}) {
    const auto records = DownloadAll(*line, DecimalToBcd(std::to_string(table)), ReportRecordLength);
    EXPECT_FALSE(records.empty()) << table;
    for (const auto& record : records) reports[table].push_back(Cells(Decode(table, record)));
  }
  auto sum = [&](int table, std::size_t cell) {
    std::int64_t total = 0;
    for (const auto& row : reports[table]) total += row[cell].empty() ? 0 : StrToInt64(row[cell]);
    return total;
  };
  std::int64_t gross = -1;
  for (const auto& row : reports[70]) {
    if (row[0] == "2" && row[1] == "1") gross = StrToInt64(row[3]);
  }
  EXPECT_GT(gross, 0);
  EXPECT_EQ(reports[70][0][2], Cp("ZÁKLAD DPH A")) << "row names come from the description";
  EXPECT_EQ(sum(72, 3), gross) << "departments";
  EXPECT_EQ(sum(74, 2), gross) << "PLU";
  EXPECT_EQ(sum(83, 3), gross) << "hours";
  EXPECT_EQ(sum(84, 3), gross) << "drawer";
  // The short financial report: one record, which the program ends itself.
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x85)), Framed({EcrDrq, KeyR}));
  const std::string shortReport = line->Receive(ReportRecordLength);
  line->Send(EndFrame);
  EXPECT_EQ(StrToInt64(Cells(Decode(85, shortReport))[0]), gross);
  EXPECT_EQ(line->Receive(1, 150ms), "");
}

TEST_F(Mervsim, JournalHoldsReceiptsOldestFirstAnd88NewestFirst) {
  StartTcp();
  const auto line = Connect();
  const auto journal = DownloadAll(*line, 0x87, JournalRecordLength);
  ASSERT_GT(journal.size(), 10u);
  std::vector<std::string> codes;
  for (std::size_t i = 0; i < journal.size(); ++i) {
    const auto cells = Cells(Decode(87, journal[i]));
    EXPECT_EQ(cells[2], std::to_string(i + 1));
    codes.push_back(cells[1].substr(0, 2));
  }
  EXPECT_EQ(codes[0], "40") << "sale start";
  std::size_t next = 1;
  while (codes[next] == "05") ++next;
  EXPECT_GT(next, 1u) << "PLU sales";
  EXPECT_EQ(codes[next], "20") << "total";
  EXPECT_EQ(codes[next + 1], "21") << "payment";
  EXPECT_EQ(codes[next + 2], "40") << "the next receipt";

  // The fields of the first receipt: each sale is the PLU's price times the
  // quantity, the total and the payment are their sum.
  std::map<std::int64_t, std::int64_t> prices;
  for (const auto& record : DownloadAll(*line, 0x03, PluRecordLength)) {
    const auto cells = Cells(Decode(3, record));
    prices[StrToInt64(cells[1])] = StrToInt64(cells[3]);
  }
  auto hexOf = [&](std::size_t index) { return Cells(Decode(87, journal[index]))[1]; };
  auto amountAt2 = [](const std::string& hex) {
    EXPECT_EQ(hex.substr(2, 2), "00") << "sign byte of a positive amount";
    return StrToInt64(hex.substr(4, 10)) * 100 + StrToInt64(hex.substr(14, 2));
  };
  std::int64_t total = 0;
  for (std::size_t i = 1; i < next; ++i) {
    const std::string hex = hexOf(i);
    const std::int64_t code = StrToInt64(hex.substr(24, 14));
    const std::int64_t quantity = StrToInt64(hex.substr(16, 8));
    ASSERT_EQ(prices.count(code), 1u) << hex;
    EXPECT_EQ(amountAt2(hex), (prices[code] * quantity + 500) / 1000) << hex;
    total += amountAt2(hex);
  }
  EXPECT_EQ(amountAt2(hexOf(next)), total);
  EXPECT_EQ(amountAt2(hexOf(next + 1)), total);

  // Table 88 comes newest first; the program ends it at a row it has.
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x88)), Framed({EcrDrq, KeyR}));
  const auto newest = Cells(Decode(88, line->Receive(JournalRecordLength)));
  line->Send(Ack());
  const auto older = Cells(Decode(88, line->Receive(JournalRecordLength)));
  line->Send(EndFrame);
  EXPECT_EQ(newest[2], std::to_string(journal.size()));
  EXPECT_EQ(older[2], std::to_string(journal.size() - 1));
  EXPECT_EQ(newest[1], Cells(Decode(87, journal.back()))[1]);
}

TEST_F(Mervsim, JournalOfTheDayHoldsEveryRecordCodeAndDecodesCleanly) {
  struct Model {
    const char* Name;
    std::uint8_t Drq;
    bool FunctionKeyLines;
    const char* KeyLine;  // a function-key line the day's report shows
  };
  const std::vector<std::string> codes = {"01", "02", "03", "04", "05", "06", "07", "08", "09", "0A", "0B", "0C",
                                          "0D", "10", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29",
                                          "2B", "30", "31", "40", "41", "42", "43", "44", "45", "46", "47", "48",
                                          "49", "4A", "4B", "4C", "4D", "4E", "4F", "80", "81"};
  for (const Model& model : {Model{Ecr465, EcrDrq, true, "EKONOMI RAPPORT"},
                             Model{"CM-840/842", CmDrq, true, "PLATBA 1 "}, Model{"ECR 650F", EcrDrq, false, ""}}) {
    SCOPED_TRACE(model.Name);
    catalogue_ = BuildCatalogue(model.Name);
    StartTcp({"--model", model.Name});
    const auto line = Connect();
    const TJournalDecoder decoder(*catalogue_);
    std::map<std::string, int> seen;
    std::vector<std::string> keyLines;
    for (const auto& record : DownloadAll(*line, 0x87, JournalRecordLength, model.Drq)) {
      const std::string hex = Cells(Decode(87, record))[1];
      ++seen[hex.substr(0, 2)];
      const JournalLines lines = decoder.Decode(hex, false);
      EXPECT_NE(lines.Main.rfind("ERROR: ", 0), 0u) << lines.Main;
      EXPECT_EQ(lines.Main.find("???"), std::string::npos) << lines.Main;
      if (hex.substr(0, 2) == "2C") {
        EXPECT_EQ(lines.Main.size(), 48u) << lines.Main;
        keyLines.push_back(lines.Main);
      }
    }
    for (const auto& code : codes) EXPECT_GT(seen[code], 0) << "code " << code;
    EXPECT_EQ(seen.count("2C") > 0, model.FunctionKeyLines);
    if (model.FunctionKeyLines) {
      EXPECT_TRUE(std::any_of(keyLines.begin(), keyLines.end(), [&](const std::string& text) {
        return text.rfind(model.KeyLine, 0) == 0;
      })) << model.KeyLine;
    }
    sim_.reset();
  }
}

TEST_F(Mervsim, SalesItIsToldAboutFollowTheDayInTheJournal) {
  StartTcp();
  const auto plain = DownloadAll(*Connect(), 0x87, JournalRecordLength);
  sim_.reset();
  StartTcp({"--sale", "8590000000015:2,8590000000015:0.250", "--sale", "8590000000015"});
  const auto line = Connect();
  const auto journal = DownloadAll(*line, 0x87, JournalRecordLength);
  ASSERT_EQ(journal.size(), plain.size() + 9) << "two receipts: start, lines, total, payment";
  const TJournalDecoder decoder(*catalogue_);
  std::vector<std::string> shown;
  for (std::size_t i = plain.size(); i < journal.size(); ++i) {
    shown.push_back(decoder.Decode(Cells(Decode(87, journal[i]))[1], false).Main);
  }
  const std::string firstNumber = shown[0].substr(14, 8);
  EXPECT_EQ(shown[0].substr(0, 14), "PRODEJ        ");
  EXPECT_EQ(shown[1].substr(4, 28), "PLU 08590000000015     2.000");
  EXPECT_EQ(shown[2].substr(4, 28), "PLU 08590000000015     0.250");
  EXPECT_EQ(shown[3].substr(11, 6), "CELKEM");
  EXPECT_EQ(shown[4].substr(11, 6), "PLATBA");
  EXPECT_EQ(shown[5].substr(14, 8), ZeroPadNumber(StrToInt(firstNumber) + 1, 8)) << "the next receipt number";
  EXPECT_EQ(shown[6].substr(4, 28), "PLU 08590000000015     1.000");
  // The total is the sum of the lines (amounts end two characters before
  // the end of the line: a VAT group or two blanks).
  auto amount = [](const std::string& text) { return std::stod(text.substr(text.size() - 16, 14)); };
  EXPECT_NEAR(amount(shown[3]), amount(shown[1]) + amount(shown[2]), 0.001);
  EXPECT_NEAR(amount(shown[4]), amount(shown[3]), 0.001);
  EXPECT_GT(amount(shown[1]), 0);
}

TEST_F(Mervsim, ZResetWritesItsReportToTheJournalAndTheJournalResetEmptiesIt) {
  StartTcp();
  const auto line = Connect();
  const TJournalDecoder decoder(*catalogue_);
  const auto before = DownloadAll(*line, 0x87, JournalRecordLength);
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x4A)), EndFrame) << "reset 5, the daily department report";
  ASSERT_EQ(line->Ask(std::string(4, '\0')), Framed({EcrDtx, LinkStatus::Ack}));
  const auto after = DownloadAll(*line, 0x87, JournalRecordLength);
  ASSERT_GT(after.size(), before.size() + 2);
  const std::string heading = Cells(Decode(87, after[before.size()]))[1];
  EXPECT_EQ(heading.substr(0, 2), "42");
  EXPECT_EQ(decoder.Decode(heading, false).Main.substr(0, 9), "RZ     72");
  const std::string total = Cells(Decode(87, after[before.size() + 1]))[1];
  EXPECT_EQ(decoder.Decode(total, false).Main.substr(0, 10), "SUMA      ");
  // Table 88 starts with the newest row, the last function-key line.
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x88)), Framed({EcrDrq, KeyR}));
  const auto newest = Cells(Decode(88, line->Receive(JournalRecordLength)));
  line->Send(EndFrame);
  EXPECT_EQ(newest[1], Cells(Decode(87, after.back()))[1]);
  EXPECT_EQ(newest[1].substr(0, 2), "2C");

  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x56)), EndFrame) << "reset 17, the journal";
  ASSERT_EQ(line->Ask(std::string(4, '\0')), Framed({EcrDtx, LinkStatus::Ack}));
  EXPECT_TRUE(DownloadAll(*line, 0x87, JournalRecordLength).empty());
  EXPECT_TRUE(DownloadAll(*line, 0x88, JournalRecordLength).empty());
  UploadAll(*line, 0x67, {Encode(67, "1|0|0001|")});
  EXPECT_TRUE(DownloadAll(*line, 0x92, JournalRecordLength).empty());
  // The next reset writes to the empty journal from row 1 on.
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x48)), EndFrame) << "reset 3, the daily financial report";
  ASSERT_EQ(line->Ask(std::string(4, '\0')), Framed({EcrDtx, LinkStatus::Ack}));
  const auto fresh = DownloadAll(*line, 0x87, JournalRecordLength);
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(Cells(Decode(87, fresh.front()))[2], "1");
  EXPECT_EQ(decoder.Decode(Cells(Decode(87, fresh.front()))[1], false).Main.substr(0, 9), "RZ     70");
}

// ---------------------------------------------------------------- queries

TEST_F(Mervsim, PluQueryReturnsThatPlusRecordInThePluReportLayout) {
  StartTcp();
  const auto line = Connect();
  const auto plus = DownloadAll(*line, 0x03, PluRecordLength);
  ASSERT_GT(plus.size(), 5u);
  const auto fifth = Cells(Decode(3, plus[4]));
  UploadAll(*line, 0x67, {Encode(67, "1|" + fifth[1] + "|0|")});
  const auto answer = DownloadAll(*line, 0x90, ReportRecordLength);
  ASSERT_EQ(answer.size(), 1u);
  const auto cells = Cells(Decode(90, answer[0]));
  EXPECT_EQ(cells[0], "5") << "the PLU's record number";
  EXPECT_EQ(cells[3], fifth[1]);
  EXPECT_EQ(cells[5], fifth[5]) << "its department";

  UploadAll(*line, 0x67, {Encode(67, "1|12345|0|")});
  EXPECT_TRUE(DownloadAll(*line, 0x90, ReportRecordLength).empty()) << "no such PLU";
}

TEST_F(Mervsim, JournalRowQueryStartsAtTheRowAskedFor) {
  StartTcp();
  const auto line = Connect();
  UploadAll(*line, 0x67, {Encode(67, "1|0|0105|")});  // row 105 as four hex digits, as the program sends it
  const auto rows = DownloadAll(*line, 0x92, JournalRecordLength);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(Cells(Decode(92, rows.front()))[2], "261");
  EXPECT_EQ(Cells(Decode(92, rows[1]))[2], "262");
  EXPECT_EQ(rows.size(), DownloadAll(*line, 0x87, JournalRecordLength).size() - 260);
}

TEST_F(Mervsim, OpenTablesListTheirItemsUntilAnEmptySlot) {
  StartTcp();
  const auto line = Connect();
  const auto tables = DownloadAll(*line, 0x89, 12);
  ASSERT_EQ(tables.size(), 3u);
  const auto table = Cells(Decode(89, tables[1]));
  UploadAll(*line, 0x67, {Encode(67, "1|0|" + table[0] + "|")});
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x91)), Framed({EcrDrq, KeyR}));
  std::int64_t amount = 0;
  for (int slot = 1;; ++slot) {
    const auto cells = Cells(Decode(91, line->Receive(23)));
    ASSERT_EQ(cells[0], std::to_string(slot));
    if (cells[2] == "0000") break;
    amount += (StrToInt64(cells[6]) * StrToInt64(cells[1]) + 500) / 1000;
    line->Send(Ack());
  }
  line->Send(EndFrame);
  EXPECT_EQ(std::to_string(amount), table[2]) << "the table's amount is the sum of its items";
  EXPECT_EQ(line->Receive(1, 150ms), "");
}

TEST_F(Mervsim, BlockTableSetsAndReleasesTheBlock) {
  StartTcp();
  const auto line = Connect();
  UploadAll(*line, 0x69, {Encode(69, "1|01|")});
  EXPECT_EQ(Decode(69, DownloadAll(*line, 0x69, 5).at(0)), "1|01|");
  UploadAll(*line, 0x69, {Encode(69, "1|00|")});
  line->Ask(Command(EcrEnq, 0x03));  // the end frame has no reply: wait for the next one
  const auto lines = LogLines();
  const auto blocked = std::find(lines.begin(), lines.end(), "note register blocked");
  ASSERT_NE(blocked, lines.end());
  EXPECT_NE(std::find(blocked, lines.end(), "note register released"), lines.end());
}

// ---------------------------------------------------------------- faults

TEST_F(Mervsim, BadCheckCorruptsRecordKForNSends) {
  StartTcp({"--bad-check", "2:2"});
  const auto line = Connect();
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x03)), Framed({EcrDrq, KeyR}));
  EXPECT_TRUE(VerifyCheckBytes(line->Receive(PluRecordLength)));
  line->Send(Ack());
  const std::string firstSend = line->Receive(PluRecordLength);
  line->Send(Repeat());
  const std::string secondSend = line->Receive(PluRecordLength);
  line->Send(Repeat());
  const std::string thirdSend = line->Receive(PluRecordLength);
  line->Send(EndFrame);
  EXPECT_FALSE(VerifyCheckBytes(firstSend));
  EXPECT_FALSE(VerifyCheckBytes(secondSend));
  EXPECT_TRUE(VerifyCheckBytes(thirdSend));
  EXPECT_EQ(firstSend.substr(0, PluRecordLength - 1), thirdSend.substr(0, PluRecordLength - 1))
      << "only the last check byte differs";
}

TEST_F(Mervsim, StatusReplyReplacesTheChosenReplies) {
  // The first option that matches a frame decides.
  StartTcp({"--status-reply", "frame:8:16", "--status-reply", "enq:0B", "--status-reply", "dtx:0C:2", "--status-reply",
            "record:2:15:2"});
  const auto line = Connect();
  EXPECT_EQ(line->Ask(Command(EcrEnq, 0x03)), Framed({EcrEnq, 0x0B}));                 // frame 1
  EXPECT_TRUE(ModelCodeFits(Ecr465, At(line->Ask(Command(EcrEnq, 0x03)), 0), false));  // 2
  EXPECT_EQ(line->Ask(Command(EcrDtx, 0x12)), Framed({EcrDtx, 0x0C}));                 // 3
  EXPECT_EQ(line->Ask(Command(EcrDtx, 0x12)), Framed({EcrDtx, 0x0C}));                 // 4
  ASSERT_EQ(line->Ask(Command(EcrDtx, 0x16)), Framed({EcrDtx, KeyR}));                 // 5
  const std::string first = Encode(16, "1|EUR|00|25000|");
  const std::string second = Encode(16, "2|USD|00|22000|");
  EXPECT_EQ(line->Ask(first), Framed({EcrDtx, LinkStatus::Ack}));      // 6
  EXPECT_EQ(line->Ask(second), Framed({EcrDtx, LinkStatus::Repeat}));  // 7: record 2
  EXPECT_EQ(line->Ask(second), Framed({EcrDtx, 0x16}));                // 8: frame 8
  EXPECT_EQ(line->Ask(second), Framed({EcrDtx, LinkStatus::Repeat}));  // 9: record 2 again
  EXPECT_EQ(line->Ask(second), Framed({EcrDtx, LinkStatus::Ack}));     // 10
  line->Send(EndFrame);
  EXPECT_EQ(DownloadAll(*line, 0x16, 26), (std::vector<std::string>{first, second}));
}

TEST_F(Mervsim, EmptyAnswersEveryDrqWithTheEndFrame) {
  StartTcp({"--empty"});
  const auto line = Connect();
  EXPECT_EQ(line->Ask(Command(EcrDrq, 0x03)), EndFrame);
  EXPECT_EQ(line->Ask(Command(EcrDrq, 0x70)), EndFrame);
  EXPECT_EQ(line->Ask(Command(EcrDtx, 0x12)), Framed({EcrDtx, KeyR})) << "uploads are served";
}

TEST_F(Mervsim, SilentAfterAnswersOnlyTheFirstFramesOfEachConnection) {
  StartTcp({"--silent-after", "2"});
  {
    const auto line = Connect();
    EXPECT_EQ(line->Ask(Command(EcrEnq, 0x03)).size(), 4u);
    EXPECT_EQ(line->Ask(Command(EcrEnq, 0x03)).size(), 4u);
    line->Send(Command(EcrEnq, 0x03));
    EXPECT_EQ(line->Receive(4, 300ms), "");
  }
  const auto again = Connect();
  EXPECT_EQ(again->Ask(Command(EcrEnq, 0x03)).size(), 4u) << "a new connection is answered again";
}

TEST_F(Mervsim, DropAfterClosesTheConnectionAfterRecordK) {
  StartTcp({"--drop-after", "2"});
  {
    const auto line = Connect();
    ASSERT_EQ(line->Ask(Command(EcrDrq, 0x03)), Framed({EcrDrq, KeyR}));
    EXPECT_TRUE(VerifyCheckBytes(line->Receive(PluRecordLength)));
    line->Send(Ack());
    EXPECT_TRUE(VerifyCheckBytes(line->Receive(PluRecordLength)));
    EXPECT_TRUE(line->ClosedByPeer());
  }
  const auto next = Connect();
  ASSERT_EQ(next->Ask(Command(EcrDtx, 0x16)), Framed({EcrDtx, KeyR}));
  EXPECT_EQ(next->Ask(Encode(16, "1|EUR|00|25000|")), Framed({EcrDtx, LinkStatus::Ack}));
  next->Send(Encode(16, "2|USD|00|22000|"));
  EXPECT_TRUE(next->ClosedByPeer()) << "an upload is dropped when record K comes in";
}

TEST_F(Mervsim, LineSpeedPacesTheBytes) {
  StartTcp({"--line-speed", "2400"});
  const auto line = Connect();
  const auto start = std::chrono::steady_clock::now();
  line->Send(Command(EcrDrq, 0x03));
  // 5 bytes in, then the reply and the first record out, 240 bytes a second:
  // byte k of the answer cannot have crossed the line before 5 + k byte times.
  constexpr auto ByteTime = 4166us;
  for (int k = 1; k <= 4 + PluRecordLength; ++k) {
    ASSERT_EQ(line->Receive(1).size(), 1u) << "byte " << k;
    EXPECT_GE(std::chrono::steady_clock::now() - start, (5 + k) * ByteTime) << "byte " << k;
  }
}

TEST_F(Mervsim, PortsFrom14000To14009DoubleFfBytes) {
  int port = 0;
  for (int candidate = 14000; candidate <= 14009 && port == 0; ++candidate) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(candidate));
    if (::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) port = candidate;
    ::close(probe);
  }
  if (port == 0) GTEST_SKIP() << "ports 14000 to 14009 are all taken";
  sim_ = std::make_unique<SimProcess>(
      std::vector<std::string>{"--tcp", std::to_string(port), "--plu-count", "1", "--log", LogPath()});
  const auto line = Connect();
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x03)), Framed({EcrDrq, KeyR}));
  ASSERT_EQ(line->Receive(PluRecordLength).size(), static_cast<std::size_t>(PluRecordLength));
  line->Send(Ack());
  EXPECT_EQ(line->Receive(6), std::string("\xFF\xFF\xFF\xFF\x00\x02", 6)) << "the end frame, doubled";
  // The program's doubled end frame is one end frame to the register.
  ASSERT_EQ(line->Ask(Command(EcrDrq, 0x03)), Framed({EcrDrq, KeyR}));
  ASSERT_EQ(line->Receive(PluRecordLength).size(), static_cast<std::size_t>(PluRecordLength));
  line->Send(std::string("\xFF\xFF\xFF\xFF\x00\x02", 6));
  EXPECT_TRUE(VerifyCheckBytes(line->Ask(Command(EcrEnq, 0x03))));
  const auto frames = Frames();
  EXPECT_EQ(std::count(frames.begin(), frames.end(), "recv FF FF 00 02"), 1);
  EXPECT_EQ(std::count(frames.begin(), frames.end(), "send FF FF 00 02"), 1);
}

// ---------------------------------------------------------------- models and lines

TEST_F(Mervsim, CmModelUsesItsOwnCommandBytesAndModelCode) {
  catalogue_ = BuildCatalogue("CM-840/842");
  StartTcp({"--model", "CM-840/842"});
  const auto line = Connect();
  EXPECT_EQ(line->Ask(Command(CmEnq, 0x03)), Framed({8, KeyR}));
  line->Send(Command(EcrEnq, 0x03));
  EXPECT_EQ(line->Receive(4, 200ms), "") << "ECR bytes mean nothing to a CM register";
  const auto records = DownloadAll(*line, 0x03, PluRecordLength, CmDrq);
  EXPECT_EQ(records.size(), 40u);
  EXPECT_EQ(line->Ask(Command(CmDrq, 0x81)), Framed({CmDrq, 0x17})) << "the CM-840/842 has no waiter report";
}

TEST_F(Mervsim, PseudoTerminalServesTheSlaveAndItsLinkOneOpeningAfterAnother) {
  struct Model {
    const char* Option;
    std::uint8_t Enq;
    std::uint8_t Drq;
    int Code;
  };
  for (const Model& model : {Model{"CM-1846F", CmEnq, CmDrq, 2}, Model{"465", EcrEnq, EcrDrq, 18}}) {
    SCOPED_TRACE(model.Option);
    const auto link = dir_ / "com1";
    std::filesystem::remove(LogPath());
    sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--pty", "--link", link.string(), "--plu-count", "2",
                                                                 "--model", model.Option, "--log", LogPath()});
    const std::string device = sim_->Device();
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
    {
      const auto line = Line::Pty(link.string());
      EXPECT_EQ(line->Ask(Command(model.Enq, 0x03)), Framed({model.Code, KeyR}));
      EXPECT_EQ(DownloadAll(*line, 0x03, PluRecordLength, model.Drq).size(), 2u);
    }
    // The emulator sees the slave closed before it is opened again.
    for (int wait = 0; wait < 100 && LogLines().back() != "note connection closed"; ++wait) {
      std::this_thread::sleep_for(20ms);
    }
    {
      const auto line = Line::Pty(device);
      EXPECT_EQ(line->Ask(Command(model.Enq, 0x03)), Framed({model.Code, KeyR}));
    }
    EXPECT_EQ(sim_->Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link goes with the emulator";
    const auto lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "note connection closed"), 2);
  }
}

TEST_F(Mervsim, OnceEndsAfterTheFirstConnection) {
  StartTcp({"--once"});
  {
    const auto line = Connect();
    EXPECT_EQ(line->Ask(Command(EcrEnq, 0x03)).size(), 4u);
    EXPECT_THROW(Connect(), std::runtime_error) << "a second connection is refused, not queued";
    EXPECT_FALSE(sim_->ExitWithin(100ms).has_value()) << "still serving while the connection is open";
  }
  EXPECT_EQ(sim_->ExitWithin(3s), 0);
}

TEST_F(Mervsim, DataFolderTablesReplaceTheDemoTables) {
  WriteFileBytes(dir_ / "table03.txt",
                 "8590000000503;Kofola;2490;0;5;2;2;0;0;0;0;0;0;00;\r\n"
                 "8590000000602;M\xA0ky;1090;0;1;2;1;0;0;0;0;0;0;00;\r\n");
  WriteFileBytes(dir_ / "table30.txt", "2100;1;\r\n");
  StartTcp({"--data", dir_.path().string()});
  const auto line = Connect();
  const auto plus = DownloadAll(*line, 0x03, PluRecordLength);
  ASSERT_EQ(plus.size(), 2u);
  EXPECT_EQ(Decode(3, plus[0]), "1|8590000000503|Kofola|2490|0|5|2|2|0|0|0|0|0|0|00|");
  EXPECT_EQ(Decode(3, plus[1]), Cp("2|8590000000602|Máky|1090|0|1|2|1|0|0|0|0|0|0|00|")) << "code page 852 in the file";
  EXPECT_EQ(DownloadAll(*line, 0x30, 7).size(), 1u);
  EXPECT_EQ(DownloadAll(*line, 0x06, 31).size(), 5u) << "tables without a file keep the demo data";
  // The sales are made from the PLU as loaded.
  for (const auto& record : DownloadAll(*line, 0x74, ReportRecordLength)) {
    const auto code = Cells(Decode(74, record))[3];
    EXPECT_TRUE(code == "8590000000503" || code == "8590000000602") << code;
  }
}

// ---------------------------------------------------------------- with the module

class MervsimWithModule : public Mervsim {
protected:
  void SetUp() override { std::filesystem::copy_file(MERVMODUL_EXE, exe_); }

  std::string Run(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {}) {
    auto all = environment;
    all["XDG_CONFIG_HOME"] = config_.path().string();
    const auto result = RunProcess(exe_, arguments, all, folder_.path());
    EXPECT_EQ(result.exitStatus, 0);
    return ReadFileBytes(folder_ / "error.dat");
  }

  TempDir folder_;
  TempDir config_;
  std::filesystem::path exe_ = folder_ / "mervmodul";
};

TEST_F(MervsimWithModule, ModuleReadsAndWritesTablesOverTcp) {
  StartTcp({"--plu-count", "25"});
  const std::string port = "/IPPORT=" + std::to_string(sim_->Port());
  EXPECT_EQ(Run({"R03", "/IPADDR=127.0.0.1", port, "/ECR=465", "/FILE=plu.txt"}), " 0\r\n3.02F\r\n");
  const std::string plu = ReadFileBytes(folder_ / "plu.txt");
  EXPECT_EQ(std::count(plu.begin(), plu.end(), '\n'), 25);

  WriteFileBytes(folder_ / "new.txt", plu.substr(0, plu.find('\n') + 1));
  EXPECT_EQ(Run({"W03", "/IPADDR=127.0.0.1", port, "/ECR=465", "/FILE=new.txt"}), " 0\r\n3.02F\r\n");
  EXPECT_EQ(Run({"R03", "/IPADDR=127.0.0.1", port, "/ECR=465", "/FILE=back.txt"}), " 0\r\n3.02F\r\n");
  EXPECT_EQ(ReadFileBytes(folder_ / "back.txt"), ReadFileBytes(folder_ / "new.txt"));
}

TEST_F(MervsimWithModule, ModuleReadsAReportOverThePseudoTerminal) {
  const auto link = dir_ / "com1";
  sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--pty", "--link", link.string(), "--plu-count", "25"});
  ASSERT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Run({"R85", "/COM=1", "/BR=2", "/ECR=465", "/FILE=r85.txt"}, {{"MERV_COM1", link.string()}}),
            " 0\r\n3.02F\r\n");
  const std::string report = ReadFileBytes(folder_ / "r85.txt");
  EXPECT_EQ(std::count(report.begin(), report.end(), ';'), 12) << report;
  EXPECT_EQ(Run({"R01", "/COM=1", "/BR=2", "/ECR=465", "/FILE=r01.txt"}, {{"MERV_COM1", link.string()}}),
            " 0\r\n3.02F\r\n")
      << "a second opening of the line is served too";
}

// A pseudo-terminal has no parity to generate; its driver's refusal of the
// even parity that 9600 bit/s brings is not a failure.
TEST_F(MervsimWithModule, ModuleReadsAt9600BitsOverThePseudoTerminal) {
  const auto link = dir_ / "com1";
  sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--pty", "--link", link.string(), "--plu-count", "5"});
  for (int run = 0; run < 3; ++run) {
    EXPECT_EQ(Run({"R03", "/COM=1", "/BR=1", "/ECR=465", "/FILE=plu.txt"}, {{"MERV_COM1", link.string()}}),
              " 0\r\n3.02F\r\n");
  }
}

}  // namespace
