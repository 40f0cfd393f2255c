#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <initializer_list>
#include <optional>

#include "app/activity_table.h"
#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "model/convert_error.h"
#include "model/model_list.h"
#include "model/value_conversions.h"

namespace {

// A number as the platform's usual integer conversion reads it: leading
// blanks, an optional sign, decimal digits, and nothing after them.
std::optional<std::int32_t> ToInteger(std::string_view text) {
  try {
    return StrToInt(text);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

std::int32_t IntegerOrError(std::string_view text, ErrorNumber errorNumber) {
  const auto value = ToInteger(text);
  if (!value) RaiseError(errorNumber);
  return *value;
}

// The value when it is one of the integers `allowed`; else the error.
std::int32_t AllowedIntegerOrError(std::string_view text, std::initializer_list<std::int32_t> allowed,
                                   ErrorNumber errorNumber) {
  const auto value = ToInteger(text);
  if (!value || std::find(allowed.begin(), allowed.end(), *value) == allowed.end()) RaiseError(errorNumber);
  return *value;
}

constexpr TBaudRateCode BaudRateCodeRows[] = {{1, 9600}, {2, 19200}, {3, 38400}, {4, 57600}, {5, 115200}};

std::int32_t BaudRateOf(std::string_view value) {
  const std::int32_t number = IntegerOrError(value, ErrorNumber::NoBaudRate);
  for (const auto& row : BaudRateCodeRows) {
    if (row.Code == number) return row.BitsPerSecond;
  }
  return number;
}

std::string Trimmed(std::string_view token) {
  const auto first = token.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = token.find_last_not_of(' ');
  return std::string(token.substr(first, last - first + 1));
}

// The value of a token for a row of the parameter table, or nullopt when the
// token is another parameter's. A switch has the empty value.
std::optional<std::string_view> ValueFor(std::string_view token, const TCommandParameter& row) {
  const std::string_view name = token.substr(1);
  switch (row.Form) {
    case ParameterForm::Value:
      if (name.size() <= row.Key.size() || name.substr(0, row.Key.size()) != row.Key || name[row.Key.size()] != '=') {
        return std::nullopt;
      }
      return name.substr(row.Key.size() + 1);
    case ParameterForm::Switch:
      return name == row.Key ? std::optional<std::string_view>("") : std::nullopt;
    case ParameterForm::SwitchPrefix:
      return name.starts_with(row.Key) ? std::optional<std::string_view>("") : std::nullopt;
  }
  return std::nullopt;
}

// A path value without the quotes around the whole of it.
std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

using S = TNastaveni;
using P = CommandParameters;
using F = const std::string&;

std::string Number(long long value) { return std::to_string(value); }

// MODEMDIAL's number, dialled with tones or with pulses.
template <bool Tones>
void DialNumber(std::string_view v, S& s, P&, F) {
  s.PhoneNumber = std::string(v);
  s.ToneDialling = Tones;
}

// Key, form, value, meaning, how it is applied, its default. Tried in this
// order; the first row whose key matches takes the token.
constexpr TCommandParameter ParameterRows[] = {
    {"MIN", ParameterForm::Switch, "", "no progress on a terminal (the transfer window minimised)",
     [](std::string_view, S&, P& p, F) { p.Minimized = true; }},
    {"COM", ParameterForm::Value, "n", "COM line number (device: `mervmodul --ports`); error 2",
     [](std::string_view v, S& s, P&, F) {
       s.ComPort[1] = static_cast<std::uint8_t>(IntegerOrError(v, ErrorNumber::NoComPort) & 0xFF);
     }},
    {"BR", ParameterForm::Value, "code", "line speed: a speed code below or the speed in bit/s; error 3",
     [](std::string_view v, S& s, P&, F) { s.BaudRate[1] = BaudRateOf(v); }},
    {"PAR", ParameterForm::Value, "N|O|E|M|S", "parity of the COM line (first character counts)",
     [](std::string_view v, S& s, P&, F) {
       // An empty parity value keeps the default rather than storing nothing.
       if (!v.empty()) s.Parity[1] = v[0];
     },
     [] { return std::string(1, S::CommandDefaults().Parity[1]); }},
    {"IPADDR", ParameterForm::Value, "address",
     "the register over TCP/IP at this address instead of a COM line; error 47",
     [](std::string_view v, S& s, P&, F) {
       s.IpAddress = std::string(v);
       s.UseTcp = true;
     }},
    {"IPPORT", ParameterForm::Value, "port", "TCP port of the register; error 48",
     [](std::string_view v, S& s, P&, F) {
       s.UseTcp = true;
       s.IpPort = IntegerOrError(v, ErrorNumber::NoIpPort);
     }},
    {"TO", ParameterForm::Value, "ms", "time-out in milliseconds for an answer and for the TCP connect; error 18",
     [](std::string_view v, S& s, P&, F) { s.Timeout[1] = IntegerOrError(v, ErrorNumber::BadTimeout); },
     [] { return Number(S::CommandDefaults().Timeout[1]); }},
    {"DIALTONE", ParameterForm::Value, "number", "MODEMDIAL: dial this number with tones", DialNumber<true>},
    {"DIALPULS", ParameterForm::Value, "number", "MODEMDIAL: dial this number with pulses", DialNumber<false>},
    {"FILE", ParameterForm::Value, "path", "the table, report or card file (a bare name lies in the program's folder)",
     [](std::string_view v, S&, P& p, F folder) { p.DataFile = NormaliseCommandPath(folder, v); }},
    {"ZURNAL", ParameterForm::Value, "path", "the journal file of SAVEZUR, SAVERESETZUR, PRINTZUR, PRINTUCT",
     [](std::string_view v, S&, P& p, F folder) {
       // An empty name is no name (50), not the program folder.
       p.JournalFile = WithoutQuotes(v).empty() ? std::string() : NormaliseCommandPath(folder, v);
     }},
    {"DIFF", ParameterForm::Value, "path",
     "Dnn, Wnn /VERIFY: the differences file (default DIFFnn.txt in the program's folder)",
     [](std::string_view v, S&, P& p, F folder) { p.DiffFile = NormaliseCommandPath(folder, v); }},
    {"LOG", ParameterForm::Value, "path", "a plain-text communication log of the parsing of this command",
     [](std::string_view v, S&, P& p, F folder) { p.PlainLogFile = NormaliseCommandPath(folder, v); }},
    {"EXPORTDIR", ParameterForm::Value, "folder", "EXPORTZ74: the folder of the export (default: the program's folder)",
     [](std::string_view v, S&, P& p, F) { p.ExportDir = NativePathFromCommand(std::string(v)); }},
    {"EAN", ParameterForm::Value, "code", "PLU: the EAN of the PLU asked for",
     [](std::string_view v, S&, P& p, F) { p.Ean = std::string(v); }},
    {"FONT", ParameterForm::Value, "0|1|2", "PRINTZUR, PRINTUCT: print size, 0 small (5 pt), 1 (7 pt), 2 large (9 pt)",
     [](std::string_view v, S&, P& p, F) { p.FontSize = ToInteger(v).value_or(0); },
     [] { return Number(P{}.FontSize); }},
    {"ID", ParameterForm::Value, "0..255", "network identity of the register in a register network; error 19",
     [](std::string_view v, S&, P& p, F) { p.NetId = IntegerOrError(v, ErrorNumber::BadNetId); },
     [] { return Number(P{}.NetId); }},
    {"ECR", ParameterForm::Value, "code", "model code, one of the codes below; error 23",
     [](std::string_view v, S&, P& p, F) {
       if (ModelNameOfCode(v).empty()) RaiseError(ErrorNumber::BadModelCode);
       p.ModelCode = std::string(v);
     }},
    {"FORMAT", ParameterForm::Value, "1|2", "layout of a table file: 1 separated, 2 fixed width; error 32",
     [](std::string_view v, S&, P& p, F) {
       p.FileFormat = AllowedIntegerOrError(v, {1, 2}, ErrorNumber::BadFileFormat);
     },
     [] { return Number(P{}.FileFormat); }},
    {"CODE", ParameterForm::Value, "852|1250", "code page of the files written and read; error 25",
     [](std::string_view v, S&, P& p, F) {
       p.CodePage = AllowedIntegerOrError(v, {852, 1250}, ErrorNumber::BadCodePage);
     },
     [] { return Number(P{}.CodePage); }},
    {"ROW", ParameterForm::Value, "row", "OLJ, RJF: the journal row to start from or to ask for; error 38",
     [](std::string_view v, S&, P& p, F) { p.JournalRow = IntegerOrError(v, ErrorNumber::BadJournalRow); },
     [] { return Number(P{}.JournalRow); }},
    {"PRODEJNA", ParameterForm::Value, "shop", "EXPORTZ74: the shop's number in the export's name",
     [](std::string_view v, S&, P& p, F) { p.ShopId = std::string(v); }},
    {"POKLADNA", ParameterForm::Value, "register", "EXPORTZ74: the register's number in the export's name",
     [](std::string_view v, S&, P& p, F) { p.RegisterId = std::string(v); }},
    {"STRICT", ParameterForm::Switch, "", "Dnn: a comparison that finds differences ends with 60",
     [](std::string_view, S&, P& p, F) { p.Strict = true; }},
    {"VERIFY", ParameterForm::Switch, "", "Wnn: read the table back after writing it and compare; 60 on a difference",
     [](std::string_view, S&, P& p, F) { p.Verify = true; }},
    {"JSON", ParameterForm::Switch, "", "also write the outcome as error.json beside error.dat",
     [](std::string_view, S&, P& p, F) { p.JsonOutcome = true; }},
    {"MODEM", ParameterForm::SwitchPrefix, "",
     "the register is behind a Hayes modem on the COM line (any key beginning MODEM)",
     [](std::string_view, S& s, P&, F) { s.UseModem = true; }},
};

class TokenInterpreter {
public:
  TokenInterpreter(TNastaveni& settings, CommandParameters& parameters, const std::string& programFolder)
      : settings_(settings), parameters_(parameters), programFolder_(programFolder) {}

  void Interpret(std::string_view token) {
    if (token.empty()) return;
    if (token[0] != '/') {
      parameters_.Activity = std::string(token);
      return;
    }
    for (const auto& row : ParameterRows) {
      if (const auto value = ValueFor(token, row)) {
        row.Apply(*value, settings_, parameters_, programFolder_);
        return;
      }
    }
  }

private:
  TNastaveni& settings_;
  CommandParameters& parameters_;
  const std::string& programFolder_;
};

std::string Quoted(std::string_view label, std::string_view value) {
  return std::string(label) + " \"" + std::string(value) + "\"";
}

std::string Quoted(std::string_view label, long long value) { return Quoted(label, std::to_string(value)); }

}  // namespace

std::span<const TCommandParameter> ParameterTable() { return ParameterRows; }

std::span<const TBaudRateCode> BaudRateCodes() { return BaudRateCodeRows; }

void ParseCommand(std::string_view commandString, const std::string& programFolder, TNastaveni& settings,
                  CommandParameters& parameters) {
  TokenInterpreter interpreter(settings, parameters, programFolder);
  std::string token;
  for (const char c : commandString) {
    if (c != '/') {
      token += c;
      continue;
    }
    interpreter.Interpret(Trimmed(token));
    token.assign(1, '/');
  }
}

std::string NormaliseCommandPath(const std::string& programFolder, std::string_view value) {
  std::string path(WithoutQuotes(value));
  if (path.find('\\') == std::string::npos) path = programFolder + path;
  return NativePathFromCommand(path);
}

void LogParameters(const TNastaveni& settings, const CommandParameters& parameters, const std::string& plainLogPath) {
  LogLine("Parametry rozpoznany");
  LogLine(Quoted("Cinnost", parameters.Activity));
  if (settings.UseTcp) {
    LogLine(Quoted("Adresa", settings.IpAddress));
    LogLine(Quoted("Port", settings.IpPort));
  } else {
    LogLine(Quoted("COM", settings.ComPort[1]));
    LogLine(Quoted("Rychlost", settings.BaudRate[1]));
  }
  LogLine(Quoted("TimeOut", settings.Timeout[1]));
  LogLine(Quoted("Kodovani", parameters.CodePage));
  LogLine(Quoted("Format", parameters.FileFormat));
  LogLine(Quoted("ECR", parameters.ModelCode));
  LogLine(Quoted("Soubor", parameters.DataFile));
  LogLine(Quoted("ZurnalSoubor", parameters.JournalFile));
  LogLine(Quoted("Log soubor", plainLogPath));
  LogLine(Quoted("IDNet", parameters.NetId));
  LogLine(Quoted("Zurnal radek", parameters.JournalRow));
  if (parameters.Verify || parameters.Strict || !parameters.DiffFile.empty()) {
    LogLine(Quoted("Diff soubor", parameters.DiffFile));
    LogLine(Quoted("Strict", parameters.Strict ? 1 : 0));
    LogLine(Quoted("Verify", parameters.Verify ? 1 : 0));
  }
  if (const TActivity* activity = FindActivity(parameters.Activity); activity != nullptr && activity->ExportValues) {
    LogLine(Quoted("Prodejna", parameters.ShopId));
    LogLine(Quoted("Pokladna", parameters.RegisterId));
    LogLine(Quoted("ExportDir", parameters.ExportDir));
  }
}

void CheckConnectionParameters(const TNastaveni& settings, const CommandParameters& parameters) {
  if (parameters.Activity.empty()) RaiseError(ErrorNumber::NoActivity);
  if (const TActivity* activity = FindActivity(parameters.Activity); activity != nullptr && !activity->NeedsLine)
    return;
  if (settings.ComPort[1] == 0 && !settings.UseTcp) RaiseError(ErrorNumber::NoComPort);
  if (settings.BaudRate[1] == 0 && !settings.UseTcp) RaiseError(ErrorNumber::NoBaudRate);
  if (settings.IpAddress.empty() && settings.UseTcp) RaiseError(ErrorNumber::NoIpAddress);
  if (settings.IpPort == 0 && settings.UseTcp) RaiseError(ErrorNumber::NoIpPort);
}
