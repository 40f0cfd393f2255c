#include "protocol/table_download.h"

#include <algorithm>

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
#include "model/value_conversions.h"
#include "transport/port.h"

namespace {

constexpr int HeadLength = 4;

std::string AnswerFrame(const TLinkProtocol& link, std::uint8_t answer) {
  std::string frame{static_cast<char>(link.Bytes().Drq), static_cast<char>(answer)};
  AddCheckBytes(frame);
  return frame;
}

// The tables a networked register closes with a record of zeros.
bool EndsWithZeroRecord(int number) {
  return number == TableNumber::Plu || number == TableNumber::PluStock || number == TableNumber::DailyPluReport ||
         number == TableNumber::PeriodicPluReport;
}

bool IsNetworkEndRecord(const TSoubor& table, std::string_view record, const TDownloadOptions& options) {
  if (!options.UseNetId || !EndsWithZeroRecord(table.Number)) return false;
  const auto body = record.substr(0, record.size() - 2);
  return std::all_of(body.begin(), body.end(), [](char c) { return c == ZeroRecordByte; });
}

// Tables whose end the program decides, from the row it stored last. While no
// row is stored yet the transfer goes on.
bool StopsAfter(const TSoubor& table, const TDownloadOptions& options) {
  if (table.Number == TableNumber::ShortFinancialReport) return true;
  if (table.Rows.empty()) return false;
  const std::string& column2 = table.Rows.back().Cell(2);
  if (table.Number == TableNumber::JournalFromRow) return StrToInt64(column2) <= options.JournalStopRow;
  if (table.Number == TableNumber::OpenTableDetail) return column2 == "0000";
  return false;
}

class TableDownload : public TTableTransfer<TDownloadOptions> {
public:
  using TTableTransfer::TTableTransfer;

  void Run() {
    ShowStart();
    table_.Rows.clear();
    if (Skipped("DRQ")) return;
    if (RequestTable()) return;
    LogLine(Cz("zahahuji načítání záznamů..."));
    ReceiveRecords();
    LogLine(Cz("ukončeno načítání záznamů..."));
  }

private:
  static const std::string& Cz(std::string_view utf8) { return KeptUtf8ToCp1250(utf8); }

  void ShowStart() { view_.ShowTableStart(LoadTextWith(318, table_.Name), LoadTextWith(319, "0"), table_.Capacity); }

  // True when the register has nothing to send.
  bool RequestTable() {
    LogLine("posilam DRQ...");
    std::string reply;
    const LineResult result = link_.Exchange(CommandFrame(link_.Bytes().Drq, link_.NetId(),
                                                          TableCode(table_, link_.Bytes().Drq, link_.Bytes())),
                                             reply);
    return link_.RequestReply(reply, result, link_.Bytes().Drq);
  }

  std::string ReadPart(int count) {
    std::string part;
    const LineResult result = link_.Port().Read(part, count, true, options_.ReadWait);
    if (result != LineResult::Done) {
      LogLine(Cz("chyba při načítání..."));
      RaisePortResult(result);
    }
    return part;
  }

  void ReceiveRecords() {
    int attempt = 1;
    for (bool stop = false; !stop;) {
      ThrowIfStopRequested();
      LogLine(Cz("čekám na 4 byty..."));
      std::string record = ReadPart(HeadLength);
      LogLine(std::to_string(record.size()) + Cz(" byty přijaty..."));
      if (record == EndFrame) {
        ShowEnd();
        return;
      }
      const int restLength = table_.Interpreter->RecordLength() - HeadLength;
      LogLine(Cz("čekám na ") + std::to_string(restLength) + Cz(" byty..."));
      const std::string rest = ReadPart(std::max(restLength, 0));
      LogLine(std::to_string(rest.size()) + Cz(" byty přijaty..."));
      record += rest;
      LogLine(Cz("zpracovávám záznam..."));
      std::string answer;
      if (!IsGood(record)) {
        if (attempt == MaxRecordAttempts) RaiseError(ErrorNumber::BadCheckBytes);
        ++attempt;
        LogLine(Cz("posílám 15h - opakování..."));
        answer = AnswerFrame(link_, LinkStatus::Repeat);
      } else {
        attempt = 1;
        // A register that sends more rows than a table takes never ends the
        // table and would fill the memory and the log: the download is ended.
        if (count_ >= table_.RowLimit()) EndTooLongTable();
        stop = TakeRecord(record);
        LogLine(stop ? Cz("posílám EOF...") : Cz("posílám ACK..."));
        answer = stop ? EndFrame : AnswerFrame(link_, LinkStatus::Ack);
      }
      RaisePortResult(link_.Port().Write(answer));
      LogLine(Cz("odesláno..."));
    }
  }

  // Tells the register that the table ends here, then fails the download.
  [[noreturn]] void EndTooLongTable() {
    LogLine("Pokladna posila vice zaznamu, nez tabulka " + std::to_string(table_.Number) + " pojme (" +
            std::to_string(table_.RowLimit()) + "), nacitani ukonceno");
    LogLine(Cz("posílám EOF..."));
    link_.Port().Write(EndFrame);
    RaiseError(ErrorNumber::LineFailure);
  }

  bool IsGood(const std::string& record) const {
    return static_cast<int>(record.size()) == table_.Interpreter->RecordLength() && VerifyCheckBytes(record);
  }

  // Stores a good record; true when the table ends with it.
  bool TakeRecord(const std::string& record) {
    const bool endRecord = IsNetworkEndRecord(table_, record, options_);
    if (!endRecord) StoreRecord(record);
    CountRecord(319);
    LogLine(Cz("záznam zpracován..."));
    return endRecord || StopsAfter(table_, options_);
  }

  void StoreRecord(const std::string& record) {
    const std::string errors = table_.Interpreter->CheckRecord(table_, record);
    if (!errors.empty()) {
      LogLine(Cz("chyba v datech: ") + errors);
      return;
    }
    LogLine("data ok");
    table_.AddRow(-1, table_.Interpreter->DecodeRecord(record));
  }

  void ShowEnd() {
    LogLine(Cz("přijato EOF..."));
    LogLine(Cz("oznamuji konec načítání..."));
    view_.ShowTableEnd(LoadTextWith(320, table_.Name), LoadTextWith(321, std::to_string(count_)));
  }
};

}  // namespace

void DownloadTable(TLinkProtocol& link, TSoubor& table, const TDownloadOptions& options, TTransferView& view) {
  TableDownload(link, table, options, view).Run();
}
