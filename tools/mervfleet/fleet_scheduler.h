#pragma once
// TFleetScheduler: runs the registers of a registers file through the module,
// at most N at a time, and writes a row of results for each.
//
// The registers file is read as the run goes: a register is taken from it
// when a job is free. A register whose line (or line folder) is in use by a
// register under way waits in a queue until it is free; so does a register
// waiting for its next attempt after a line failure, and one whose line
// folder another caller holds (its turn lock, see register_run.h), looked at
// again every second. The queue holds at most
// N registers taken from the file (retries may add up to N more), so memory
// and descriptors are bounded by N, not by the length of the file.
//
// A stop request (SIGINT, SIGTERM) ends the taking of registers: those under
// way finish their command, and every register not finished gets its row
// (those never started "not started", and no metrics). A second stop request
// is passed on to the modules under way.
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tools/mervfleet/fleet_results.h"
#include "tools/mervfleet/progress_line.h"
#include "tools/mervfleet/register_run.h"
#include "tools/mervfleet/registers_file.h"

class TFleetScheduler {
public:
  /// Borrows everything; `total` is the number of registers in the file.
  TFleetScheduler(const TRunSetup& setup, TRegistersFile& registers, int total, TFleetResults& results,
                  TProgressLine& progress);

  /// Runs every register; true when each ended with 0 and no stop came.
  bool Run();

private:
  struct TWaiting {
    std::unique_ptr<TRegisterRun> Run;
    TFleetClock::time_point NotBefore;
  };

  void HandleStopRequest();
  void CheckRunning();
  void StartWhatFits();
  std::unique_ptr<TRegisterRun> NextToStart();
  void Start(std::unique_ptr<TRegisterRun> run);
  void Finish(const TRegisterRun& run, const std::string& notStartedWhy = {});
  void FinishTheRest();
  bool KeysFree(const TRegisterEntry& entry) const;
  std::vector<std::string> KeysOf(const TRegisterEntry& entry) const;
  std::chrono::milliseconds WaitLimit() const;

  const TRunSetup& setup_;
  TRegistersFile& registers_;
  TFleetResults& results_;
  TProgressLine& progress_;
  TProgressCounts counts_;
  std::vector<std::unique_ptr<TRegisterRun>> running_;
  std::deque<TWaiting> waiting_;
  std::set<std::string> busyKeys_;
  bool fileDone_ = false;
  bool stopping_ = false;
};
