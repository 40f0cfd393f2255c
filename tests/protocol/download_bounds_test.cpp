// A download ends: a register that never sends the end frame is stopped once
// it has sent more rows than the table can hold, and a stop request ends a
// run with a failure of its own, the line closed.
#include <gtest/gtest.h>

#include "base/process_values.h"
#include "base/stop_request.h"
#include "protocol/kom_dialog.h"
#include "protocol/table_download.h"
#include "scripted_register.h"
#include "test_support.h"

namespace {

/// Sends `count` valid records (negative: without end), then the end frame;
/// calls `onAck` with the number of records acknowledged so far.
struct RecordSource {
  const TSoubor& table;
  int count;
  std::function<void(int)> onAck = [](int) {};
  int sent = 0;

  std::string operator()(const std::string& written) {
    if (written.size() == 5 && static_cast<std::uint8_t>(written[0]) == 0xD7) {
      return WithCheckBytes(Bytes({0xD7, 0x10})) + Next();
    }
    if (written == Ack) {
      onAck(sent);
      return Next();
    }
    return {};
  }

  std::string Next() {
    if (count >= 0 && sent >= count) return EndFrame;
    return Record(table, std::to_string(++sent % 100) + "|1|A|");
  }
};

// The table holds 10 rows: a download takes up to 2 * 10 + 100.
class DownloadBoundsTest : public ::testing::Test, protected TScriptedTransfer {
protected:
  void TearDown() override { ClearStopRequest(); }
};

TEST_F(DownloadBoundsTest, RowsBeyondTwiceTheCapacityAndAMarginEndTheDownload) {
  constexpr int Limit = 2 * 10 + 100;
  const struct {
    int sent;  // -1: without end
    int error;
    std::size_t rows;
  } cases[] = {{Limit, 0, Limit}, {Limit + 1, 5, Limit}, {-1, 5, Limit}};
  for (const auto& c : cases) {
    peer.Written.clear();
    peer.Answer = RecordSource{table, c.sent};
    EXPECT_EQ(ErrorNumberRaisedBy([&] { DownloadTable(link, table, {}, view); }), c.error) << c.sent;
    EXPECT_EQ(table.Rows.size(), c.rows) << c.sent;
    if (c.error != 0) {
      EXPECT_EQ(peer.Written.back(), EndFrame) << "the register is told that the table ends";
    }
  }
}

TEST_F(DownloadBoundsTest, StopRequestEndsTheRunWithTenAndAsksNoMore) {
  TKomRequest request;
  request.Settings = &settings;
  request.MakePort = [&] { return std::make_unique<TPort>(peer); };
  request.Tables = {&table};
  TKomDialog dialog(view, std::move(request));
  peer.Answer = RecordSource{table, -1, [](int acknowledged) {
                               if (acknowledged == 3) RequestStop();
                             }};
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 10);
  EXPECT_FALSE(dialog.Finished());
  EXPECT_EQ(table.Rows.size(), 3u) << "no record is taken after the request";
  const auto opens = std::count_if(peer.Written.begin(), peer.Written.end(), [](const std::string& frame) {
    return frame.size() == 5 && static_cast<std::uint8_t>(frame[0]) == 0xD7;
  });
  EXPECT_EQ(opens, 1) << "a stopped run does not ask again";
}

TEST_F(DownloadBoundsTest, StopRequestBeforeATransferStartsNothing) {
  RequestStop();
  EXPECT_EQ(ErrorNumberRaisedBy(ThrowIfStopRequested), 10);
  TKomRequest request;
  request.Settings = &settings;
  request.MakePort = [&] { return std::make_unique<TPort>(peer); };
  request.Tables = {&table};
  TKomDialog dialog(view, std::move(request));
  dialog.ShowModal();
  EXPECT_EQ(dialog.Outcome().FirstError, 10);
  EXPECT_TRUE(peer.Written.empty());
}

}  // namespace
