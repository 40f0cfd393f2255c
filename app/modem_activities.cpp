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
void OpenModemLine(const TCommandLines& lines) {
  TModemLine& modem = lines.Modem;
  auto port = std::make_unique<TPort>(lines.Options);
  try {
    port->Open(modem.Settings(), ModemSlot);
  } catch (const std::exception& failure) {
    LogLine(std::string("Chyba: ") + failure.what());
    ThrowIfStopRequested();
    RaiseError(ErrorNumber::ConnectFailure);
  }
  modem.Adopt(std::move(port));
  modem.SetState(ModemStates::Connected);
}

}  // namespace

bool IsModemActivity(const std::string& activity) { return activity == "MODEMDIAL" || activity == "MODEMHANGUP"; }

void PrepareModemLine(TNastaveni& settings, const CommandParameters& parameters, const TCommandLines& lines) {
  if (!UsesModem(settings, parameters)) return;
  // A refused number changes nothing: no call of the resident mode is ended,
  // no line opened, no AT file sent.
  if (parameters.Activity == "MODEMDIAL") RefuseControlBytesInNumber(settings.PhoneNumber);
  LogLine("Nastavuji port pro modem");
  settings.ComPort[ModemSlot] = settings.ComPort[DirectSlot];
  settings.BaudRate[ModemSlot] = settings.BaudRate[DirectSlot];
  settings.Timeout[ModemSlot] = settings.Timeout[DirectSlot];
  TModemLine& modem = lines.Modem;
  modem.AdoptSettings(settings);
  if (parameters.Activity == "MODEMDIAL" && modem.Port() != nullptr) HangUp(modem, parameters.Minimized);
  if (modem.Port() == nullptr) OpenModemLine(lines);
}

void DialModem(TActivityRun& run) {
  if (!run.Parameters.DataFile.empty()) RunModemScript(run.Lines.Modem, run.Parameters.DataFile);
  Dial(run.Lines.Modem, run.Settings, run.Parameters.Minimized);
}

void HangUpModem(TActivityRun& run) { HangUp(run.Lines.Modem, run.Parameters.Minimized); }
