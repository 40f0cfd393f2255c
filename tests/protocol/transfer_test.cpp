// Downloads and uploads of single tables, and the transfer run around them,
// against a register scripted in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "base/process_values.h"
#include "protocol/kom_dialog.h"
#include "protocol/table_download.h"
#include "protocol/table_upload.h"
#include "scripted_register.h"
#include "test_support.h"

namespace {

struct ColumnShape {
  std::uint8_t type;
  int width;
};

/// Numbers `table`, gives it columns of these types and widths and a column
/// interpreter (over the first `interpretedColumns`, -1: all).
void Describe(TSoubor& table, int number, std::initializer_list<ColumnShape> columns, int interpretedColumns = -1) {
  table.Number = number;
  for (const ColumnShape& column : columns) table.AddColumn(column.type, column.width);
  table.Interpreter = std::make_unique<TTlumocnikSloupce>(table.Columns, interpretedColumns);
}

std::string Damaged(std::string record) {
  record.back() = static_cast<char>(record.back() ^ 0x01);
  return record;
}

/// A register that sends the given records one by one for a DRQ, resending
/// on a repeat request and stopping at the program's end frame.
struct SendingRegister {
  std::vector<std::string> records;
  std::vector<std::string> damagedCopies;  // sent instead of a record while left
  /// How many damaged copies of record i go before the record itself.
  std::vector<int> damagedCopiesOf;
  std::string drqReply = WithCheckBytes(Bytes({0xD7, 0x10}));
  std::size_t next = 0;
  int damagedOfNext = 0;

  std::string operator()(const std::string& written) {
    if (written.size() == 5 && static_cast<std::uint8_t>(written[0]) == 0xD7) return drqReply + Current();
    if (written == Ack) {
      ++next;
      damagedOfNext = 0;
      return Current();
    }
    if (written == Repeat) return Current();
    return {};
  }

  std::string Current() {
    if (next >= records.size()) return EndFrame;
    if (!damagedCopies.empty()) {
      std::string copy = damagedCopies.back();
      damagedCopies.pop_back();
      return copy;
    }
    if (next < damagedCopiesOf.size() && damagedOfNext < damagedCopiesOf[next]) {
      ++damagedOfNext;
      return Damaged(records[next]);
    }
    return records[next];
  }
};

class Transfer : public ::testing::Test, protected TScriptedTransfer {
protected:
  void Download(TSoubor& target, TDownloadOptions options = {}) { DownloadTable(link, target, options, view); }
};

TEST_F(Transfer, RegisterWithNothingToSendLeavesTheTableEmpty) {
  table.AddRow(-1, "1|5|old|");
  peer.Answer = [](const std::string&) { return EndFrame; };
  Download(table);
  EXPECT_TRUE(table.Rows.empty());
  EXPECT_EQ(view.FirstLabel, LoadTextWith(318, table.Name));
  EXPECT_EQ(peer.Written.size(), 1u) << "nothing is answered to the end frame";
}

TEST_F(Transfer, EndFrameAsFirstRecordShowsTheEndLabels) {
  SendingRegister reg;
  peer.Answer = std::ref(reg);
  Download(table);
  EXPECT_TRUE(table.Rows.empty());
  EXPECT_EQ(view.FirstLabel, LoadTextWith(320, table.Name));
  EXPECT_EQ(view.SecondLabel, LoadTextWith(321, "0"));
}

TEST_F(Transfer, RecordsAreDecodedAndAcknowledged) {
  SendingRegister reg;
  reg.records = {Record(table, "1|1250|Rohl|"), Record(table, "2|9|Chle|")};
  peer.Answer = std::ref(reg);
  Download(table);
  ASSERT_EQ(table.Rows.size(), 2u);
  EXPECT_EQ(table.Rows[0].WriteRowText(), "1|1250|Rohl|");
  EXPECT_EQ(table.Rows[1].WriteRowText(), "2|9|Chle|");
  EXPECT_EQ(peer.Written[0], Bytes({0xD7, 0x00, 0x05, 0xD2, 0x52}));
  EXPECT_EQ(peer.Written[1], Ack);
  EXPECT_EQ(peer.Written[2], Ack);
  EXPECT_EQ(peer.Written.size(), 3u);
}

TEST_F(Transfer, BadRecordIsRequestedAgainFiveTimesAtMost) {
  SendingRegister reg;
  const std::string good = Record(table, "1|1|A|");
  reg.records = {good, good};
  reg.damagedCopies = {Damaged(good), Damaged(good), Damaged(good), Damaged(good)};
  peer.Answer = std::ref(reg);
  Download(table);
  EXPECT_EQ(table.Rows.size(), 2u);
  EXPECT_EQ(std::count(peer.Written.begin(), peer.Written.end(), Repeat), 4);

  reg = SendingRegister();
  reg.records = {good};
  reg.damagedCopies.assign(5, Damaged(good));
  peer.Answer = std::ref(reg);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Download(table); }), 16);
}

