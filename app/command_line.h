#pragma once
// The command line of one command: "ACTIVITY /KEY=value /KEY=value ... /".
// ParseCommand splits it into tokens at every "/" and fills the settings and
// the command values; LogParameters writes what was recognised to the
// communication log; CheckConnectionParameters refuses a command that cannot
// reach a register. Every bad value raises EKomError with its number.
#include <string>
#include <string_view>

#include "app/command_parameters.h"
#include "transport/nastaveni.h"

/// Fills freshly defaulted settings and parameters from the command string.
void ParseCommand(std::string_view commandString, TNastaveni& settings, CommandParameters& parameters);

/// Quotes around the whole value removed; a value without a backslash gets
/// ProgramDir in front; then the platform's form of the path.
std::string NormaliseCommandPath(std::string_view value);

void LogParameters(const TNastaveni& settings, const CommandParameters& parameters);

/// Errors 01 (no activity), then unless the activity works on a stored
/// journal only: 02, 03 (COM line incomplete), 47, 48 (TCP incomplete).
void CheckConnectionParameters(const TNastaveni& settings, const CommandParameters& parameters);

