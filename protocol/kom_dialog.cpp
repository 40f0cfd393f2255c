#include "protocol/kom_dialog.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "base/stop_request.h"
#include "model/soubor.h"
#include "model/table_numbers.h"
#include "protocol/table_download.h"
#include "protocol/table_upload.h"
#include "transport/modem_line.h"
#include "transport/port.h"

namespace {

constexpr int PauseBetweenTablesMs = 100;
constexpr int PauseAfterTcpFailureMs = 1500;
constexpr int MaxNetId = 255;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A step of tidying the line after a failure or at the end of the run: when
// it fails too, the failure is logged and the run goes on, so that the
// failure the run already has stays the one reported.
void LoggedOnFailure(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba: ") + failure.what());
  }
}

}  // namespace

TKomDialog::TKomDialog(TTransferView& view, TKomRequest request) : view_(view), request_(std::move(request)) {
  ShowDirection();
}

TKomDialog::~TKomDialog() = default;

void TKomDialog::ShowDirection() {
  const bool reset = !request_.Tables.empty() && request_.Tables.front()->ResetMark;
  const bool several = request_.Tables.size() > 1;
  int caption = 339, first = 340, one = 341, many = 342;
  if (request_.Sending && reset) {
    caption = 328, first = 330, one = 331, many = 332;
  } else if (request_.Sending) {
    caption = 334, first = 335, one = 336, many = 337;
  }
  view_.Caption = LoadText(caption);
  view_.Description = LoadText(request_.CommandStart ? 329 : first) + LoadText(several ? many : one);
  view_.FirstLabel.clear();
  view_.SecondLabel.clear();
  view_.ErrorLabel.clear();
  view_.Tables = {0, static_cast<int>(request_.Tables.size())};
  view_.Records = {0, 0};
}

int TKomDialog::ShowModal() {
  Run();
  return 1;
}

void TKomDialog::OpenPort() {
  if (request_.ModemLine != nullptr && request_.ModemLine->InUse()) {
    LogLine("Komunikace pres modem");
    port_ = request_.ModemLine->Port();
    runSettings_ = &request_.ModemLine->Settings();
    return;
  }
  runSettings_ = request_.Settings;
  LogLine(runSettings_->UseTcp ? "Komunikace pres TCPIP" : "Komunikace pres COM port");
  ownPort_ = request_.MakePort ? request_.MakePort() : std::make_unique<TPort>(request_.LineOptions);
  port_ = ownPort_.get();
}

void TKomDialog::Run() {
  if (running_) return;
  try {
    LogLine("Zahahuji komunikaci");
    LogLine("Test modemoveho spojeni");
    OpenPort();
    finished_ = false;
    errorCount_ = 0;
    keyPositionText_.assign(1, '?');
    firstError_ = 0;
    failedTables_.clear();
    if (ownPort_) {
      try {
        LogLine("Otevirani portu");
        if (!port_->Opened()) port_->Open(*runSettings_, 1);
        LogLine("Port otevren");
      } catch (const std::exception& failure) {
        LogLine(std::string("Chyba: ") + failure.what());
        // A connect cut short by a stop is the stop (10), not a line that
        // could not be opened: a caller retries the latter.
        ThrowIfStopRequested();
        RaiseError(ErrorNumber::ConnectFailure);
      }
    }
    LogLine("Vyprazdnuji buffery portu");
    port_->Flush();
    LogLine("Komunikace pripravena");
    TLinkProtocol link(*port_, request_.Bytes, NetIdOnTheLine(), request_.ModelName);
    running_ = true;
    TransferTables(link);
  } catch (const std::exception& failure) {
    LogLine(std::string("Odchycena chyba v komunikaci z modulu: ") + failure.what());
    RecordFailure(failure);
  }
  // A device gone by now (adapter pulled, line hung up) fails the flush.
  if (port_ != nullptr && port_->Opened()) LoggedOnFailure([this] { port_->Flush(); });
  ownPort_.reset();
  port_ = nullptr;
  running_ = false;
  if (!request_.Sending) FillStockNamesFromPlu();
}

void TKomDialog::RecordFailure(const std::exception& failure) {
  const int number = FailureNumberOf(failure);
  if (firstError_ == 0) firstError_ = number != 0 ? number : UnnumberedFailure;
}

