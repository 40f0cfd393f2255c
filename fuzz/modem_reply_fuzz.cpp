// The dial-up modem's replies as the module receives them: the answers to an
// initialisation script, to "AT", to the S-register queries (escape
// character, guard time), to the dial command (CONNECT, BUSY, NO CARRIER,
// anything else) and to the S86 query after NO CARRIER, then the hang-up.
//
// The first byte chooses tone or pulse dialling and whether a script runs
// first. The rest is what the modem sends; a "|" is a pause in which the
// modem sends nothing, so one input holds a whole conversation: each answer
// ends where the line falls quiet. The line keeps its own clock, so the dial
// time-out and the guard times cost no real time.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/kom_error.h"
#include "fuzz_input.h"
#include "transport/modem.h"
#include "transport/modem_line.h"
#include "transport/nastaveni.h"
#include "transport/port.h"

namespace {

constexpr char Pause = '|';
constexpr std::uint8_t ToneBit = 1;
constexpr std::uint8_t ScriptBit = 2;
constexpr int LongestGuardTimeMs = 255 * 20;

const TFuzzScratchFile ScriptFile("merv_modem_fuzz");

/// The path of an initialisation script of two commands, written once per
/// process.
const std::string& ScriptPath() {
  static const std::string& path = ScriptFile.Hold("ATZ\r\nAT&F&C1\n");
  return path;
}

TNastaveni ModemLineSettings(bool tone) {
  TNastaveni settings = TNastaveni::CommandDefaults();
  settings.ComPort[ModemSlot] = 1;
  settings.BaudRate[ModemSlot] = 9600;
  settings.PhoneNumber = "5551234";
  settings.ToneDialling = tone;
  return settings;
}

/// What the dial learnt must be usable whatever the modem answered.
void CheckLearntState(const TModemLine& modem) {
  if (modem.EscapeChar().size() != 1) std::abort();
  const auto guardTime = modem.GuardTime().count();
  if (guardTime < 0 || guardTime > LongestGuardTimeMs) std::abort();
  if (modem.State() != ModemStates::Connected || modem.Port() == nullptr || !modem.Port()->Opened()) std::abort();
}

/// Runs the script when asked; false when the modem refused a line of it.
bool RunScript(const TModemLine& modem, bool wanted) {
  if (!wanted) return true;
  try {
    RunModemScript(modem, ScriptPath());
  } catch (const std::runtime_error&) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzInput input(data, size);
  const std::uint8_t choices = input.Byte();
  TScriptedComLine line(input.Rest(), Pause);
  TModemLine modem;
  modem.AdoptSettings(ModemLineSettings(choices & ToneBit));
  modem.Adopt(std::make_unique<TPort>(line));
  modem.Port()->Open(modem.Settings(), ModemSlot);
  if (RunScript(modem, choices & ScriptBit)) {
    try {
      Dial(modem, modem.Settings(), true);
      CheckLearntState(modem);
      HangUp(modem, true);
    } catch (const EKomError&) {
      // A modem that answers wrongly ends the dial with #33..#36.
    }
    // Connected or not, the line ends hung up and released.
    if (modem.Port() != nullptr) std::abort();
  }
  return 0;
}
