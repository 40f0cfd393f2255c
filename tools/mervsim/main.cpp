// mervsim: the register emulator. Plays an electronic cash register of a
// chosen model on a TCP port or a pseudo-terminal, with demo data or tables
// from files, and misbehaves on request; see SimHelpText (sim_options.cpp).
#include "base/platform.h"
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/process_values.h"
#include "tools/help_or_version.h"
#include "tools/mervsim/card/card_reader_emulator.h"
#include "tools/mervsim/register/fault_injector.h"
#include "tools/mervsim/modem/hayes_modem.h"
#include "tools/mervsim/register/register_data.h"
#include "tools/mervsim/register/register_emulator.h"
#include "tools/mervsim/register/register_range.h"
#include "tools/mervsim/register/register_setup.h"
#include "tools/mervsim/replay/replay_mode.h"
#include "tools/mervsim/sim_options.h"
#include "tools/mervsim/line/sim_transport.h"
#include "tools/mervsim/line/wire_log.h"

namespace {

constexpr int ExitDone = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
/// A frame whose bytes stop coming for this long is dropped (as on the plain line).
constexpr int RegisterQuietMs = 500;

TLineSettings LineOf(const TSimOptions& options) {
  return {options.TcpPort, options.LinkPath, options.Once, options.LineSpeed};
}

int RunCardReader(const TSimOptions& options) {
  TWireLog log(options.LogPath);
  TCardReaderEmulator reader(options.Card, log);
  InstallStopSignals();
  TSimServer server(reader, LineOf(options));
  AnnounceListening(server.Open());
  std::cerr << "mervsim: card reader, card image " << options.Card.ImagePath << std::endl;
  server.Serve();
  return ExitDone;
}

int Run(const TSimOptions& options) {
  if (options.CardReader) return RunCardReader(options);
  if (options.TcpRange) return RunRegisterRange(options);
  if (!options.Replay.LogPath.empty()) return RunReplay(options.Replay, LineOf(options), options.LogPath);
  TRegisterData data(options.ModelName);
  FillRegisterData(data, options);

  const TEmulatorSettings settings = EmulatorSettings(options, data.Catalogue());
  TFaultInjector faults(options.Faults);
  TWireLog log(options.LogPath);
  log.Note(Cp1250ToUtf8(DescribeRegister(options, settings, data)));
  TRegisterEmulator emulator(data, settings, faults, log);

  InstallStopSignals();
  TSimServer server(emulator, LineOf(options));
  THayesModem modem(emulator, options.Modem, log, RegisterQuietMs);
  if (options.Modem.Enabled) server.UseModem(modem);
  AnnounceListening(server.Open());
  std::cerr << "mervsim: " << Cp1250ToUtf8(DescribeRegister(options, settings, data)) << std::endl;
  server.Serve();
  return ExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  UsePreciseSleeps();
  TSimOptions options;
  try {
    options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& failure) {
    std::cerr << "mervsim: " << failure.what() << "\n";
    return ExitUsage;
  }
  if (AnswerHelpOrVersion(options.Help, options.Version, "mervsim", SimHelpText)) return ExitDone;
  try {
    return Run(options);
  } catch (const std::exception& failure) {
    std::cerr << "mervsim: " << Cp1250ToUtf8(failure.what()) << "\n";
    return ExitFailure;
  }
}
