// The transfer run through a dialled modem line, against the register
// emulator playing a Hayes modem on a pseudo-terminal with the register
// behind it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/process_values.h"
#include "emulated_modem_line.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "protocol/kom_dialog.h"
#include "test_support.h"
#include "transport/modem.h"
#include "transport/modem_line.h"

#ifdef MERVSIM_EXE

namespace {

constexpr int RegisterSlot = 1;

class TransferOverModem : public ::testing::Test {
protected:
  void SetUp() override { UseDeviceAsModemCom(device_); }

  /// The emulator's modem answers the dial; the register behind it sends at
  /// `bitsPerSecond`, each answer only after the frame it answers has come
  /// in, so that an answer comes a few byte times after its frame was sent.
  void StartModem(int bitsPerSecond) {
    modem_ =
        std::make_unique<BackgroundProcess>(MERVSIM_EXE,
                                            std::vector<std::string>{"--pty", "--link", device_.string(), "--plu-count",
                                                                     "2", "--modem", "connect", "--modem-s12", "5",
                                                                     "--line-speed", std::to_string(bitsPerSecond)});
    ASSERT_NE(modem_->FirstLine().find("pty"), std::string::npos) << modem_->FirstLine();
  }

  /// Opens the modem line with these time-outs of the register's slot and the
  /// modem's slot, and dials.
  void DialWithTimeOuts(int registerSlotMs, int modemSlotMs) {
    TNastaveni settings = EmulatedModemSettings();
    settings.Timeout[RegisterSlot] = registerSlotMs;
    settings.Timeout[ModemSlot] = modemSlotMs;
    OpenModemLine(modemLine_, settings);
    Dial(modemLine_, modemLine_.Settings(), true);
    ASSERT_TRUE(modemLine_.InUse());
  }

  void Download(int number) {
    TKomRequest request;
    request.Tables = {catalogue_->Table(number)};
    request.Settings = &commandSettings_;
    request.Bytes = LinkBytesOf(catalogue_->CmFamily, catalogue_->CommandLineMode);
    request.ModemLine = &modemLine_;
    dialog_.emplace(view_, std::move(request)).ShowModal();
  }

  TempDir folder_;
  std::filesystem::path device_ = folder_ / "modem";
  std::unique_ptr<BackgroundProcess> modem_;
  TModemLine modemLine_;
  std::unique_ptr<TSoubory> catalogue_ = BuildCatalogue("ECR 465T/465TF");
  TNastaveni commandSettings_ = TNastaveni::CommandDefaults();
  TTransferView view_;
  std::optional<TKomDialog> dialog_;
};

// Records through the modem are read with the modem slot's time-out: a
// register whose records come later than the register slot's time-out but
// well within the modem slot's is read in full.
TEST_F(TransferOverModem, RecordsAreReadWithTheModemSlotsTimeOut) {
  // At 2400 bit/s a record starts some 20 ms after the acknowledgement of
  // the one before it was sent, and takes 200 ms.
  StartModem(2400);
  DialWithTimeOuts(5, 3000);
  Download(3);
  EXPECT_EQ(dialog_->Outcome().FirstError, 0);
  EXPECT_TRUE(dialog_->Finished());
  EXPECT_EQ(catalogue_->Table(3)->Rows.size(), 2u);
}

}  // namespace

#endif
