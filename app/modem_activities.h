#pragma once
// The modem's part of a command: preparing the modem line before the
// activity runs, and the activities MODEMDIAL and MODEMHANGUP.
#include <string>

#include "app/activity_run.h"
#include "app/command_parameters.h"
#include "transport/nastaveni.h"

/// True for MODEMDIAL and MODEMHANGUP.
bool IsModemActivity(const std::string& activity);

/// The modem preparation of a command that dials, hangs up or names /MODEM:
/// slot 3 takes the port, speed and time-out of slot 1; the modem line's copy
/// of the settings becomes this command's; a dial first hangs up an open
/// line; a line not yet open is opened (error 09 when it cannot be) and
/// counts as connected. Does nothing for other commands.
void PrepareModemLine(TNastaveni& settings, const CommandParameters& parameters, const TCommandLines& lines);

/// MODEMDIAL: the initialisation file `DataFile` when one is named, then the dial.
void DialModem(TActivityRun& run);
/// MODEMHANGUP: the hang-up.
void HangUpModem(TActivityRun& run);
