#include "app/register_activities.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>
#include <string_view>

#include "app/command_line.h"
#include "app/kom_error.h"
#include "app/program.h"
#include "base/safe_output_file.h"
#include "base/stop_request.h"
#include "model/localized_texts.h"
#include "model/soubory.h"
#include "model/table_file.h"
#include "model/value_conversions.h"
#include "protocol/kom_dialog.h"
#include "protocol/transfer_view.h"
#include "transport/communication_log.h"

namespace {

constexpr int UnknownActivity = 1;
constexpr int InputFileFailure = 6;
constexpr int OutputFileFailure = 7;
constexpr int UnsortedInput = 8;
constexpr int RefusedReset = 49;
constexpr int FirstResetCode = 0x45;
constexpr int LastResetCode = 0x57;

constexpr int RequestTable = 67;
constexpr int BlockTable = 69;
constexpr int ShortFinancialReport = 85;
constexpr int JournalTable = 87;
constexpr int JournalFromRowTable = 88;
constexpr int OpenTables = 89;
constexpr int PluAnswer = 90;
constexpr int JournalRowAnswer = 92;
constexpr int DailyPluReport = 74;

enum class Kind { Journal, PluQuery, OpenTablesExport, JournalFromRow, JournalRowQuery, Block, DailyExport,
                  Write, Read, Append, Reset, NewPlu, ShortReport };

struct Target {
  Kind kind;
  TSoubor* table;
};

[[noreturn]] void Unknown() { RaiseError(UnknownActivity); }

std::optional<int> TwoDigitsAfterLetter(const std::string& activity, int base) {
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

Target ProgrammingTable(const TSoubory& catalogue, const std::string& activity) {
  const auto number = TwoDigitsAfterLetter(activity, 10);
  if (!number || *number < 1 || *number > 99) Unknown();
  TSoubor* table = catalogue.Table(*number);
  if (table == nullptr) Unknown();
  const char letter = activity[0];
  if (letter != 'R' && !table->Writable) Unknown();
  return {letter == 'W' ? Kind::Write : letter == 'R' ? Kind::Read : Kind::Append, table};
}

Target ResetEntry(const TSoubory& catalogue, const std::string& activity) {
  const auto code = TwoDigitsAfterLetter(activity, 16);
  if (!code || *code < FirstResetCode || *code > LastResetCode) Unknown();
  const int index = *code - FirstResetCode;
  TSoubor* reset = catalogue.Reset(index);
  if (reset == nullptr) Unknown();
  if (index == 1 || index == 3 || index == 17) RaiseError(RefusedReset);
  return {Kind::Reset, reset};
}

TSoubor* ExistingTable(const TSoubory& catalogue, int number) {
  TSoubor* table = catalogue.Table(number);
  if (table == nullptr) Unknown();
  return table;
}

Target SelectTarget(const TSoubory& catalogue, const std::string& activity) {
  const auto table = [&](int number) { return ExistingTable(catalogue, number); };
  if (activity == "SAVEZUR" || activity == "SAVERESETZUR" || activity == "PRINTZUR" || activity == "PRINTUCT") {
    return {Kind::Journal, table(JournalTable)};
  }
  if (activity == "PLU") return {Kind::PluQuery, table(PluAnswer)};
  if (activity == "ROT") return {Kind::OpenTablesExport, table(OpenTables)};
  if (activity == "OLJ") return {Kind::JournalFromRow, table(JournalFromRowTable)};
  if (activity == "RJF") return {Kind::JournalRowQuery, table(JournalRowAnswer)};
  if (activity == "BLOCK" || activity == "DEBLOCK") return {Kind::Block, table(BlockTable)};
  if (SameWordIgnoringCase(activity, "EXPORTZ74")) return {Kind::DailyExport, table(DailyPluReport)};
  if (!activity.empty() && (activity[0] == 'W' || activity[0] == 'R' || activity[0] == 'A') &&
      TwoDigitsAfterLetter(activity, 10)) {
    return ProgrammingTable(catalogue, activity);
  }
  if (!activity.empty() && activity[0] == 'N' && TwoDigitsAfterLetter(activity, 16)) {
    return ResetEntry(catalogue, activity);
  }
  if (activity == "V03") return {Kind::NewPlu, &catalogue.NewPlu()};
  if (activity == "STS") return {Kind::ShortReport, table(ShortFinancialReport)};
  Unknown();
}

bool CarriesRecordNumber(int tableNumber) {
  return tableNumber == 1 || tableNumber == 2 || tableNumber == 4 || tableNumber == 5 || tableNumber == 66;
}

void LoadInputFile(TSoubory& catalogue, TSoubor& table, const CommandParameters& parameters) {
  try {
    LoadTable(table, parameters.DataFile, parameters.CodePage, catalogue.KeyLayouts,
              CarriesRecordNumber(table.Number) ? 0 : 1, parameters.FileFormat);
  } catch (const EKomError&) {
    throw;
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
    RaiseError(InputFileFailure);
  }
}

void CheckInputOrder(const TSoubor& table, bool newPlu) {
  if (table.CheckKeyOrder(newPlu) != 0) RaiseError(UnsortedInput);
}

void SaveWith(const std::function<void()>& save) {
  try {
    save();
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba behen ukladani: ") + failure.what());
    RaiseError(OutputFileFailure);
  }
}

class RegisterActivity {
public:
  RegisterActivity(TNastaveni& settings, CommandParameters& parameters)
      : settings_(settings), parameters_(parameters), catalogue_(BuildCatalogue(ModelNameOfCode(parameters.ModelCode))) {}

  void Run() {
    const Target target = SelectTarget(*catalogue_, parameters_.Activity);
    const char letter = parameters_.Activity[0];
    if (letter == 'W' || letter == 'V' || letter == 'A') {
      LoadInputFile(*catalogue_, *target.table, parameters_);
      CheckInputOrder(*target.table, letter == 'V' && target.table->Number == 3);
    }
    RunSteps(target);
  }

private:
  void RunSteps(const Target& target) {
    switch (target.kind) {
      case Kind::Block: return Block(*target.table);
      case Kind::PluQuery: return Query(*target.table, {"1", parameters_.Ean, "0"});
      case Kind::JournalRowQuery: return Query(*target.table, {"1", "0", JournalRowCode()});
      case Kind::JournalFromRow: return ReadJournalFromRow(*target.table);
      case Kind::Write:
      case Kind::Append:
      case Kind::NewPlu:
      case Kind::Reset:
        Transfer({{target.table}, true, true});
        return;
      case Kind::Read: return ReadAndSave(*target.table);
      case Kind::ShortReport: return ShortReport(*target.table);
      case Kind::Journal:
      case Kind::OpenTablesExport:
      case Kind::DailyExport:
        // Journal download and printing, and the exports, are not part of
        // this build yet.
        Unknown();
    }
  }

  std::string Transfer(TTransferRequest request) {
    const char letter = parameters_.Activity[0];
    if (request.TableActivity) {
      request.OptionV = letter == 'V';
      request.OptionA = letter == 'A';
    }
    const std::string result = RunTransfer(*catalogue_, settings_, parameters_, request);
    transferFailed_ = transferFailed_ || ErrorCode != 0;
    return result;
  }

  void Block(TSoubor& table) {
    table.Rows.clear();
    table.AddRow(-1, parameters_.Activity == "BLOCK" ? "1|01|" : "1|00|");
    Transfer({{&table}, true});
  }

  // "RJF": the journal row as four capital hex digits, high byte first.
  std::string JournalRowCode() const {
    const int row = parameters_.JournalRow;
    const int high = ((row / 256) % 256 + 256) % 256;
    const int low = (row % 256 + 256) % 256;
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", high, low);
    return text;
  }

  void Query(TSoubor& answer, const std::vector<std::string>& request) {
    TSoubor& requestTable = *ExistingTable(*catalogue_, RequestTable);
    if (requestTable.Rows.empty()) requestTable.AddRow(-1, "");
    for (int column = 0; column < static_cast<int>(request.size()); ++column) {
      requestTable.Rows.front().SetCell(column, request[static_cast<std::size_t>(column)]);
    }
    Transfer({{&requestTable}, true});
    Transfer({{&answer}, false});
    SaveRead(answer, false);
  }

  void ReadAndSave(TSoubor& table) {
    Transfer({{&table}, false, true});
    SaveRead(table, false);
  }

  void ReadJournalFromRow(TSoubor& table) {
    TTransferRequest request{{&table}, false};
    request.JournalStopRow = parameters_.JournalRow;
    Transfer(request);
    const long long stopRow = parameters_.JournalRow;
    std::erase_if(table.Rows, [stopRow](const TRadek& row) { return StrToInt64(row.Cell(2)) <= stopRow; });
    SaveRead(table, true);
  }

  void ShortReport(TSoubor& table) {
    const std::string result = Transfer({{&table}, false, true});
    SaveWith([&] { WriteFileSafely(parameters_.DataFile, result + "\r\n"); });
  }

  // A table read only in part is not saved: the caller's previous file stays
  // as it was, and "error.dat" carries the transfer's failure.
  void SaveRead(const TSoubor& table, bool reverse) {
    if (transferFailed_) {
      LogLine("Nacteno s chybou, soubor ponechan beze zmeny");
      return;
    }
    LogLine("Nacteno, ukladam...");
    SaveWith([&] {
      SaveTable(table, parameters_.DataFile, parameters_.CodePage, reverse, catalogue_->KeyLayouts,
                parameters_.FileFormat);
    });
    LogLine("Ukladani dokonceno");
  }

  TNastaveni& settings_;
  CommandParameters& parameters_;
  std::unique_ptr<TSoubory> catalogue_;
  bool transferFailed_ = false;
};

}  // namespace

std::string RunTransfer(const TSoubory& catalogue, const TNastaveni& settings, const CommandParameters& parameters,
                        const TTransferRequest& request) {
  ThrowIfStopRequested();
  const auto view = MakeTransferView(parameters.Minimized);
  TKomDialog dialog(*view);
  dialog.NetIdLabel = LoadText(255);
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
  return dialog.KeyPositionText;
}

void RunRegisterActivity(TNastaveni& settings, CommandParameters& parameters) {
  RegisterActivity(settings, parameters).Run();
}