TTransferOutcome TKomDialog::Outcome() const { return {keyPositionText_, firstError_, failedTables_}; }

// The network ID is the position of a 0..255 control, which holds any value
// given to it within that range; without the settings' network ID it is 0.
std::uint8_t TKomDialog::NetIdOnTheLine() const {
  if (request_.Settings != nullptr && !request_.Settings->UseNetId) return 0;
  return static_cast<std::uint8_t>(std::clamp(request_.NetId, 0, MaxNetId));
}

void TKomDialog::TransferTables(TLinkProtocol& link) {
  const auto& tables = request_.Tables;
  for (std::size_t index = 0; running_; ++index) {
    ThrowIfStopRequested();
    Sleep(PauseBetweenTablesMs + (lastTableFailedOnTcp_ ? PauseAfterTcpFailureMs : 0));
    lastTableFailedOnTcp_ = false;
    if (index < tables.size()) TransferTable(link, *tables[index]);
    keyPositionText_ = link.KeyPositionText();
    if (errorCount_ > 0) view_.ErrorLabel = LoadText(322) + " " + std::to_string(errorCount_);
    ++view_.Tables.Position;
    if (index + 1 >= tables.size()) {
      running_ = false;
      finished_ = true;
    }
    view_.Repaint();
  }
}

void TKomDialog::TransferTable(TLinkProtocol& link, TSoubor& table) {
  bool endFrameOwed = false;
  try {
    if (request_.Sending) {
      endFrameOwed = UploadTable(link, table, {request_.Options, request_.AllowReset17}, view_);
    } else {
      DownloadTable(link, table, {ReadTimeoutOfRecords(), request_.JournalStopRow, runSettings_->UseNetId}, view_);
    }
  } catch (const std::exception& failure) {
    // A reply that gave the key position counts even when the table failed.
    keyPositionText_ = link.KeyPositionText();
    failedTables_.push_back(table.Number);
    RecoverPort();
    if (FailureNumberOf(failure) != NumberOf(ErrorNumber::RegisterFull)) {
      ++errorCount_;
      throw;
    }
    // A full register does not stop the run, but the caller must learn that
    // rows were not stored.
    LogLine(std::string("Pokladna plna: ") + failure.what());
    RecordFailure(failure);
  }
  if (endFrameOwed) {
    LogLine(Utf8ToCp1250("ukončuji odesílání záznamů..."));
    LogLine("posilam EOF...");
    port_->Write(EndFrame);
  }
}

LineWait TKomDialog::ReadTimeoutOfRecords() const {
  const bool throughModem = request_.ModemLine != nullptr && port_ == request_.ModemLine->Port();
  const std::int32_t timeout = runSettings_->Timeout[ModemSlot];
  // A negative slot time-out leaves the read to the line's own, as for a port of the run's own.
  return throughModem && timeout >= 0 ? LineWait(std::chrono::milliseconds(timeout)) : std::nullopt;
}

// After a failed table: a TCP connection is made anew (the register may have
// dropped it), a COM line is flushed. A failure of the recovery itself is
// logged and leaves the table's failure as the one reported; a close that
// failed does not keep the port from being opened again. A stopped command
// does not reconnect: the line is closed when the run ends.
void TKomDialog::RecoverPort() {
  if (StopRequested()) return;
  if (runSettings_->UseTcp && port_ == ownPort_.get()) {
    lastTableFailedOnTcp_ = true;
    LoggedOnFailure([this] { port_->Close(); });
    LoggedOnFailure([this] { port_->Open(*runSettings_, 1); });
  } else {
    LoggedOnFailure([this] { port_->Flush(); });
  }
}

// Table 65 carries the PLU names of table 3 when both were read together.
void TKomDialog::FillStockNamesFromPlu() {
  TSoubor* plu = nullptr;
  TSoubor* stock = nullptr;
  for (TSoubor* table : request_.Tables) {
    if (table->ResetMark) continue;
    if (table->Number == TableNumber::Plu) plu = table;
    if (table->Number == TableNumber::PluStock) stock = table;
  }
  if (plu == nullptr || stock == nullptr) return;
  for (auto& row : stock->Rows) {
    std::string name;
    for (const auto& pluRow : plu->Rows) {
      if (pluRow.Cell(1) == row.Cell(1)) {
        name = pluRow.Cell(2);
        break;
      }
    }
    row.SetCell(3, name);
  }
}
