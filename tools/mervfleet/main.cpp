// mervfleet: runs one command of the module against many registers, each
// through the module as a process of its own in the register's line folder,
// at most N at a time, and writes one table of outcomes; see FleetHelpText
// (fleet_options.cpp).
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_name.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/stop_request.h"
#include "tools/help_or_version.h"
#include "tools/mervfleet/child_process.h"
#include "tools/mervfleet/fleet_metrics.h"
#include "tools/mervfleet/fleet_options.h"
#include "tools/mervfleet/fleet_results.h"
#include "tools/mervfleet/fleet_scheduler.h"
#include "tools/mervfleet/metric_series.h"
#include "tools/mervfleet/progress_line.h"
#include "tools/mervfleet/registers_file.h"
#include "tools/mervfleet/small_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int ExitAllDone = 0;
constexpr int ExitSomeFailed = 1;
constexpr int ExitUsage = 2;
/// A module larger than this is no module.
constexpr std::size_t LargestModule = 256 * 1024 * 1024;

#ifdef _WIN32
constexpr const char* ModuleName = "mervmodul.exe";
#else
constexpr const char* ModuleName = "mervmodul";
#endif

// The module named by --module, else the one of this program's
// installation, else the one beside this program (a build folder, the
// Windows zip). The installed module comes first: beside an installed
// mervfleet lies the launcher on PATH, which --copy-module must not copy.
std::string FindModule(const std::string& given) {
  if (!given.empty()) {
    if (!fs::is_regular_file(PathFromName(given))) throw std::invalid_argument("--module: " + given + " is no file");
    return NameFromPath(fs::absolute(PathFromName(given)));
  }
  const fs::path folder = PathFromName(ExecutablePath()).parent_path();
  for (const fs::path& candidate : {folder / ".." / "lib" / "mervmodul" / ModuleName, folder / ModuleName}) {
    if (fs::is_regular_file(candidate)) return NameFromPath(candidate.lexically_normal());
  }
  throw std::invalid_argument("the module is neither beside mervfleet nor in ../lib/mervmodul/: give --module PATH");
}

TRunSetup SetupFor(const TFleetOptions& options) {
  TRunSetup setup;
  setup.Options = &options;
  setup.Module = FindModule(options.Module);
  if (options.CopyModule) {
    auto bytes = ReadSmallFile(setup.Module, LargestModule);
    if (!bytes) throw std::invalid_argument("the module " + setup.Module + " cannot be read");
    setup.ModuleBytes = std::move(*bytes);
  }
  return setup;
}

int Run(const TFleetOptions& options, const TRunSetup& setup, int total) {
  fs::create_directories(PathFromName(options.OutFolder));
  TRegistersFile registers(options.RegistersFile, options.OutFolder);
  std::optional<TFleetMetrics> metrics;
  if (!options.MetricsFile.empty()) metrics.emplace(options.MetricsFile, options.Activity);
  TFleetResults results(options.OutFolder, metrics ? &*metrics : nullptr);
  TProgressLine progress(StandardErrorIsTerminal());
  InstallStopRequestHandlers();
  PrepareChildProcesses();
  TFleetScheduler scheduler(setup, registers, total, results, progress);
  const bool allDone = scheduler.Run();
  results.Commit();
  return allDone ? ExitAllDone : ExitSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  TFleetOptions options;
  TRunSetup setup;
  int total = 0;
  try {
    options = ParseFleetOptions(arguments);
    if (AnswerHelpOrVersion(options.Help, options.Version, "mervfleet", FleetHelpText)) return ExitAllDone;
    // An activity word that cannot be a metrics label is refused before any register runs.
    if (!options.MetricsFile.empty()) ActivityLabel(options.Activity);
    setup = SetupFor(options);
    // The whole file is checked before the first register starts.
    total = TRegistersFile(options.RegistersFile, options.OutFolder).CountRest();
  } catch (const std::invalid_argument& failure) {
    std::cerr << "mervfleet: " << failure.what() << "\n";
    return ExitUsage;
  }
  setup.Options = &options;
  try {
    return Run(options, setup, total);
  } catch (const std::exception& failure) {
    std::cerr << "mervfleet: " << failure.what() << "\n";
    return ExitSomeFailed;
  }
}
