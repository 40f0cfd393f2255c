#include "app/register_activities.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_name.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/stop_request.h"
#include "base/safe_output_file.h"
#include "base/process_values.h"
#include "model/catalogue_builder.h"
#include "model/convert_error.h"
#include "model/model_list.h"
#include "model/table_comparison.h"
#include "model/table_file.h"
#include "model/table_numbers.h"
#include "model/value_conversions.h"

namespace {

constexpr int FirstResetCode = 0x45;
constexpr int LastResetCode = 0x57;

[[noreturn]] void Unknown() { RaiseError(ErrorNumber::NoActivity); }

TSoubor* ProgrammingTable(const TSoubory& catalogue, const std::string& activity) {
  const auto number = NumberAfterLetter(activity, 10);
  if (!number || *number < 1 || *number > 99) Unknown();
  TSoubor* table = catalogue.Table(*number);
  if (table == nullptr) Unknown();
  // Reading and comparing take every table; writing only the writable ones.
  if (activity[0] != 'R' && activity[0] != 'D' && !table->Writable) Unknown();
  return table;
}

TSoubor* ResetEntry(const TSoubory& catalogue, const std::string& activity) {
  const auto code = NumberAfterLetter(activity, 16);
  if (!code || *code < FirstResetCode || *code > LastResetCode) Unknown();
  const int index = *code - FirstResetCode;
  TSoubor* reset = catalogue.Reset(index);
  if (reset == nullptr) Unknown();
  if (index == 1 || index == 3 || index == 17) RaiseError(ErrorNumber::RefusedReset);
  return reset;
}

TSoubor* ExistingTable(const TSoubory& catalogue, int number) {
  TSoubor* table = catalogue.Table(number);
  if (table == nullptr) Unknown();
  return table;
}

TSoubor* TableOf(const TSoubory& catalogue, const std::string& activity, int table) {
  if (table == NoTable) return nullptr;
  if (table != TableOfWord) return ExistingTable(catalogue, table);
  return activity[0] == 'N' ? ResetEntry(catalogue, activity) : ProgrammingTable(catalogue, activity);
}

void LoadInputFile(TSoubory& catalogue, TSoubor& table, const CommandParameters& parameters) {
  try {
    LoadTable(table, parameters.DataFile, parameters.CodePage, catalogue.KeyLayouts, FirstFileColumn(table),
              parameters.FileFormat);
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    RaiseError(ErrorNumber::InputFileFailure);
  }
}

// A key that is no decimal number (the hex letters or the empty cell that the
// load lets through in a packed column) is a line that does not fit the
// table: error 22, as the load's own checks give.
void CheckInputOrder(const TSoubor& table, bool newPlu) {
  int order = 0;
  try {
    order = table.CheckKeyOrder(newPlu);
  } catch (const EConvertError& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    RaiseError(ErrorNumber::BadTableFile);
  }
  if (order != 0) RaiseError(ErrorNumber::UnsortedInput);
}

// Saved also after a failed transfer: the rows read before the failure are
// worth having, and "error.dat" tells the caller the table is incomplete.
// A read that failed before any row arrived has nothing to give: an earlier
// file of that name stays as it was (it may be the price list the caller is
// about to edit and send back); a missing one is still created, empty.
// The file replaces the old one only once it is complete. A command stopped
// by its caller (SIGTERM, Ctrl+C) ends at once and saves nothing.
void SaveRead(TActivityRun& run, const TSoubor& table, bool reverse, bool rowsArrived) {
  ThrowIfStopRequested();
  const CommandParameters& parameters = run.Parameters;
  std::error_code ignored;
  if (run.TransferFailed() && !rowsArrived && std::filesystem::exists(PathFromName(parameters.DataFile), ignored)) {
    LogLine("Nic nenacteno, soubor ponechan: " + parameters.DataFile);
    return;
  }
  LogLine("Nacteno, ukladam...");
  SaveWith([&] {
    SaveTable(table, parameters.DataFile, parameters.CodePage, reverse, run.Catalogue->KeyLayouts,
              parameters.FileFormat);
  });
  LogLine("Ukladani dokonceno");
}

void SaveRead(TActivityRun& run, const TSoubor& table) { SaveRead(run, table, false, !table.Rows.empty()); }

void SendLoaded(TActivityRun& run, TSoubor& table, bool newPlu) {
  LoadInputFile(*run.Catalogue, table, run.Parameters);
  CheckInputOrder(table, newPlu);
  run.Transfer({{&table}, true, true});
}

std::string DifferencesFile(const TActivityRun& run) {
  if (!run.Parameters.DiffFile.empty()) return run.Parameters.DiffFile;
  const std::string number = std::to_string(run.Table->Number);
  return run.Context.ProgramFolder() + "DIFF" + (number.size() < 2 ? "0" : "") + number + ".txt";
}

// The table is read as "Rnn" reads it, failures included; the rows read are
// compared however the read ended, and the differences file is written. A
// failed read keeps its own number in "error.dat"; 60 only says that a
// comparison asked to be strict found differences.
void CompareWithRegister(TActivityRun& run, const std::vector<TRadek>& fileRows, bool strict) {
  TSoubor& table = *run.Table;
  run.Transfer({{&table}, false, true});
  ThrowIfStopRequested();
  const std::vector<std::string> differences = CompareTableRows(table, fileRows, table.Rows);
  LogLine("Porovnani: " + std::to_string(differences.size()) + " rozdilu");
  std::string text;
  for (const std::string& line : differences) text += line + "\r\n";
  if (run.Parameters.CodePage == TableFileCodePage::Register) text = ToRegisterCharset(text);
  const std::string file = DifferencesFile(run);
  // /DIFF= is the caller's name; DIFFnn.txt is the module's own.
  const LinkRule links = run.Parameters.DiffFile.empty() ? LinkRule::Replace : LinkRule::FollowOnce;
  SaveWith([&] { WriteFileSafely(file, text, links); });
  if (strict && !differences.empty()) RaiseError(ErrorNumber::RegisterDiffers);
}

void Query(TActivityRun& run, const std::vector<std::string>& request) {
  TSoubor& requestTable = *ExistingTable(*run.Catalogue, TableNumber::Request);
  if (requestTable.Rows.empty()) requestTable.AddRow(-1, "");
  for (int column = 0; column < static_cast<int>(request.size()); ++column) {
    requestTable.Rows.front().SetCell(column, request[static_cast<std::size_t>(column)]);
  }
  run.Transfer({{&requestTable}, true});
  run.Transfer({{run.Table}, false});
  SaveRead(run, *run.Table);
}

// "RJF": the journal row as four capital hex digits, high byte first.
std::string JournalRowCode(int row) {
  const int high = ((row / 256) % 256 + 256) % 256;
  const int low = (row % 256 + 256) % 256;
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X", high, low);
  return text;
}

}  // namespace

