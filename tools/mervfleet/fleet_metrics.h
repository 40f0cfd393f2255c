#pragma once
// TFleetMetrics: `mervfleet --metrics FILE`. The outcome of each register is
// noted as it ends; Commit adds them all to FILE (see metric_series.h for
// what it holds) under an exclusive lock on "FILE.lock", which the modules
// of the Ansible collection take too, so that several runs and lines of one
// host share one file. FILE is read, updated and written whole through the
// file door: a temporary file beside it renamed over it, so that the
// textfile collector never reads half of it.
#include <optional>
#include <string>
#include <vector>

#include "tools/mervfleet/register_run.h"

class TFleetMetrics {
public:
  TFleetMetrics(std::string path, std::string activity);

  /// Notes the outcome of a register that has just ended.
  void Add(const TRegisterOutcome& outcome);
  /// Adds the outcomes noted to the file. Throws std::system_error when the
  /// lock is not had within LockLimit or the file cannot be written.
  void Commit();

private:
  struct TRun {
    std::string Name;
    std::optional<int> Error;
    double Ended = 0;
    double Seconds = 0;
  };

  std::string path_;
  std::string activity_;
  std::vector<TRun> runs_;
};