// The five attempts are each record's own: bad copies of the records before
// it do not count against a record, however many there were in all.
TEST_F(Transfer, EveryRecordHasItsOwnFiveAttempts) {
  struct Case {
    const char* name;
    std::vector<int> damagedCopiesOf;
    int error;
    std::size_t rowsKept;
  };
  const std::vector<Case> cases{
      {"four bad copies of each of three records", {4, 4, 4}, 0, 3},
      {"one bad copy of each of five records", {1, 1, 1, 1, 1}, 0, 5},
      {"a good record between bad copies", {2, 0, 3}, 0, 3},
      {"five bad copies of the third record", {4, 4, 5}, 16, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendingRegister reg;
    for (std::size_t i = 0; i < c.damagedCopiesOf.size(); ++i) {
      reg.records.push_back(Record(table, std::to_string(i + 1) + "|" + std::to_string(i + 1) + "|A|"));
    }
    reg.damagedCopiesOf = c.damagedCopiesOf;
    peer.Written.clear();
    peer.Answer = std::ref(reg);
    EXPECT_EQ(ErrorNumberRaisedBy([&] { Download(table); }), c.error);
    EXPECT_EQ(table.Rows.size(), c.rowsKept);
    int badCopies = 0;
    for (const int copies : c.damagedCopiesOf) badCopies += copies;
    // The bad copy that fails the table is not asked for again.
    EXPECT_EQ(std::count(peer.Written.begin(), peer.Written.end(), Repeat), badCopies - (c.error != 0 ? 1 : 0));
  }
}

TEST_F(Transfer, ShortRecordIsRequestedAgain) {
  SendingRegister reg;
  const std::string good = Record(table, "1|1|A|");
  reg.records = {good};
  reg.damagedCopies = {good.substr(0, good.size() - 1)};
  peer.Answer = std::ref(reg);
  Download(table);
  EXPECT_EQ(table.Rows.size(), 1u);
  EXPECT_EQ(peer.Written[1], Repeat);
}

TEST_F(Transfer, SilentRegisterGivesFourAndKeepsWhatCame) {
  SendingRegister reg;
  reg.records = {Record(table, "1|1|A|")};
  peer.Answer = [&reg](const std::string& written) { return written == Ack ? std::string() : reg(written); };
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Download(table); }), 4);
  EXPECT_EQ(table.Rows.size(), 1u);
}

TEST_F(Transfer, ShortFinancialReportTakesOneRecordAndEndsIt) {
  table.Number = 85;
  SendingRegister reg;
  reg.records = {Record(table, "1|1|A|"), Record(table, "2|1|B|")};
  peer.Answer = std::ref(reg);
  Download(table);
  EXPECT_EQ(table.Rows.size(), 1u);
  EXPECT_EQ(peer.Written.back(), EndFrame);
}

