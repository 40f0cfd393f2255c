#include "app/modem_activities.h"

#include "base/kom_error.h"
#include "base/stop_request.h"
#include "base/communication_log.h"
#include "transport/modem.h"
#include "transport/modem_line.h"

namespace {

constexpr int DirectSlot = 1;

bool UsesModem(const TNastaveni& settings, const CommandParameters& parameters) {
  return IsModemActivity(parameters.Activity) || settings.UseModem;
}

// A line that cannot be opened is error 09 wherever it happens; the port's
// own message carries no number and would otherwise count as 10. A stop
// during the opening stays the stop (10).
void OpenModemLine() {
  auto port = std::make_unique<TPort>();
  try {
    port->Open(ModemSettings(), ModemSlot);
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba: ") + failure.what());
    ThrowIfStopRequested();
    RaiseError(ErrorNumber::ConnectFailure);
  }
  ModemPort = std::move(port);
  SetModemState(ModemStates::Connected);
}

}  // namespace

bool IsModemActivity(const std::string& activity) { return activity == "MODEMDIAL" || activity == "MODEMHANGUP"; }

void PrepareModemLine(TNastaveni& settings, const CommandParameters& parameters) {
  if (!UsesModem(settings, parameters)) return;
  LogLine("Nastavuji port pro modem");
  settings.ComPort[ModemSlot] = settings.ComPort[DirectSlot];
  settings.BaudRate[ModemSlot] = settings.BaudRate[DirectSlot];
  settings.Timeout[ModemSlot] = settings.Timeout[DirectSlot];
  AdoptModemSettings(settings);
  if (parameters.Activity == "MODEMDIAL" && ModemPort) HangUp(parameters.Minimized);
  if (!ModemPort) OpenModemLine();
}

void DialModem(TActivityRun& run) {
  if (!run.Parameters.DataFile.empty()) RunModemScript(run.Parameters.DataFile);
  Dial(run.Settings, run.Parameters.Minimized);
}

void HangUpModem(TActivityRun& run) { HangUp(run.Parameters.Minimized); }
