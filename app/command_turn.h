#pragma once
// TCommandTurn: a command's turn in the program folder. Commands started at
// once in one folder share "error.dat" and the log; each takes an exclusive
// lock on "mervmodul.lock" there before it starts and holds it until its
// outcome file is written, so the next one waits (its log says so) and then
// runs. The command mode takes a turn around its one command; a resident mode
// takes one around each command it runs and none while it only waits.
//
// A lock file that cannot be opened (a folder without write access) does not
// stop the command: it runs without a turn, and its log says so. A turn not
// given within the longest wait, or a stop requested while waiting, means the
// command must not run: another one still owns the folder's outcome file.
#include <chrono>
#include <memory>
#include <string>

#include "base/exclusive_lock_file.h"

class TCommandTurn {
public:
  /// Long enough for the slowest whole transfer: 30,000 PLU over a
  /// 9,600 bit/s line take about half an hour.
  static constexpr std::chrono::minutes DefaultLongestWait{90};

  /// Waits for the turn of the folder `programDir` (ending in its separator).
  explicit TCommandTurn(const std::string& programDir, std::chrono::milliseconds longestWait = DefaultLongestWait);
  ~TCommandTurn();
  TCommandTurn(const TCommandTurn&) = delete;
  TCommandTurn& operator=(const TCommandTurn&) = delete;

  /// True when the command may run (the turn is held, or no lock file can be
  /// had in the folder).
  bool MayRun() const { return mayRun_; }

  /// True while the folder's lock is held.
  bool Held() const { return lock_ && lock_->Locked(); }

private:
  void WaitForTurn(std::chrono::milliseconds longestWait);

  std::unique_ptr<TExclusiveLockFile> lock_;
  bool mayRun_ = false;
};

/// The name of the lock file in the program folder.
inline constexpr const char* CommandLockFileName = "mervmodul.lock";