TEST_F(Transfer, JournalFromRowStopsAtTheStopRow) {
  TSoubor journal;
  Describe(journal, 88, {{1, 2}, {4, 2}, {1, 2}});
  SendingRegister reg;
  reg.records = {Record(journal, "1|AA|122|"), Record(journal, "2|AA|121|"), Record(journal, "3|AA|120|"),
                 Record(journal, "4|AA|119|")};
  peer.Answer = std::ref(reg);
  Download(journal, {std::nullopt, 120, true});
  EXPECT_EQ(journal.Rows.size(), 3u);
  EXPECT_EQ(peer.Written.back(), EndFrame);
  EXPECT_EQ(std::count(peer.Written.begin(), peer.Written.end(), Ack), 2);
}

TEST_F(Transfer, NetworkEndRecordEndsTheTableUnstored) {
  table.Number = 65;
  const std::string end =
      WithCheckBytes(std::string(static_cast<std::size_t>(table.Interpreter->RecordLength() - 2), '\x30'));
  SendingRegister reg;
  reg.records = {Record(table, "1|1|A|"), end, Record(table, "3|1|C|")};
  peer.Answer = std::ref(reg);
  Download(table);
  EXPECT_EQ(table.Rows.size(), 1u);
  EXPECT_EQ(peer.Written.back(), EndFrame);

  reg = SendingRegister();
  reg.records = {Record(table, "1|1|A|"), end};
  peer.Answer = std::ref(reg);
  Download(table, {std::nullopt, -1, false});
  EXPECT_EQ(table.Rows.size(), 2u) << "outside a network the record is data";
}

TEST_F(Transfer, UploadSendsEveryRowAndOwesTheEndFrame) {
  table.AddRow(-1, "1|10|A|");
  table.AddRow(-1, "2|20|B|");
  peer.Answer = [](const std::string&) { return WithCheckBytes(Bytes({0xD3, 0x06})); };
  EXPECT_TRUE(UploadTable(link, table, {}, view));
  ASSERT_EQ(peer.Written.size(), 3u);
  EXPECT_EQ(peer.Written[0], CommandFrame(0xD3, 0, 0x05));
  EXPECT_EQ(peer.Written[2], Record(table, "2|20|B|"));
  EXPECT_EQ(table.Rows[1].Accepted, 1);
  EXPECT_EQ(view.SecondLabel, LoadTextWith(317, "2"));
}

TEST_F(Transfer, UploadRepeatsRefusedRecordsFiveTimes) {
  table.AddRow(-1, "1|10|A|");
  peer.Answer = [](const std::string& written) {
    return WithCheckBytes(Bytes({0xD3, written.size() == 5 ? 0x06 : 0x15}));
  };
  EXPECT_EQ(ErrorNumberRaisedBy([&] { UploadTable(link, table, {}, view); }), 16);
  EXPECT_EQ(peer.Written.size(), 6u);
  EXPECT_EQ(table.Rows[0].Accepted, 0);
}

TEST_F(Transfer, UploadReplyRules) {
  table.AddRow(-1, "1|10|A|");
  auto uploadAnswered = [&](std::string recordReply, TUploadSettings upload = {}) {
    peer.Answer = [recordReply](const std::string& written) {
      return written.size() == 5 ? WithCheckBytes(Bytes({0xD3, 0x06})) : recordReply;
    };
    return ErrorNumberRaisedBy([&] { UploadTable(link, table, upload, view); });
  };
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD3, 0x16}))), 26);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD3, 0x16})), {{false, true}, false}), 56);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD3, 0x0E}))), 56);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD3, 0x0C}))), 30);
  EXPECT_EQ(uploadAnswered(Bytes({0xD3, 0x06, 0, 0})), 16);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD3, 0x17}))), 28);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0x00, 0x17}))), 14);
  // A status counts only in a reply that names the DTX byte.
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD7, 0x16}))), 14);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0x00, 0x06}))), 14);
  EXPECT_EQ(uploadAnswered(WithCheckBytes(Bytes({0xD7, 0x0E}))), 14);
  EXPECT_EQ(uploadAnswered(""), 4);
}

