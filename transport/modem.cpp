#include "transport/modem.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
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

constexpr std::chrono::milliseconds CommandTimeout{1000};
constexpr std::chrono::milliseconds DialTimeout{90000};
// An initialisation script is a handful of AT commands.
constexpr std::uint64_t MaxScriptSize = 1u << 20;
/// S12 counts fiftieths of a second.
constexpr std::chrono::milliseconds GuardUnit{20};
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
  if (port.SendCommand(query, CommandTimeout, false, true, answer) != LineResult::Done) return std::nullopt;
  const std::string upper = Upper(answer);
  if (upper.size() < 2 || !upper.ends_with("OK")) return std::nullopt;
  return DecimalNumber(std::string_view(answer).substr(0, answer.size() - 2));
}

void LearnEscapeChar(TModemLine& modem, TPort& port) {
  modem.SetEscapeChar(DefaultEscapeChar);
  const auto code = RegisterValue(port, "ATS2?\r");
  if (code && *code >= 0 && *code <= 0xFF) modem.SetEscapeChar(static_cast<char>(*code));
}

void LearnGuardTime(TModemLine& modem, TPort& port) {
  modem.SetGuardTime(DefaultGuardTime);
  const auto units = RegisterValue(port, "ATS12?\r");
  if (units && *units >= 0 && *units <= MaxGuardUnits) modem.SetGuardTime(*units * GuardUnit);
}

// A failed dial: the modem's state says it (its message is the failure's),
// and the dial returns it to be raised once the modem has hung up.
using TDialFailure = std::optional<EKomError>;

TDialFailure Failed(TModemLine& modem, ErrorNumber number, const std::optional<std::string>& detail = std::nullopt) {
  const std::string text = ErrorText(NumberOf(number));
  EKomError failure(number, detail ? text + " " + *detail : text);
  modem.SetState(ModemStates::Failed, failure.what());
  return failure;
}

TDialFailure NoCarrierFailure(TModemLine& modem, TPort& port) {
  std::string reason;
  if (port.SendCommand("ATS86?\r", CommandTimeout, false, true, reason) != LineResult::Done) {
    return Failed(modem, NoCarrier);
  }
  return Failed(modem, NoCarrier, reason);
}

TDialFailure JudgeDialAnswer(TModemLine& modem, TPort& port, const std::string& answer) {
  const std::string upper = Upper(answer);
  if (upper.starts_with("CONNECT")) {
    port.Pause(2 * modem.GuardTime());
    modem.SetState(ModemStates::Connected);
    return std::nullopt;
  }
  if (upper == "BUSY") return Failed(modem, Busy);
  if (upper == "NO CARRIER") return NoCarrierFailure(modem, port);
  return Failed(modem, OtherFailure, answer);
}

TPort& OpenModemPort(const TModemLine& modem) {
  if (modem.Port() == nullptr || !modem.Port()->Opened()) throw std::runtime_error("the modem line is not open");
  return *modem.Port();
}

// Steps of the dial that talk to the modem; a failed exchange sets the failed
// state and returns its failure, a raised failure is left to the caller.
TDialFailure DialSteps(TModemLine& modem, const TNastaveni& settings) {
  LogLine("Vytacim modem");
  modem.SetState(ModemStates::Dialling);
  TPort& port = OpenModemPort(modem);
  LogLine("posilam AT");
  std::string answer;
  if (port.SendCommand("AT\r", CommandTimeout, false, true, answer) != LineResult::Done || Upper(answer) != "OK") {
    return Failed(modem, NotAnswering);
  }
  port.SendCommand("AT&B1\r", CommandTimeout, false, false, answer);
  LearnEscapeChar(modem, port);
  LearnGuardTime(modem, port);
  const std::string dial = std::string(settings.ToneDialling ? "ATX3DT" : "ATX3DP") + settings.PhoneNumber + "\r";
  if (port.SendCommand(dial, DialTimeout, false, true, answer) != LineResult::Done) {
    return Failed(modem, NotAnswering);
  }
  return JudgeDialAnswer(modem, port, answer);
}

// A failed dial hangs up; a failure of that hang-up is logged, and the dial's
// own failure is the one the caller learns.
void HangUpAfterFailedDial(TModemLine& modem) {
  try {
    HangUp(modem, true);
  } catch (const std::exception& failure) {
    LogLine(std::string("ERROR: ") + failure.what());
  }
}

void HangUpSteps(TModemLine& modem) {
  modem.ForgetModemValues();
  TPort& port = *modem.Port();
  const std::string& escape = modem.EscapeChar();
  // A modem takes "+++" as the escape only after the guard time of quiet on
  // the line; data written just before would make it part of the call.
  port.Pause(modem.GuardTime());
  port.Write(escape + escape + escape);
  port.Pause(3 * modem.GuardTime());
  std::string answer;
  port.SendCommand("ATH0\r", CommandTimeout, true, false, answer);
  port.Flush();
  modem.SetState(ModemStates::HungUp);
}

void ReleaseModemPort(TModemLine& modem) {
  std::unique_ptr<TPort> port = modem.Release();
  port->Close();
}

bool IsControlByte(unsigned char c) { return c < 0x20 || c == 0x7F; }

/// The number as the log and the message show it: a control byte as \xHH.
std::string ShownNumber(const std::string& number) {
  std::string shown;
  for (const unsigned char c : number) {
    if (!IsControlByte(c)) {
      shown += static_cast<char>(c);
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    shown += escaped;
  }
  return shown;
}

}  // namespace

void RefuseControlBytesInNumber(const std::string& number) {
  if (std::none_of(number.begin(), number.end(), [](unsigned char c) { return IsControlByte(c); })) return;
  throw std::runtime_error("the phone number \"" + ShownNumber(number) +
                           "\" holds a control character; it is not dialled");
}

void Dial(TModemLine& modem, const TNastaveni& settings, bool minimized) {
  RefuseControlBytesInNumber(settings.PhoneNumber);
  TDialFailure failure;
  {
    TModemForm form(minimized);
    form.Show(LoadText(DiallingText));
    try {
      failure = DialSteps(modem, settings);
    } catch (const std::exception& raised) {
      failure = Failed(modem, OtherFailure, raised.what());
    }
  }
  if (modem.State() != ModemStates::Connected) {
    HangUpAfterFailedDial(modem);
    // A dial cut short by a stop ends as the stop (10), not as the modem's
    // failure (33, 36), which a caller would dial again.
    ThrowIfStopRequested();
  }
  if (failure) throw *failure;
}

void HangUp(TModemLine& modem, bool minimized) {
  if (modem.Port() == nullptr) return;
  TModemForm form(minimized);
  form.Show(LoadText(HangingUpText));
  try {
    HangUpSteps(modem);
  } catch (const std::exception&) {
    // A line that fails while hanging up is of no further use: it is closed
    // and released all the same, and the failure goes to the caller.
    form.Hide();
    ReleaseModemPort(modem);
    throw;
  }
  form.Hide();
  ReleaseModemPort(modem);
}

std::string RunModemScript(const TModemLine& modem, const std::string& file) {
  std::istringstream in(ReadInputFile(file, MaxScriptSize));
  TPort& port = OpenModemPort(modem);
  std::string result;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string answer;
    if (port.SendCommand(line + "\r", CommandTimeout, false, false, answer) != LineResult::Done ||
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
