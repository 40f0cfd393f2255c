#pragma once
// Runs one command of a line as the module's own process: the activity and
// parameters as separate arguments (never through a shell), the line's
// connection parameters, /ECR= and /JSON, with the line folder as working
// and program folder. The run is bounded by the command limit: past it the
// module is asked to stop, and ended if it does not within a few seconds.
// The record gets the outcome ("error.json") or the reason there is none.
#include "tools/mervd/command_record.h"
#include "tools/mervd/daemon_config.h"

/// The module's arguments for the record's command on the line.
std::vector<std::string> ModuleArguments(const TLineConfig& line, const TCommandRecord& record);

/// Runs the record's command and fills its state, end time, outcome and message.
void RunModuleCommand(const TDaemonConfig& config, const TLineConfig& line, TCommandRecord& record);

/// Runs `mervmodul --doctor --json` with the line's parameters in the line
/// folder and returns its report (a JSON object); throws std::runtime_error
/// when the module gives none within the limit.
std::string RunModuleDoctor(const TDaemonConfig& config, const TLineConfig& line);
