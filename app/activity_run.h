#pragma once
// What an activity works with while it runs: the command's context, its
// settings and values, the model catalogue with the table its row of the activity table
// names (register activities only), and the transfers it has run. The
// dispatch creates one per command; it lives as long as the activity.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_context.h"
#include "app/command_parameters.h"
#include "model/soubory.h"
#include "protocol/kom_dialog.h"
#include "transport/modem_line.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

/// One exchange through the transfer window: the tables in order, the
/// direction, and the options of the activity.
struct TTransferRequest {
  std::vector<TSoubor*> Tables;
  bool Sending = false;
  /// Only the table activities pass the model name and the V and A options.
  bool TableActivity = false;
  bool OptionV = false;
  bool OptionA = false;
  int JournalStopRow = -1;
  /// Only the journal save may send the reset of the journal (17).
  bool AllowReset17 = false;
};

/// Runs one transfer and returns its outcome; the run records nothing else.
TTransferOutcome RunTransfer(const TSoubory& catalogue, const TNastaveni& settings, const CommandParameters& parameters,
                             const TCommandLines& lines, const TTransferRequest& request);

class TActivityRun {
public:
  TActivityRun(TCommandContext& context, TNastaveni& settings, CommandParameters& parameters)
      : Context(context), Settings(settings), Parameters(parameters), Lines(context.Lines) {}

  TCommandContext& Context;
  TNastaveni& Settings;
  CommandParameters& Parameters;
  const TCommandLines& Lines;
  /// The model catalogue of the command; none for the activities that run
  /// without it.
  std::unique_ptr<TSoubory> Catalogue;
  /// The table named by the activity's row; none when the row names none.
  TSoubor* Table = nullptr;

  /// Runs one transfer with the catalogue; a table activity takes its V and
  /// A options from the activity letter. A failed transfer is recorded as
  /// the command's failure (when it is the first).
  TTransferOutcome Transfer(TTransferRequest request);
  /// Whether a transfer of this activity has failed.
  bool TransferFailed() const { return transferFailed_; }

private:
  bool transferFailed_ = false;
};

/// The table of a row: a table number, or one of these.
inline constexpr int NoTable = 0;
/// The programming table or the reset that the activity word names.
inline constexpr int TableOfWord = -1;

/// Raises error 07 when the folder that `file` is to be written in does not
/// exist (or is no folder), so that an activity finds out before it spends
/// the time of reading the register.
void RequireOutputFolder(const std::string& file);

/// Runs `save`, which writes and commits an output file; whatever fails in
/// it is logged and raised as error 07, the output file's failure.
void SaveWith(const std::function<void()>& save);

/// The step of an activity.
using ActivityStep = void (*)(TActivityRun& run);

/// The two characters after the activity's first letter as a number in
/// `base` (10 or 16); none when they are not two digits of that base.
std::optional<int> NumberAfterLetter(std::string_view activity, int base);
