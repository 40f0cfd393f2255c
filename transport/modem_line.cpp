#include "transport/modem_line.h"

std::unique_ptr<TPort> ModemPort;
int ModemState = ModemStates::Initial;
std::string ModemMessage;
std::string EscapeChar(1, DefaultEscapeChar);
int GuardTime = DefaultGuardTime;

namespace {

TNastaveni& SettingsCopy() {
  static TNastaveni copy = TNastaveni::CommandDefaults();
  return copy;
}

}  // namespace

void SetModemState(int state, const std::string& message) {
  ModemState = state;
  ModemMessage = message;
}

const TNastaveni& ModemSettings() { return SettingsCopy(); }

void AdoptModemSettings(const TNastaveni& settings) {
  SettingsCopy() = settings;
  if (ModemPort) ModemPort->SetSettings(SettingsCopy());
}

bool UsingModemLine() { return ModemState == ModemConnected && ModemPort && ModemPort->Opened(); }