/// A scripted register on a line with a clock of its own: a pause of the
/// line moves the clock on instead of waiting, and every frame written is
/// noted with the time it came.
class TClockedRegister : public TScriptedRegister {
public:
  std::vector<std::chrono::milliseconds> WrittenAt;

  int sio_write(int port, const char* data, int length) override {
    WrittenAt.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now_.time_since_epoch()));
    return TScriptedRegister::sio_write(port, data, length);
  }
  std::chrono::steady_clock::time_point Now() const override { return now_; }
  void Pause(int ms) override { now_ += std::chrono::milliseconds(std::max(ms, 0)); }

private:
  std::chrono::steady_clock::time_point now_{};
};

// With option "V" a register that answers a PLU record with "network not
// started" (0Ch) gets seven seconds before the upload starts again with a
// DTX of its own; the register answers the restart at once, so only the
// pause keeps the restart from coming early.
TEST(PluUploadWithOptionV, WaitsItsFullPauseBeforeTheRestart) {
  TClockedRegister line;
  const TNastaveni settings = ComLineSettings();
  TPort port(line);
  port.Open(settings, 1);
  TLinkProtocol link(port, TLinkBytes{}, 0, "");
  TTransferView view;
  TSoubor plu;
  MakeSmallTable(plu, 3);
  plu.AddRow(-1, "1|10|A|");
  const std::string record = Record(plu, "1|10|A|");
  bool refused = false;
  line.Answer = [&](const std::string& written) {
    if (written == record && !refused) {
      refused = true;
      return WithCheckBytes(Bytes({0xD3, 0x0C}));
    }
    return WithCheckBytes(Bytes({0xD3, 0x06}));
  };
  EXPECT_TRUE(UploadTable(link, plu, {{true, false}, false}, view));
  // The DTX, the refused record, the restart, the record again.
  ASSERT_EQ(line.Written.size(), 4u);
  EXPECT_EQ(line.Written[1], record);
  EXPECT_EQ(line.Written[2], CommandFrame(0xD3, 0, 0x03));
  EXPECT_EQ(line.Written[3], record);
  const auto pause = line.WrittenAt[2] - line.WrittenAt[1];
  EXPECT_GE(pause, std::chrono::milliseconds(7000)) << "the restart came before the pause was over";
  EXPECT_LT(pause, std::chrono::milliseconds(8000));
  EXPECT_EQ(plu.Rows[0].Accepted, 1);
}

TEST_F(Transfer, ResetsAreRefusedOnEcrAndSentOnCm) {
  TSoubor reset;
  reset.ResetMark = true;
  Describe(reset, 1, {{1, 2}});
  reset.AddRow(-1, "1|");
  EXPECT_EQ(ErrorNumberRaisedBy([&] { UploadTable(link, reset, {}, view); }), 49);
  EXPECT_TRUE(peer.Written.empty());

  TLinkBytes cm{0xE8, 0xD2, 0xD8, 8, true};
  TLinkProtocol cmLink(port, cm, 0, "");
  peer.Answer = [](const std::string& written) {
    return written.size() == 5 ? EndFrame : WithCheckBytes(Bytes({0xD2, 0x06}));
  };
  EXPECT_FALSE(UploadTable(cmLink, reset, {}, view)) << "no end frame is owed after a reset";
  EXPECT_EQ(peer.Written[0], CommandFrame(0xD2, 0, 0x46));

  peer.Answer = [](const std::string&) { return WithCheckBytes(Bytes({0xD2, 0x06})); };
  EXPECT_EQ(ErrorNumberRaisedBy([&] { UploadTable(cmLink, reset, {}, view); }), 27);

  // The refusal belongs to the ECR family's command-line DTX (D3h); the
  // window's DTX (D0h) sends the reset.
  TLinkProtocol windowLink(port, LinkBytesOf(false, false), 0, "");
  peer.Written.clear();
  peer.Answer = [](const std::string& written) {
    return written.size() == 5 ? EndFrame : WithCheckBytes(Bytes({0xD0, 0x06}));
  };
  EXPECT_FALSE(UploadTable(windowLink, reset, {}, view));
  EXPECT_EQ(peer.Written[0], CommandFrame(0xD0, 0, 0x46));
}

