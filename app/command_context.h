#pragma once
// The context of one command, made by the run of that command (the command
// mode's, or each of the resident mode's) and handed to its steps: the run's
// context of the base layer (program folder, log, first failure, write limit,
// language), the module's log with its files, which the command names from
// the settings, and the lines the command opens.
#include <string>

#include "base/communication_log.h"
#include "base/run_context.h"
#include "transport/port.h"
#include "transport/modem_line.h"

/// What the process gives every command it runs: the program folder and the
/// module's log. Start-up makes it; it lasts as long as the mode.
struct TProgramSetup {
  std::string ProgramFolder;
  TCommunicationLog& Log;
};

/// The lines of the run of a command: what every line it opens is given,
/// and the modem line (the resident mode keeps it between its commands).
struct TCommandLines {
  TLineOptions Options;
  TModemLine& Modem;
};

class TCommandContext {
public:
  TCommandContext(const TProgramSetup& setup, const TCommandLines& lines)
      : Run(setup.ProgramFolder, setup.Log), Log(setup.Log), Lines(lines) {}

  TRunContext Run;
  /// The log's files: the enciphered log as the settings ask for it.
  TCommunicationLog& Log;
  TCommandLines Lines;

  const std::string& ProgramFolder() const { return Run.ProgramFolder(); }
  TFailureRecorder& Failures() { return Run.Failures(); }
};
