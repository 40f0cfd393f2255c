#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
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

std::int32_t BaudRateOf(std::string_view value) {
  switch (IntegerOrError(value, ErrorNumber::NoBaudRate)) {
    case 1: return 9600;
    case 2: return 19200;
    case 3: return 38400;
    case 4: return 57600;
    case 5: return 115200;
    default: return *ToInteger(value);
  }
}

std::string Trimmed(std::string_view token) {
  const auto first = token.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = token.find_last_not_of(' ');
  return std::string(token.substr(first, last - first + 1));
}

// The value of a "/KEY=" token, or nullopt when the token has another key.
std::optional<std::string_view> ValueOf(std::string_view token, std::string_view key) {
  if (token.size() < key.size() + 1 || token.substr(1, key.size()) != key) return std::nullopt;
  return token.substr(key.size() + 1);
}

// A path value without the quotes around the whole of it.
std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

class TokenInterpreter {
public:
  TokenInterpreter(TNastaveni& settings, CommandParameters& parameters)
      : settings_(settings), parameters_(parameters) {}

  void Interpret(std::string_view token) {
    if (token.empty()) return;
    if (token[0] != '/') {
      parameters_.Activity = std::string(token);
      return;
    }
    if (token == "/MIN") {
      parameters_.Minimized = true;
      return;
    }
    if (token == "/STRICT" || token == "/VERIFY") {
      (token == "/STRICT" ? parameters_.Strict : parameters_.Verify) = true;
      return;
    }
    if (InterpretConnection(token) || InterpretFiles(token) || InterpretCommandValues(token)) return;
    if (token.substr(1).starts_with("MODEM")) settings_.UseModem = true;
  }

private:
  bool InterpretConnection(std::string_view token) {
    if (auto value = ValueOf(token, "COM=")) {
      settings_.ComPort[1] = static_cast<std::uint8_t>(IntegerOrError(*value, ErrorNumber::NoComPort) & 0xFF);
    } else if (auto baud = ValueOf(token, "BR=")) {
      settings_.BaudRate[1] = BaudRateOf(*baud);
    } else if (auto parity = ValueOf(token, "PAR=")) {
      // An empty parity value keeps the default rather than storing nothing.
      if (!parity->empty()) settings_.Parity[1] = (*parity)[0];
    } else if (auto address = ValueOf(token, "IPADDR=")) {
      settings_.IpAddress = std::string(*address);
      settings_.UseTcp = true;
    } else if (auto port = ValueOf(token, "IPPORT=")) {
      settings_.UseTcp = true;
      settings_.IpPort = IntegerOrError(*port, ErrorNumber::NoIpPort);
    } else if (auto timeout = ValueOf(token, "TO=")) {
      settings_.Timeout[1] = IntegerOrError(*timeout, ErrorNumber::BadTimeout);
    } else if (auto phone = ValueOf(token, "DIALTONE=")) {
      settings_.PhoneNumber = std::string(*phone);
      settings_.ToneDialling = true;
    } else if (auto pulse = ValueOf(token, "DIALPULS=")) {
      settings_.PhoneNumber = std::string(*pulse);
      settings_.ToneDialling = false;
    } else {
      return false;
    }
    return true;
  }

  bool InterpretFiles(std::string_view token) {
    if (auto file = ValueOf(token, "FILE=")) {
      parameters_.DataFile = NormaliseCommandPath(*file);
    } else if (auto journal = ValueOf(token, "ZURNAL=")) {
      // An empty name is no name (50), not the program folder.
      parameters_.JournalFile = WithoutQuotes(*journal).empty() ? std::string() : NormaliseCommandPath(*journal);
    } else if (auto diff = ValueOf(token, "DIFF=")) {
      parameters_.DiffFile = NormaliseCommandPath(*diff);
    } else if (auto log = ValueOf(token, "LOG=")) {
      PlainLogPath = NormaliseCommandPath(*log);
    } else if (auto exportDir = ValueOf(token, "EXPORTDIR=")) {
      parameters_.ExportDir = NativePathFromCommand(std::string(*exportDir));
    } else {
      return false;
    }
    return true;
  }

  bool InterpretCommandValues(std::string_view token) {
    if (auto ean = ValueOf(token, "EAN=")) {
      parameters_.Ean = std::string(*ean);
    } else if (auto font = ValueOf(token, "FONT=")) {
      parameters_.FontSize = ToInteger(*font).value_or(0);
    } else if (auto id = ValueOf(token, "ID=")) {
      parameters_.NetId = IntegerOrError(*id, ErrorNumber::BadNetId);
    } else if (auto model = ValueOf(token, "ECR=")) {
      if (ModelNameOfCode(*model).empty()) RaiseError(ErrorNumber::BadModelCode);
      parameters_.ModelCode = std::string(*model);
    } else if (auto format = ValueOf(token, "FORMAT=")) {
      const auto number = ToInteger(*format);
      if (!number || (*number != 1 && *number != 2)) RaiseError(ErrorNumber::BadFileFormat);
      parameters_.FileFormat = *number;
    } else if (auto code = ValueOf(token, "CODE=")) {
      const auto number = ToInteger(*code);
      if (!number || (*number != 852 && *number != 1250)) RaiseError(ErrorNumber::BadCodePage);
      parameters_.CodePage = *number;
    } else if (auto row = ValueOf(token, "ROW=")) {
      parameters_.JournalRow = IntegerOrError(*row, ErrorNumber::BadJournalRow);
    } else if (auto shop = ValueOf(token, "PRODEJNA=")) {
      parameters_.ShopId = std::string(*shop);
    } else if (auto registerId = ValueOf(token, "POKLADNA=")) {
      parameters_.RegisterId = std::string(*registerId);
    } else {
      return false;
    }
    return true;
  }

  TNastaveni& settings_;
  CommandParameters& parameters_;
};

std::string Quoted(std::string_view label, std::string_view value) {
  return std::string(label) + " \"" + std::string(value) + "\"";
}

std::string Quoted(std::string_view label, long long value) { return Quoted(label, std::to_string(value)); }

}  // namespace

void ParseCommand(std::string_view commandString, TNastaveni& settings, CommandParameters& parameters) {
  TokenInterpreter interpreter(settings, parameters);
  std::string token;
  for (const char c : commandString) {
    if (c != '/') {
      token += c;
      continue;
    }
    interpreter.Interpret(Trimmed(token));
    token = "/";
  }
}

std::string NormaliseCommandPath(std::string_view value) {
  std::string path(WithoutQuotes(value));
  if (path.find('\\') == std::string::npos) path = ProgramDir + path;
  return NativePathFromCommand(path);
}

void LogParameters(const TNastaveni& settings, const CommandParameters& parameters) {
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
  LogLine(Quoted("Log soubor", PlainLogPath));
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
  if (const TActivity* activity = FindActivity(parameters.Activity); activity != nullptr && !activity->NeedsLine) return;
  if (settings.ComPort[1] == 0 && !settings.UseTcp) RaiseError(ErrorNumber::NoComPort);
  if (settings.BaudRate[1] == 0 && !settings.UseTcp) RaiseError(ErrorNumber::NoBaudRate);
  if (settings.IpAddress.empty() && settings.UseTcp) RaiseError(ErrorNumber::NoIpAddress);
  if (settings.IpPort == 0 && settings.UseTcp) RaiseError(ErrorNumber::NoIpPort);
}