class TransferRun : public Transfer {
protected:
  void SetUp() override {
    MakeSmallTable(table, 5);
    MakeSmallTable(second, 6);
  }

  /// A request over the scripted register, with the ECR family's bytes.
  TKomRequest Request(std::vector<TSoubor*> tables, bool sending = false) {
    TKomRequest request;
    request.Tables = std::move(tables);
    request.Sending = sending;
    request.Settings = &settings;
    request.MakePort = [this] { return std::make_unique<TPort>(peer); };
    return request;
  }

  TKomDialog& Prepare(TKomRequest request) { return dialog_.emplace(view, std::move(request)); }

  /// A run that uploads one row of each of the two tables.
  TKomDialog& PrepareUploadOfBothTables() {
    table.AddRow(-1, "1|1|A|");
    second.AddRow(-1, "1|2|B|");
    return Prepare(Request({&table, &second}, true));
  }

  TSoubor second;
  std::optional<TKomDialog> dialog_;
};

TEST_F(TransferRun, UploadRunSendsTheEndFrameAfterEachTable) {
  TKomDialog& dialog = PrepareUploadOfBothTables();
  peer.Answer = [](const std::string& written) {
    if (written == EndFrame) return std::string();
    return WithCheckBytes(Bytes({0xD3, written.size() == 5 ? 0x20 : 0x06}));
  };
  dialog.ShowModal();
  EXPECT_TRUE(dialog.Finished());
  EXPECT_EQ(dialog.ErrorCount(), 0);
  EXPECT_EQ(dialog.Outcome().FirstError, 0);
  EXPECT_EQ(std::count(peer.Written.begin(), peer.Written.end(), EndFrame), 2);
  EXPECT_EQ(dialog.KeyPositionText(), "OFF");
  EXPECT_EQ(view.Caption, LoadText(334));
}

TEST_F(TransferRun, FullRegisterSkipsTheTableAndGoesOn) {
  TKomDialog& dialog = PrepareUploadOfBothTables();
  peer.Answer = [this](const std::string& written) {
    if (written.size() == 5) return WithCheckBytes(Bytes({0xD3, 0x06}));
    return WithCheckBytes(Bytes({0xD3, written == Record(table, "1|1|A|") ? 0x16 : 0x06}));
  };
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 26) << "the run goes on, but the caller learns of the rows left out";
  EXPECT_EQ(dialog.ErrorCount(), 0);
  EXPECT_TRUE(dialog.Finished());
  EXPECT_EQ(second.Rows[0].Accepted, 1);
}

TEST_F(TransferRun, FailureEndsTheRunAndKeepsTheFirstNumber) {
  TKomDialog& dialog = Prepare(Request({&table, &second}));
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 4);
  EXPECT_EQ(dialog.ErrorCount(), 1);
  EXPECT_FALSE(dialog.Finished());
  EXPECT_EQ(peer.Written.size(), 1u) << "the second table is not asked for";

  // Each run returns its own outcome; the command keeps the first failure.
  TFailureRecorder failures;
  RecordFailure(failures, 7);
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 4);
  RecordFailure(failures, dialog.Outcome().FirstError);
  EXPECT_EQ(failures.Number(), 7);
}

TEST_F(TransferRun, KeyPositionOfTheReplySurvivesAFailedTable) {
  TKomDialog& dialog = Prepare(Request({&table}));
  peer.Answer = [](const std::string& written) {
    return written.size() == 5 ? WithCheckBytes(Bytes({0xD7, 0x10})) : std::string();
  };
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 4) << "no record came after the DRQ reply";
  EXPECT_EQ(dialog.KeyPositionText(), "R");
}

