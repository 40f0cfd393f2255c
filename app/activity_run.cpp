#include "app/activity_run.h"

#include <cctype>

#include "base/localized_texts.h"
#include "base/stop_request.h"
#include "protocol/transfer_view.h"

namespace {

constexpr int NetIdLabelText = 255;

}  // namespace

TTransferOutcome RunTransfer(const TSoubory& catalogue, const TNastaveni& settings, const CommandParameters& parameters,
                             const TTransferRequest& request) {
  ThrowIfStopRequested();
  const auto view = MakeTransferView(parameters.Minimized);
  TKomDialog dialog(*view);
  dialog.NetIdLabel = LoadText(NetIdLabelText);
  dialog.Tables = request.Tables;
  dialog.Sending = request.Sending;
  dialog.CommandStart = true;
  dialog.Settings = &settings;
  dialog.NetId = parameters.NetId;
  dialog.PrepareTransfer(catalogue);
  if (request.TableActivity) {
    dialog.ModelName = catalogue.ModelName;
    dialog.OptionV = request.OptionV;
    dialog.OptionA = request.OptionA;
  }
  dialog.JournalStopRow = request.JournalStopRow;
  dialog.Unattended = true;
  dialog.ShowModal();
  return dialog.Outcome();
}

TTransferOutcome TActivityRun::Transfer(TTransferRequest request) {
  const char letter = Parameters.Activity.empty() ? '\0' : Parameters.Activity[0];
  if (request.TableActivity) {
    request.OptionV = letter == 'V';
    request.OptionA = letter == 'A';
  }
  TTransferOutcome outcome = RunTransfer(*Catalogue, Settings, Parameters, request);
  transferFailed_ = transferFailed_ || outcome.Failed();
  return outcome;
}

std::optional<int> NumberAfterLetter(std::string_view activity, int base) {
  if (activity.size() < 3) return std::nullopt;
  int value = 0;
  for (const char c : activity.substr(1, 2)) {
    const auto digit = static_cast<unsigned char>(c);
    int nibble = -1;
    if (std::isdigit(digit)) nibble = c - '0';
    if (base == 16 && std::isxdigit(digit) && !std::isdigit(digit)) nibble = std::toupper(digit) - 'A' + 10;
    if (nibble < 0) return std::nullopt;
    value = value * base + nibble;
  }
  return value;
}