void RunRegisterActivity(TActivityRun& run, int table, ActivityStep step) {
  run.Catalogue = BuildCatalogue(ModelNameOfCode(run.Parameters.ModelCode));
  run.Table = TableOf(*run.Catalogue, run.Parameters.Activity, table);
  if (step == nullptr) Unknown();
  step(run);
}

void SendTableFromFile(TActivityRun& run) {
  const bool verified = run.Parameters.Verify && run.Parameters.Activity[0] == 'W';
  if (verified) RequireOutputFolder(DifferencesFile(run));
  SendLoaded(run, *run.Table, false);
  if (!verified || run.TransferFailed()) return;
  // The table is emptied for the read-back: one that cannot connect reads
  // nothing, and must not leave the rows sent to be compared with themselves.
  const std::vector<TRadek> sent = std::move(run.Table->Rows);
  run.Table->Rows.clear();
  CompareWithRegister(run, sent, true);
}

void CompareTableWithFile(TActivityRun& run) {
  TSoubor& table = *run.Table;
  LoadInputFile(*run.Catalogue, table, run.Parameters);
  RequireOutputFolder(DifferencesFile(run));
  const std::vector<TRadek> fileRows = std::move(table.Rows);
  table.Rows.clear();
  CompareWithRegister(run, fileRows, run.Parameters.Strict);
}

void SendNewPlu(TActivityRun& run) {
  TSoubor& newPlu = run.Catalogue->NewPlu();
  SendLoaded(run, newPlu, newPlu.Number == TableNumber::Plu);
}

void SendReset(TActivityRun& run) { run.Transfer({{run.Table}, true, true}); }

void ReadTableToFile(TActivityRun& run) {
  run.Transfer({{run.Table}, false, true});
  SaveRead(run, *run.Table);
}

void QueryPlu(TActivityRun& run) { Query(run, {"1", run.Parameters.Ean, "0"}); }

void QueryJournalRow(TActivityRun& run) { Query(run, {"1", "0", JournalRowCode(run.Parameters.JournalRow)}); }

void ReadJournalFromRow(TActivityRun& run) {
  TTransferRequest request{{run.Table}, false};
  request.JournalStopRow = run.Parameters.JournalRow;
  run.Transfer(request);
  const bool rowsArrived = !run.Table->Rows.empty();
  const long long stopRow = run.Parameters.JournalRow;
  std::erase_if(run.Table->Rows, [stopRow](const TRadek& row) { return StrToInt64(row.Cell(2)) <= stopRow; });
  SaveRead(run, *run.Table, true, rowsArrived);
}

void BlockRegister(TActivityRun& run) {
  run.Table->Rows.clear();
  run.Table->AddRow(-1, run.Parameters.Activity == "BLOCK" ? "1|01|" : "1|00|");
  run.Transfer({{run.Table}, true});
}

void SaveKeyPosition(TActivityRun& run) {
  const std::string result = run.Transfer({{run.Table}, false, true}).KeyPositionText;
  ThrowIfStopRequested();
  const std::string& file = run.Parameters.DataFile;
  SaveWith([&] { WriteFileSafely(file, result + "\r\n", LinkRule::FollowOnce); });
}