TEST_F(TransferRun, NetworkIdStaysWithinTheRangeOfItsControl) {
  settings.UseNetId = true;
  for (const auto& [given, sent] : std::vector<std::pair<int, int>>{{44, 44}, {300, 255}, {-5, 0}}) {
    peer.Written.clear();
    TKomRequest request = Request({&table});
    request.NetId = given;
    Prepare(std::move(request)).ShowModal();
    ASSERT_FALSE(peer.Written.empty());
    EXPECT_EQ(static_cast<std::uint8_t>(peer.Written[0][1]), sent) << "ID " << given;
  }
}

// A COM line whose output never leaves (register off, cable pulled): either
// the driver queue takes the frames and nothing comes back, or the writes
// time out. Every transfer ends with 04 and the line is closed.
TEST_F(TransferRun, LineThatNeverDrainsEndsWithNoAnswer) {
  table.AddRow(-1, "1|1|A|");
  for (const bool sending : {false, true}) {
    for (const bool writesTimeOut : {false, true}) {
      TScriptedRegister line;
      line.OutputStuck = writesTimeOut;
      TKomRequest request = Request({&table}, sending);
      request.MakePort = [&line] { return std::make_unique<TPort>(line); };
      TKomDialog& dialog = Prepare(std::move(request));
      dialog.ShowModal();
      EXPECT_EQ(dialog.Outcome().FirstError, 4)
          << (sending ? "upload" : "download") << (writesTimeOut ? ", writes time out" : "");
      EXPECT_EQ(line.Closes, 1);
    }
  }
}

// A COM device that goes away mid-read (adapter pulled): after two records
// the register is silent and every flush fails, the last one included. The
// run still ends with the read's failure and keeps the rows that came.
TEST_F(TransferRun, DeviceGoneMidReadKeepsTheOutcomeAndTheRowsRead) {
  SendingRegister reg;
  reg.records = {Record(table, "1|1|A|"), Record(table, "2|2|B|"), Record(table, "3|3|C|")};
  int acks = 0;
  peer.Answer = [&](const std::string& written) {
    if (written == Ack && ++acks == 2) peer.FlushFails = true;
    return peer.FlushFails ? std::string() : reg(written);
  };
  TKomDialog& dialog = Prepare(Request({&table}));
  EXPECT_NO_THROW(dialog.ShowModal());
  EXPECT_EQ(dialog.Outcome().FirstError, 4);
  EXPECT_EQ(table.Rows.size(), 2u);
}

TEST_F(TransferRun, StockTableTakesTheNamesOfPlu) {
  TSoubor plu;
  Describe(plu, 3, {{1, 2}, {0, 7}, {3, 18}});
  TSoubor stock;
  Describe(stock, 65, {{1, 2}, {0, 7}, {2, 4}, {3, 18}}, 3);
  SendingRegister pluRegister;
  pluRegister.records = {Record(plu, "1|111|Rohlik|"), Record(plu, "2|222|Chleba|")};
  SendingRegister stockRegister;
  stockRegister.records = {Record(stock, "1|222|5.000|"), Record(stock, "2|333|1.000|")};
  bool firstTable = true;
  peer.Answer = [&](const std::string& written) {
    if (written == EndFrame) return std::string();
    if (written.size() == 5 && written[2] == '\x65') firstTable = false;
    return firstTable ? pluRegister(written) : stockRegister(written);
  };
  Prepare(Request({&plu, &stock})).ShowModal();
  ASSERT_EQ(stock.Rows.size(), 2u);
  EXPECT_EQ(stock.Rows[0].Cell(3), "Chleba");
  EXPECT_EQ(stock.Rows[1].Cell(3), "");
}

}  // namespace
