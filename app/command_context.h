#pragma once
// The context of one command, made by the run of that command (the command
// mode's, or each of the resident mode's) and handed to its steps: the run's
// context of the base layer (program folder, log, first failure, write limit,
// language) and the module's log with its files, which the command names
// from the settings.
#include <string>

#include "base/communication_log.h"
#include "base/run_context.h"

/// What the process gives every command it runs: the program folder and the
/// module's log. Start-up makes it; it lasts as long as the mode.
struct TProgramSetup {
  std::string ProgramFolder;
  TCommunicationLog& Log;
};

class TCommandContext {
public:
  explicit TCommandContext(const TProgramSetup& setup) : Run(setup.ProgramFolder, setup.Log), Log(setup.Log) {}

  TRunContext Run;
  /// The log's files: the enciphered log as the settings ask for it.
  TCommunicationLog& Log;

  const std::string& ProgramFolder() const { return Run.ProgramFolder(); }
  TFailureRecorder& Failures() { return Run.Failures(); }
};
