#pragma once
// TRegisterRun: one register on its way through mervfleet. Each attempt is
// one module process in the register's line folder, started with the
// folder as its working folder and its program folder (MERV_PROGRAM_DIR),
// or with a copy of the module there (--copy-module). An attempt ends when
// the process ends; its outcome is the number the module wrote to
// "error.dat", which is removed before every attempt so that an earlier
// outcome is never read as this one's.
//
// The module's own lock of the folder ends with its process, before its
// outcome is read; so callers sharing a line folder (other mervfleet runs,
// the modules of the Ansible collection) take turns on the folder's turn lock
// ("merv-outcome.lock"), which an attempt holds from before "error.dat" is
// removed until it has been read.
//
// On a dial-up line an attempt is a call: see TModemCall.
//
// An attempt that runs past the limit is asked to stop (the module then ends
// its command and writes its outcome); one that is still running a grace
// time later is killed. The run owns its child process; destroying a run
// with its child under way kills and reaps the child.
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/exclusive_lock_file.h"
#include "tools/mervfleet/line_failures.h"
#include "tools/mervfleet/child_process.h"
#include "tools/mervfleet/fleet_options.h"
#include "tools/mervfleet/modem_call.h"
#include "tools/mervfleet/registers_file.h"

using TFleetClock = std::chrono::steady_clock;

/// What the results say about one register.
struct TRegisterOutcome {
  std::string Name;
  std::string Line;
  /// The number of "error.dat"; none when the register has none (not
  /// started, or the module ended without writing one).
  std::optional<int> ErrorNumber;
  std::string Meaning;
  int Attempts = 0;
  double Seconds = 0;
  /// Files the last attempt wrote: relative to the line folder when inside
  /// it, else their full path.
  std::vector<std::string> Files;
};

/// The module and how each attempt is started; shared by every run.
struct TRunSetup {
  const TFleetOptions* Options = nullptr;
  std::string Module;
  /// With --copy-module: the module's bytes, copied into each line folder.
  std::string ModuleBytes;
};

class TRegisterRun {
public:
  explicit TRegisterRun(TRegisterEntry entry);

  /// Starts the next attempt once the folder's turn lock is had: false, with
  /// nothing started, while another caller of the folder holds it. Throws
  /// std::system_error when the folder cannot be prepared, the module cannot
  /// be started, or another caller has held the folder for longer than an
  /// attempt may take.
  bool StartAttempt(const TRunSetup& setup);
  /// True while an attempt is under way.
  bool Running() const { return child_ != nullptr; }
  /// Looks at the attempt under way: true when it has ended (its outcome is
  /// then read); asks it to stop or kills it when it is past its limit.
  bool CheckAttempt(const TRunSetup& setup);
  /// Passes a stop request on to the attempt under way.
  void PassStopOn();
  /// When the attempt under way must be looked at again at the latest.
  TFleetClock::time_point NextDeadline(const TRunSetup& setup) const;

  /// The last attempt ended with a failure of the line (04, 05, 09, 31, 33 to 36).
  bool EndedWithLineFailure() const;
  /// The last attempt ended with 0.
  bool Succeeded() const { return errorNumber_ == 0; }
  int Attempts() const { return attempts_; }
  const TRegisterEntry& Entry() const { return entry_; }

  /// Notes that the register could not be started at all (a folder that
  /// cannot be made, a module that cannot run): `why` becomes its meaning.
  void NoteStartFailure(const std::string& why);
  /// The row of the results; `why` replaces the meaning of a register that
  /// was never started.
  TRegisterOutcome Outcome(const std::string& notStartedWhy = {}) const;

private:
  bool TakeTurn(const std::filesystem::path& folder, const TRunSetup& setup);
  void ReadOutcome(const TChildEnd& end);
  std::vector<std::string> FilesWritten() const;

  TRegisterEntry entry_;
  std::unique_ptr<TChildProcess> child_;
  /// The folder's turn lock, held for the attempt under way.
  std::unique_ptr<TExclusiveLockFile> turn_;
  std::optional<TFleetClock::time_point> turnAwaitedSince_;
  /// The call of an attempt on a dial-up line.
  std::unique_ptr<TModemCall> call_;
  int attempts_ = 0;
  std::optional<TFleetClock::time_point> firstStart_;
  TFleetClock::time_point attemptStart_{};
  TFleetClock::time_point lastEnd_{};
  std::filesystem::file_time_type runFileTime_{};
  std::optional<TFleetClock::time_point> stopAskedAt_;
  /// The module's arguments of the last attempt.
  std::vector<std::string> arguments_;
  std::optional<int> errorNumber_;
  std::string failure_;
  std::vector<std::string> files_;
};

/// The meaning of an error number of the module, in English, from the error table.
std::string ErrorMeaning(int number);
