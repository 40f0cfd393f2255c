#pragma once
// The command line of one command: "ACTIVITY /KEY=value /KEY=value ... /".
// ParseCommand splits it into tokens at every "/" and fills the settings and
// the command values; LogParameters writes what was recognised to the
// communication log; CheckConnectionParameters refuses a command that cannot
// reach a register. Every bad value raises EKomError with its number.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/command_parameters.h"
#include "transport/nastaveni.h"

/// How a parameter is written after its "/".
enum class ParameterForm {
  /// "KEY=value".
  Value,
  /// "KEY" exactly.
  Switch,
  /// Any token beginning with "KEY".
  SwitchPrefix,
};

/// A row of the parameter table: the parser applies the first row whose key
/// matches a token, and `mervmodul --help` lists the rows.
struct TCommandParameter {
  std::string_view Key;
  ParameterForm Form = ParameterForm::Value;
  /// What the value is, for the help ("n", "path", "852|1250").
  std::string_view ValueName;
  std::string_view Meaning;
  /// Applies the value; a path named without a folder lies in `programFolder`.
  void (*Apply)(std::string_view value, TNastaveni& settings, CommandParameters& parameters,
                const std::string& programFolder) = nullptr;
  /// The value a command has without the parameter; none where that says nothing.
  std::string (*Default)() = nullptr;
};

/// Every parameter of the command line, in the order they are tried.
std::span<const TCommandParameter> ParameterTable();

/// A speed code of "/BR=" and its speed; any other number is the speed itself.
struct TBaudRateCode {
  int Code = 0;
  std::int32_t BitsPerSecond = 0;
};

std::span<const TBaudRateCode> BaudRateCodes();

/// Fills freshly defaulted settings and parameters from the command string;
/// the paths it names without a folder lie in `programFolder`.
void ParseCommand(std::string_view commandString, const std::string& programFolder, TNastaveni& settings,
                  CommandParameters& parameters);

/// Quotes around the whole value removed; a value without a backslash gets
/// `programFolder` in front; then the platform's form of the path.
std::string NormaliseCommandPath(const std::string& programFolder, std::string_view value);

/// Writes what was recognised to the log; `plainLogPath` is the plain log
/// the command writes (empty for none).
void LogParameters(const TNastaveni& settings, const CommandParameters& parameters, const std::string& plainLogPath);

/// Errors 01 (no activity), then unless the activity works on a stored
/// journal only: 02, 03 (COM line incomplete), 47, 48 (TCP incomplete).
void CheckConnectionParameters(const TNastaveni& settings, const CommandParameters& parameters);
