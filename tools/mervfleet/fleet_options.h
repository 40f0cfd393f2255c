#pragma once
// The command line of mervfleet. ParseFleetOptions reads the arguments
// (without the program name) and raises std::invalid_argument with a message
// for the user on anything it cannot use ("--name=value" is taken as
// "--name value"); FleetHelpText is what "--help" prints.
#include <string>
#include <string_view>
#include <vector>

struct TFleetOptions {
  bool Help = false;
  bool Version = false;
  std::string RegistersFile;
  /// Registers run at the same time, at most.
  int Jobs = 32;
  /// Further attempts of a register whose outcome is a line failure.
  int Retries = 2;
  /// Seconds between a line failure and the next attempt.
  int PauseSeconds = 5;
  /// Seconds one attempt may take before the module is asked to stop.
  int LimitSeconds = 3600;
  std::string OutFolder = ".";
  /// The module; empty: found beside mervfleet or in its installation.
  std::string Module;
  /// Run a copy of the module in each line folder instead of the module with
  /// its program folder set by MERV_PROGRAM_DIR.
  bool CopyModule = false;
  /// With --metrics: the Prometheus text file the outcomes are added to.
  std::string MetricsFile;
  std::string Activity;
  /// The command's parameters, "{name}" not yet replaced.
  std::vector<std::string> Parameters;
};

TFleetOptions ParseFleetOptions(const std::vector<std::string>& arguments);

/// The module's arguments for one register: the activity, the command's
/// parameters with every "{name}" replaced by `name`, then `lineParameters`.
std::vector<std::string> ModuleArguments(const TFleetOptions& options, const std::string& name,
                                         const std::vector<std::string>& lineParameters);

extern const std::string_view FleetHelpText;
