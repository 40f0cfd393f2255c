#pragma once
// TKomDialog: the transfer run. It takes a list of tables and a direction,
// connects (its own COM or TCP port, or the open modem line), runs the link
// protocol table after table, downloading or uploading, shows progress on a
// TTransferView and returns the outcome of the run (TTransferOutcome), which
// the caller records as it needs. It never lets a failure escape its run and
// never asks anything.
//
// The caller owns the table list, the catalogue owns the tables, the dialog
// owns its port for one run (the modem line stays the command processor's).
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"
#include "transport/nastaveni.h"

class TPort;
class TSoubor;
class TSoubory;

/// What one transfer run ended with.
struct TTransferOutcome {
  /// The register's key position as the last answer showed it, "?" for none.
  std::string KeyPositionText = "?";
  /// The number of the run's first failure, 0 when there was none.
  int FirstError = 0;
  /// The numbers of the tables that failed, in the order they failed.
  std::vector<int> FailedTables;

  bool Failed() const { return FirstError != 0; }
};

class TKomDialog {
public:
  explicit TKomDialog(TTransferView& view);
  ~TKomDialog();

  std::vector<TSoubor*> Tables;
  bool Sending = false;
  bool CommandStart = false;
  bool Unattended = false;
  const TNastaveni* Settings = nullptr;
  std::string ModelName;
  bool OptionV = false;
  bool OptionA = false;
  bool AllowReset17 = false;
  int JournalStopRow = -1;
  int NetId = 0;
  TLinkBytes Bytes;
  bool Running = false;
  bool Finished = false;
  int ErrorCount = 0;
  std::string KeyPositionText = "?";
  std::string NetIdLabel;

  /// Makes the dialog's own port; tests hand in ports over a test layer.
  std::function<std::unique_ptr<TPort>()> MakePort;

  /// Takes the family's command bytes from the catalogue and sets the texts
  /// of the view for the direction and the number of tables.
  void PrepareTransfer(const TSoubory& catalogue);
  void PrepareTransfer(const TLinkBytes& bytes);

  /// Runs the transfer as the window would once shown; returns the window's
  /// result (1).
  int ShowModal();

  /// The outcome of the last run.
  TTransferOutcome Outcome() const;

private:
  void Run();
  void OpenPort();
  void TransferTables(TLinkProtocol& link);
  void TransferTable(TLinkProtocol& link, TSoubor& table);
  void RecoverPort();
  void RecordFailure(const std::exception& failure);
  int ReadTimeoutOfRecords() const;
  void FillStockNamesFromPlu();

  TTransferView& view_;
  TPort* port_ = nullptr;
  std::unique_ptr<TPort> ownPort_;
  const TNastaveni* runSettings_ = nullptr;
  bool lastTableFailedOnTcp_ = false;
  int firstError_ = 0;
  std::vector<int> failedTables_;
};
