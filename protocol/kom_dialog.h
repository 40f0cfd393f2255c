#pragma once
// TKomDialog: the transfer run. It is built from one request (TKomRequest):
// a list of tables, a direction and how to reach the register. It
// connects (its own COM or TCP port, or the open modem line), runs the link
// protocol table after table, downloading or uploading, shows progress on a
// TTransferView and returns the outcome of the run (TTransferOutcome), which
// the caller records as it needs. It never lets a failure escape its run and
// never asks anything.
//
// The caller owns the table list, the catalogue owns the tables, the dialog
// owns its port for one run (the modem line stays the command processor's).
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/link_bytes.h"
#include "protocol/link_protocol.h"
#include "protocol/transfer_view.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

class TModemLine;
class TSoubor;

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

/// Everything one transfer run is given.
struct TKomRequest {
  /// The tables (and reset entries) in the order they are transferred.
  std::vector<TSoubor*> Tables;
  /// Uploading to the register; downloading from it otherwise.
  bool Sending = false;
  /// The run belongs to a command: the view says so.
  bool CommandStart = false;
  /// The command's settings (borrowed); the open modem line runs with its own.
  const TNastaveni* Settings = nullptr;
  TLinkBytes Bytes;
  /// The model the register must be (checked on the ENQ); empty: any.
  std::string ModelName;
  TUploadOptions Options;
  bool AllowReset17 = false;
  /// The journal row after which a download stops, -1 for none.
  int JournalStopRow = -1;
  /// The network ID; 0 when the settings do not use one.
  int NetId = 0;
  /// The command's modem line (borrowed); when it is connected the run goes
  /// through it instead of a port of its own.
  TModemLine* ModemLine = nullptr;
  /// What the run's own port is given.
  TLineOptions LineOptions;
  /// Makes the run's own port; empty: a port over the system's lines. Tests
  /// hand in ports over a test layer.
  std::function<std::unique_ptr<TPort>()> MakePort;
};

class TKomDialog {
public:
  /// Sets the view's texts for the direction and the number of tables.
  TKomDialog(TTransferView& view, TKomRequest request);
  ~TKomDialog();
  TKomDialog(const TKomDialog&) = delete;
  TKomDialog& operator=(const TKomDialog&) = delete;

  /// Runs the transfer as the window would once shown; returns the window's
  /// result (1). A later call runs it again.
  int ShowModal();

  /// The outcome of the last run.
  TTransferOutcome Outcome() const;
  /// The last run went through every table.
  bool Finished() const { return finished_; }
  /// The tables of the last run that ended it with a failure.
  int ErrorCount() const { return errorCount_; }
  /// The register's key position as the last run's replies showed it.
  const std::string& KeyPositionText() const { return keyPositionText_; }

private:
  void ShowDirection();
  void Run();
  void OpenPort();
  void TransferTables(TLinkProtocol& link);
  void TransferTable(TLinkProtocol& link, TSoubor& table);
  void RecoverPort();
  void RecordFailure(const std::exception& failure);
  LineWait ReadTimeoutOfRecords() const;
  std::uint8_t NetIdOnTheLine() const;
  void FillStockNamesFromPlu();

  TTransferView& view_;
  const TKomRequest request_;
  bool running_ = false;
  bool finished_ = false;
  int errorCount_ = 0;
  std::string keyPositionText_ = "?";
  TPort* port_ = nullptr;
  std::unique_ptr<TPort> ownPort_;
  const TNastaveni* runSettings_ = nullptr;
  bool lastTableFailedOnTcp_ = false;
  int firstError_ = 0;
  std::vector<int> failedTables_;
};
