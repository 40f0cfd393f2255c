#include "transport/modem.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/input_file.h"
#include "base/kom_error.h"
#include "base/localized_texts.h"
#include "base/stop_request.h"
#include "base/communication_log.h"
#include "transport/modem_form.h"
#include "transport/modem_line.h"

namespace {

constexpr int CommandTimeoutMs = 1000;
constexpr int DialTimeoutMs = 90000;
// An initialisation script is a handful of AT commands.
constexpr std::uint64_t MaxScriptSize = 1u << 20;
/// S12 counts fiftieths of a second.
constexpr int MsPerGuardUnit = 20;
/// S12 holds a byte; a larger answer is no guard time a modem keeps.
constexpr int MaxGuardUnits = 255;
constexpr int DiallingText = 473;
constexpr int HangingUpText = 477;
constexpr ErrorNumber NotAnswering = ErrorNumber::ModemSilent;
constexpr ErrorNumber Busy = ErrorNumber::LineBusy;
constexpr ErrorNumber NoCarrier = ErrorNumber::NoConnection;
constexpr ErrorNumber OtherFailure = ErrorNumber::OtherModemError;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::optional<int> DecimalNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

/// The number of an S-register answer such as "045OK"; none when the
/// exchange failed, the answer does not end in "OK" or holds no number.
std::optional<int> RegisterValue(TPort& port, std::string_view query) {
  std::string answer;
  if (port.SendCommand(query, CommandTimeoutMs, false, true, answer) != PortResult::Done) return std::nullopt;
  const std::string upper = Upper(answer);
  if (upper.size() < 2 || !upper.ends_with("OK")) return std::nullopt;
  return DecimalNumber(std::string_view(answer).substr(0, answer.size() - 2));
}

void LearnEscapeChar(TPort& port) {
  EscapeChar.assign(1, DefaultEscapeChar);
  const auto code = RegisterValue(port, "ATS2?\r");
  if (code && *code >= 0 && *code <= 0xFF) EscapeChar = std::string(1, static_cast<char>(*code));
}

void LearnGuardTime(TPort& port) {
  GuardTime = DefaultGuardTime;
  const auto units = RegisterValue(port, "ATS12?\r");
  if (units && *units >= 0 && *units <= MaxGuardUnits) GuardTime = *units * MsPerGuardUnit;
}

// A failed dial: the modem's state says it (its message is the failure's),
// and the dial returns it to be raised once the modem has hung up.
using TDialFailure = std::optional<EKomError>;

TDialFailure Failed(ErrorNumber number, const std::optional<std::string>& detail = std::nullopt) {
  const std::string text = ErrorText(NumberOf(number));
  EKomError failure(number, detail ? text + " " + *detail : text);
  SetModemState(ModemStates::Failed, failure.what());
  return failure;
}

TDialFailure NoCarrierFailure(TPort& port) {
  std::string reason;
  if (port.SendCommand("ATS86?\r", CommandTimeoutMs, false, true, reason) != PortResult::Done) {
    return Failed(NoCarrier);
  }
  return Failed(NoCarrier, reason);
}

TDialFailure JudgeDialAnswer(TPort& port, const std::string& answer) {
  const std::string upper = Upper(answer);
  if (upper.starts_with("CONNECT")) {
    port.Pause(2 * GuardTime);
    SetModemState(ModemStates::Connected);
    return std::nullopt;
  }
  if (upper == "BUSY") return Failed(Busy);
  if (upper == "NO CARRIER") return NoCarrierFailure(port);
  return Failed(OtherFailure, answer);
}

TPort& OpenModemPort() {
  if (!ModemPort || !ModemPort->Opened()) throw std::runtime_error("the modem line is not open");
  return *ModemPort;
}

// Steps of the dial that talk to the modem; a failed exchange sets the failed
// state and returns its failure, a raised failure is left to the caller.
TDialFailure DialSteps(const TNastaveni& settings) {
  LogLine("Vytacim modem");
  SetModemState(ModemStates::Dialling);
  TPort& port = OpenModemPort();
  LogLine("posilam AT");
  std::string answer;
  if (port.SendCommand("AT\r", CommandTimeoutMs, false, true, answer) != PortResult::Done ||
      Upper(answer) != "OK") {
    return Failed(NotAnswering);
  }
  port.SendCommand("AT&B1\r", CommandTimeoutMs, false, false, answer);
  LearnEscapeChar(port);
  LearnGuardTime(port);
  const std::string dial = std::string(settings.ToneDialling ? "ATX3DT" : "ATX3DP") + settings.PhoneNumber + "\r";
  if (port.SendCommand(dial, DialTimeoutMs, false, true, answer) != PortResult::Done) {
    return Failed(NotAnswering);
  }
  return JudgeDialAnswer(port, answer);
}

// A failed dial hangs up; a failure of that hang-up is logged, and the dial's
// own failure is the one the caller learns.
void HangUpAfterFailedDial() {
  try {
    HangUp(true);
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
  }
}

void HangUpSteps() {
  EscapeChar.assign(1, DefaultEscapeChar);
  GuardTime = DefaultGuardTime;
  // A modem takes "+++" as the escape only after the guard time of quiet on
  // the line; data written just before would make it part of the call.
  ModemPort->Pause(GuardTime);
  ModemPort->Write(EscapeChar + EscapeChar + EscapeChar);
  ModemPort->Pause(3 * GuardTime);
  std::string answer;
  ModemPort->SendCommand("ATH0\r", CommandTimeoutMs, true, false, answer);
  ModemPort->Flush();
  SetModemState(ModemStates::HungUp);
}

void ReleaseModemPort() {
  std::unique_ptr<TPort> port = std::move(ModemPort);
  port->Close();
}

}  // namespace

void Dial(const TNastaveni& settings, bool minimized) {
  TDialFailure failure;
  {
    TModemForm form(minimized);
    form.Show(LoadText(DiallingText));
    try {
      failure = DialSteps(settings);
    } catch (const std::exception& raised) {
      failure = Failed(OtherFailure, raised.what());
    }
  }
  if (ModemState != ModemStates::Connected) {
    HangUpAfterFailedDial();
    // A dial cut short by a stop ends as the stop (10), not as the modem's
    // failure (33, 36), which a caller would dial again.
    ThrowIfStopRequested();
  }
  if (failure) throw *failure;
}

void HangUp(bool minimized) {
  if (!ModemPort) return;
  TModemForm form(minimized);
  form.Show(LoadText(HangingUpText));
  try {
    HangUpSteps();
  } catch (const std::exception&) {
    // A line that fails while hanging up is of no further use: it is closed
    // and released all the same, and the failure goes to the caller.
    form.Hide();
    ReleaseModemPort();
    throw;
  }
  form.Hide();
  ReleaseModemPort();
}

std::string RunModemScript(const std::string& file) {
  std::istringstream in(ReadInputFile(file, MaxScriptSize));
  TPort& port = OpenModemPort();
  std::string result;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string answer;
    if (port.SendCommand(line + "\r", CommandTimeoutMs, false, false, answer) != PortResult::Done ||
        Upper(answer).find("OK") == std::string::npos) {
      RaiseError(OtherFailure);
    }
    if (!result.empty()) result += ",";
    for (const char c : answer) {
      if (static_cast<unsigned char>(c) >= 0x20) result += c;
    }
  }
  return result;
}
