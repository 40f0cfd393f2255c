#pragma once
// The process-wide state of the dial-up modem: the open modem line, what the
// modem is doing, what it said when dialling failed, the escape character
// and guard time learnt from it, and the settings the line runs with.
//
// Ownership: the process owns all of it. The command processor creates and
// closes ModemPort; outside the command-file mode it never outlives a
// command. The line's settings are the process's own copy of the last modem
// command's settings, so that the open port and the transfer window never
// point at settings a finished command has destroyed.
#include <memory>
#include <string>

#include "transport/nastaveni.h"
#include "transport/port.h"

namespace ModemStates {
inline constexpr int Initial = 0;
inline constexpr int HungUp = 1;
inline constexpr int Dialling = 2;
inline constexpr int Connected = 3;
inline constexpr int Failed = 5;
}  // namespace ModemStates

inline constexpr int ModemConnected = ModemStates::Connected;
inline constexpr char DefaultEscapeChar = '+';
inline constexpr int DefaultGuardTime = 1000;

/// The port of the modem line, or none.
extern std::unique_ptr<TPort> ModemPort;
/// One of ModemStates.
extern int ModemState;
/// The failure that goes with ModemStates::Failed; empty otherwise.
extern std::string ModemMessage;
/// The modem's escape character (one character).
extern std::string EscapeChar;
/// The modem's escape guard time in milliseconds.
extern int GuardTime;

void SetModemState(int state, const std::string& message = {});

/// The settings the modem line runs with: a copy of the last modem command's
/// settings, kept for the life of the process. Its address never changes.
const TNastaveni& ModemSettings();

/// Copies `settings` into ModemSettings() and points an existing ModemPort
/// at that copy.
void AdoptModemSettings(const TNastaveni& settings);

/// True when transfers go through the open modem line.
bool UsingModemLine();
