#pragma once
// The activities that talk to a register: reading and writing programming
// tables, resets, reports, the PLU and journal-row queries, blocking and
// releasing the register. Each builds the model catalogue, picks its table
// by the activity word, loads the input file when it sends, runs the
// transfer and saves what it read.
#include <string>
#include <vector>

#include "app/nastaveni.h"

class TSoubor;
class TSoubory;

void RunRegisterActivity(TNastaveni& settings, CommandParameters& parameters);

/// One exchange through the transfer window: the tables in order, the
/// direction, and the options of the activity. Returns the result text (the
/// register's key position).
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

std::string RunTransfer(const TSoubory& catalogue, const TNastaveni& settings, const CommandParameters& parameters,
                        const TTransferRequest& request);
