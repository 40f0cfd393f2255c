// The transfer run over a real TCP connection to the register emulator: what
// the run does with the connection when a table fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/process_values.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "protocol/kom_dialog.h"
#include "test_support.h"

namespace {

class TransferOverTcp : public ::testing::Test {
protected:
  void SetUp() override {
    catalogue_ = BuildCatalogue("ECR 465T/465TF");
    log_.PlainPath = moduleLog_.string();
  }

  // The connections the module made, from its own log: the emulator may
  // accept a connection only after the module has closed it again.
  std::size_t ConnectionsMade() const {
    const std::string log = ReadFileBytes(moduleLog_);
    std::size_t count = 0;
    for (std::size_t at = 0; (at = log.find("Created SocketStream", at)) != std::string::npos; ++at) ++count;
    return count;
  }

  void Start(std::vector<std::string> options) {
    register_.reset();
    std::filesystem::remove(wireLog_);
    options.insert(options.end(), {"--plu-count", "0", "--log", wireLog_.string()});
    register_ = std::make_unique<SimulatedRegister>(options);
    settings_.UseTcp = true;
    settings_.IpAddress = "127.0.0.1";
    settings_.IpPort = register_->Port();
    settings_.Timeout[1] = 1000;
  }

  void Download(const std::vector<int>& numbers) {
    TKomRequest request;
    for (const int number : numbers) request.Tables.push_back(catalogue_->Table(number));
    request.Settings = &settings_;
    request.Bytes = LinkBytesOf(catalogue_->CmFamily, catalogue_->CommandLineMode);
    dialog_.emplace(view_, std::move(request)).ShowModal();
  }

  std::vector<std::string> WireLines(std::string_view start) const {
    std::vector<std::string> lines;
    register_->AwaitEarlierConnections(wireLog_);
    std::istringstream log(ReadFileBytes(wireLog_));
    for (std::string line; std::getline(log, line);) {
      if (line.starts_with(start)) lines.push_back(line);
    }
    return lines;
  }

  TempDir folder_;
  std::filesystem::path wireLog_ = folder_ / "wire.log";
  std::filesystem::path moduleLog_ = folder_ / "module.log";
  TCommunicationLog log_;
  TRunContext run_{folder_.path().string(), log_};
  std::unique_ptr<SimulatedRegister> register_;
  std::unique_ptr<TSoubory> catalogue_;
  TNastaveni settings_;
  TTransferView view_;
  std::optional<TKomDialog> dialog_;
};

TEST_F(TransferOverTcp, ThreeTablesComeOverOneConnection) {
  Start({});
  Download({1, 2, 6});
  EXPECT_EQ(dialog_->Outcome().FirstError, 0);
  EXPECT_TRUE(dialog_->Finished());
  EXPECT_EQ(WireLines("recv D7 00 ").size(), 3u) << ReadFileBytes(wireLog_);
  EXPECT_FALSE(catalogue_->Table(6)->Rows.empty());
}

TEST_F(TransferOverTcp, FailedSecondTableReconnectsThenEndsTheRun) {
  Start({});
  Download({1});
  const std::size_t firstTableFrames = WireLines("recv ").size();
  ASSERT_GT(firstTableFrames, 1u);

  // The register answers the request for the second table "busy".
  std::filesystem::remove(moduleLog_);
  Start({"--status-reply", "frame:" + std::to_string(firstTableFrames + 1) + ":0B"});
  Download({1, 2, 6});
  EXPECT_EQ(dialog_->Outcome().FirstError, 29);
  EXPECT_EQ(dialog_->ErrorCount(), 1);
  EXPECT_FALSE(dialog_->Finished());
  EXPECT_EQ(ConnectionsMade(), 2u) << "the connection is made anew after the failure";
  const auto requests = WireLines("recv D7 00 ");
  ASSERT_EQ(requests.size(), 2u) << "the third table is not asked for";
  EXPECT_TRUE(requests[1].starts_with("recv D7 00 02")) << requests[1];
}

}  // namespace
