#pragma once
// The modem line that a dial-up connection keeps open between commands of
// the command-file mode. The command processor creates and closes it; the
// transfer window talks through it while the modem is connected.
#include <memory>

#include "transport/nastaveni.h"
#include "transport/port.h"

inline constexpr int ModemConnected = 3;

/// The port of the modem line, or none.
extern std::unique_ptr<TPort> ModemPort;
/// State of the modem; ModemConnected once the line is up.
extern int ModemState;
/// Settings of the last command that used the modem; none before.
extern const TNastaveni* ModemSettings;

/// True when transfers go through the open modem line.
bool UsingModemLine();
