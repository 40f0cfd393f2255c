#include "tools/mervd/module_run.h"

#include <nlohmann/json.hpp>

#include "base/input_file.h"
#include "base/safe_output_file.h"
#include "tools/mervd/child_wait.h"

namespace {

constexpr auto StopGrace = std::chrono::seconds(5);
constexpr std::uint64_t MaxOutcomeSize = 1 << 20;
constexpr const char* OutcomeName = "error.json";
/// The diagnosis waits for connects and an ENQ: a minute is ample.
constexpr auto DoctorLimit = std::chrono::seconds(60);
constexpr std::size_t MaxDoctorReport = 1 << 20;

// The outcome file the module wrote, when it is valid JSON.
std::optional<std::string> ReadOutcome(const std::string& path) {
  if (LookAtEntry(path).kind != TFileEntry::Kind::Regular) return std::nullopt;
  std::string text = ReadInputFile(path, MaxOutcomeSize, InputLinks::Refuse);
  if (!nlohmann::json::accept(text)) return std::nullopt;
  return text;
}

template <typename Duration>
std::optional<TChildEnd> EndWithin(TChildProcess& child, Duration limit) {
  if (auto end = WaitForChildEnd(child, std::chrono::duration_cast<std::chrono::milliseconds>(limit))) return end;
  child.RequestStop();
  if (WaitForChildEnd(child, StopGrace)) return std::nullopt;
  child.Kill();
  WaitForChildEnd(child, StopGrace);
  return std::nullopt;
}

}  // namespace

std::vector<std::string> ModuleArguments(const TLineConfig& line, const TCommandRecord& record) {
  std::vector<std::string> arguments{record.Activity};
  for (const auto& [name, value] : record.Parameters) {
    arguments.push_back(value.empty() ? "/" + name : "/" + name + "=" + value);
  }
  arguments.insert(arguments.end(), line.Connection.begin(), line.Connection.end());
  if (!line.Model.empty()) arguments.push_back("/ECR=" + line.Model);
  arguments.emplace_back("/JSON");
  return arguments;
}

void RunModuleCommand(const TDaemonConfig& config, const TLineConfig& line, TCommandRecord& record) {
  const std::string outcomePath = line.Folder + "/" + OutcomeName;
  // An outcome left by an earlier command must not pass for this one's.
  RemoveFileIfPresent(outcomePath);
  TChildStart start;
  start.Program = config.ModulePath;
  start.Arguments = ModuleArguments(line, record);
  start.WorkingFolder = line.Folder;
  start.Environment = {{"MERV_PROGRAM_DIR", line.Folder}};
  std::optional<TChildEnd> end;
  try {
    TChildProcess child(start);
    end = EndWithin(child, config.CommandLimit);
  } catch (const std::system_error& failure) {
    record.State = CommandState::Failed;
    record.Message = std::string("the module could not be started: ") + failure.what();
    record.Finished = TCommandRecord::Clock::now();
    return;
  }
  record.Finished = TCommandRecord::Clock::now();
  if (auto outcome = ReadOutcome(outcomePath)) {
    record.Outcome = std::move(*outcome);
    record.State = CommandState::Done;
    if (!end) record.Message = "the module was stopped after " + std::to_string(config.CommandLimit.count()) + " s";
    return;
  }
  record.State = CommandState::Failed;
  record.Message = end ? "the module ended (" + end->Describe() + ") without writing " + OutcomeName
                       : "the module did not end within " + std::to_string(config.CommandLimit.count()) +
                             " s and was stopped; the register may or may not have done the work";
}

std::string RunModuleDoctor(const TDaemonConfig& config, const TLineConfig& line) {
  TChildStart start;
  start.Program = config.ModulePath;
  start.Arguments = {"--doctor"};
  start.Arguments.insert(start.Arguments.end(), line.Connection.begin(), line.Connection.end());
  if (!line.Model.empty()) start.Arguments.push_back("/ECR=" + line.Model);
  start.Arguments.emplace_back("--json");
  start.WorkingFolder = line.Folder;
  start.Environment = {{"MERV_PROGRAM_DIR", line.Folder}};
  start.KeepOutput = true;
  TChildProcess child(start);
  if (!EndWithin(child, DoctorLimit)) throw std::runtime_error("the diagnosis did not end within a minute");
  std::string report = child.Output(MaxDoctorReport);
  if (!nlohmann::json::accept(report)) throw std::runtime_error("the module gave no diagnosis (mervmodul --doctor)");
  return report;
}
