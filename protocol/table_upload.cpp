#include "protocol/table_upload.h"

#include <chrono>
#include <stdexcept>

#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "base/stop_request.h"
#include "model/check_bytes.h"
#include "model/soubor.h"
#include "model/table_numbers.h"
#include "protocol/link_protocol.h"
#include "protocol/table_transfer.h"
#include "transport/port.h"

namespace {

constexpr std::chrono::milliseconds RestartPause{7000};

enum class Verdict { Accepted, Again };

class TableUpload : public TTableTransfer<TUploadSettings> {
public:
  using TTableTransfer::TTableTransfer;

  bool Run() {
    ShowStart();
    if (Skipped("DTX")) return !table_.ResetMark;
    SendRequest();
    for (auto& row : table_.Rows) {
      ThrowIfStopRequested();
      SendRow(row);
    }
    ShowEnd();
    return !table_.ResetMark;
  }

private:
  std::uint8_t Dtx() const { return link_.Bytes().Dtx; }

  void ShowStart() {
    view_.ShowTableStart(LoadTextWith(table_.ResetMark ? 312 : 313, table_.Name), LoadTextWith(314, "0"),
                         static_cast<int>(table_.Rows.size()));
  }

  void ShowEnd() {
    view_.ShowTableEnd(LoadTextWith(table_.ResetMark ? 315 : 316, table_.Name),
                       LoadTextWith(317, std::to_string(count_)));
  }

  void RefuseForbiddenReset() const {
    if (!table_.ResetMark || Dtx() != LinkCommand::EcrDtxCommandLine) return;
    const int reset = table_.Number;
    if (reset == 1 || reset == 3 || (reset == 17 && !options_.AllowReset17)) {
      RaiseError(ErrorNumber::RefusedReset);
    }
  }

  void SendRequest() {
    LogLine("posilam DTX...");
    RefuseForbiddenReset();
    std::string reply;
    const LineResult result =
        link_.Exchange(CommandFrame(Dtx(), link_.NetId(), TableCode(table_, Dtx(), link_.Bytes(), options_.Options)),
                       reply);
    RaisePortResult(result);
    if (table_.ResetMark) {
      if (reply != EndFrame) RaiseError(ErrorNumber::ResetBusy);
      return;
    }
    link_.RequestReply(reply, result, Dtx());
  }

  void SendRow(TRadek& row) {
    const std::string record = table_.Interpreter->EncodeRow(row, false);
    for (int attempt = 1;; ++attempt) {
      std::string reply;
      RaisePortResult(link_.Exchange(record, reply));
      if (Judge(reply, attempt) == Verdict::Accepted) break;
    }
    row.Accepted = 1;
    CountRecord(314);
  }

  Verdict Judge(const std::string& reply, int attempt) {
    const bool more = attempt < MaxRecordAttempts;
    const std::uint8_t status = ReplyByte(reply, 1);
    // A status counts only in a reply that names the DTX byte; any other
    // reply is repeated, and judged once more after the last attempt.
    const bool fromDtx = ReplyByte(reply, 0) == Dtx();
    switch (fromDtx ? status : LinkStatus::None) {
      case LinkStatus::Repeat:
        if (!more) RaiseError(ErrorNumber::BadCheckBytes);
        return Verdict::Again;
      case LinkStatus::NetworkBusy:
        if (!more) RaiseError(ErrorNumber::NetworkRegisterBusy, std::to_string(link_.NetId()));
        return Verdict::Again;
      case LinkStatus::NetworkNotStarted:
      case LinkStatus::NetworkSilent:
        if (!more)
          RaiseError(status == LinkStatus::NetworkNotStarted ? ErrorNumber::NetworkNotStarted
                                                             : ErrorNumber::NetworkSilent);
        if (table_.Number == TableNumber::Plu && options_.Options.OptionV) RestartPluUpload();
        return Verdict::Again;
      case LinkStatus::NetworkSilentOrSortRefused:
        RaiseError(ErrorNumber::SortRefused);
      case LinkStatus::TableFull:
        RaiseError(options_.Options.OptionA ? ErrorNumber::SortRefused : ErrorNumber::RegisterFull);
      default:
        break;
    }
    if (fromDtx && status == LinkStatus::Ack && VerifyCheckBytes(reply) && reply.size() == 4) return Verdict::Accepted;
    if (more) return Verdict::Again;
    if (fromDtx && status == LinkStatus::ServiceError) RaiseError(ErrorNumber::ServiceInfoError);
    if (fromDtx && status == LinkStatus::Ack) RaiseError(ErrorNumber::BadCheckBytes);
    RaiseError(ErrorNumber::NoDataAck);
  }

  // The "V" variant of the PLU upload: the register may ask to start again.
  // The pause goes by the line's clock, as the port's other waits do.
  void RestartPluUpload() {
    link_.Port().Pause(RestartPause);
    for (int attempt = 1;; ++attempt) {
      try {
        LogLine("posilam DTX...");
        std::string reply;
        const LineResult result = link_.Exchange(CommandFrame(Dtx(), link_.NetId(), LinkTableCode::PluNew), reply);
        link_.RequestReply(reply, result, Dtx());
        return;
      } catch (const std::exception& failure) {
        if (attempt == MaxRecordAttempts) throw;
        LogLine(std::string("Chyba: ") + failure.what());
      }
    }
  }
};

}  // namespace

bool UploadTable(TLinkProtocol& link, TSoubor& table, const TUploadSettings& settings, TTransferView& view) {
  return TableUpload(link, table, settings, view).Run();
}
