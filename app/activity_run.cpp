#include "app/activity_run.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "model/convert_error.h"
#include "model/value_conversions.h"
#include "base/stop_request.h"
#include "protocol/transfer_view.h"

namespace {

std::int64_t AcceptedRows(const TSoubor& table) {
  return std::count_if(table.Rows.begin(), table.Rows.end(), [](const TRadek& row) { return row.Accepted != 0; });
}

// The rows that crossed the line: of a download the rows read, of an upload
// the rows the register accepted (a refused connection or a dropped line
// leaves the rest unsent).
std::int64_t RowsMoved(const TTransferRequest& request) {
  std::int64_t rows = 0;
  for (const TSoubor* table : request.Tables) {
    rows += request.Sending ? AcceptedRows(*table) : static_cast<std::int64_t>(table->Rows.size());
  }
  return rows;
}

}  // namespace

TTransferOutcome RunTransfer(const TSoubory& catalogue, const TNastaveni& settings, const CommandParameters& parameters,
                             const TCommandLines& lines, const TTransferRequest& request) {
  ThrowIfStopRequested();
  const auto view = MakeTransferView(parameters.Minimized);
  TKomRequest transfer;
  transfer.Tables = request.Tables;
  transfer.Sending = request.Sending;
  transfer.CommandStart = true;
  transfer.Settings = &settings;
  transfer.Bytes = LinkBytesOf(catalogue.CmFamily, catalogue.CommandLineMode);
  if (request.TableActivity) {
    transfer.ModelName = catalogue.ModelName;
    transfer.Options = {request.OptionV, request.OptionA};
  }
  transfer.AllowReset17 = request.AllowReset17;
  transfer.JournalStopRow = request.JournalStopRow;
  transfer.NetId = parameters.NetId;
  transfer.ModemLine = &lines.Modem;
  transfer.LineOptions = lines.Options;
  TKomDialog dialog(*view, std::move(transfer));
  dialog.ShowModal();
  return dialog.Outcome();
}

TTransferOutcome TActivityRun::Transfer(TTransferRequest request) {
  const char letter = Parameters.Activity.empty() ? '\0' : Parameters.Activity[0];
  if (request.TableActivity) {
    request.OptionV = letter == 'V';
    request.OptionA = letter == 'A';
  }
  TTransferOutcome outcome = RunTransfer(*Catalogue, Settings, Parameters, Lines, request);
  Parameters.TransferredRows += RowsMoved(request);
  transferFailed_ = transferFailed_ || outcome.Failed();
  if (outcome.Failed()) RecordFailure(Context.Failures(), outcome.FirstError);
  return outcome;
}

void RequireOutputFolder(const std::string& file) {
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (folder.empty()) return;  // the working folder
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return;
  LogLine("Slozka vystupniho souboru neexistuje: " + folder.string());
  RaiseError(ErrorNumber::OutputFileFailure);
}

void SaveWith(const std::function<void()>& save) {
  try {
    save();
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba behen ukladani: ") + failure.what());
    RaiseError(ErrorNumber::OutputFileFailure);
  }
}

// The two characters after the activity letter as a number: decimal as the
// platform's usual integer conversion reads it (a leading blank is accepted,
// "R 3" is table 3), or two hexadecimal digits.
std::optional<int> NumberAfterLetter(std::string_view activity, int base) {
  if (activity.size() < 3) return std::nullopt;
  const std::string digits(activity.substr(1, 2));
  if (base == 10) {
    try {
      return StrToInt(digits);
    } catch (const EConvertError&) {
      return std::nullopt;
    }
  }
  if (!std::isxdigit(static_cast<unsigned char>(digits[0])) || !std::isxdigit(static_cast<unsigned char>(digits[1]))) {
    return std::nullopt;
  }
  return HexPairToByte(digits[0], digits[1]);
}
