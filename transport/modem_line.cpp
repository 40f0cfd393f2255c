#include "transport/modem_line.h"

std::unique_ptr<TPort> ModemPort;
int ModemState = 0;
const TNastaveni* ModemSettings = nullptr;

bool UsingModemLine() { return ModemState == ModemConnected && ModemPort && ModemPort->Opened(); }
