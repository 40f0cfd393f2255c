#include "tools/mervfleet/fleet_metrics.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "base/exclusive_lock_file.h"
#include "base/input_file.h"
#include "base/safe_output_file.h"
#include "tools/mervfleet/metric_series.h"

namespace {

/// The lock is held for the time of a read and a write of a small file; a
/// holder that keeps it longer than this is taken for stuck.
constexpr auto LockLimit = std::chrono::seconds(60);
constexpr auto LockPoll = std::chrono::milliseconds(50);
/// A file of a chain's registers: 200 bytes a series and class, far below this.
constexpr std::uint64_t LargestMetricsFile = 64u << 20;

double UnixSecondsNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void TakeLock(TExclusiveLockFile& lock, const std::string& path) {
  const auto limit = std::chrono::steady_clock::now() + LockLimit;
  while (!lock.TryLock()) {
    if (std::chrono::steady_clock::now() >= limit) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              path + ".lock: held by another process for longer than 60 s");
    }
    std::this_thread::sleep_for(LockPoll);
  }
}

std::string EarlierText(const std::string& path) {
  try {
    return ReadInputFile(path, LargestMetricsFile);
  } catch (const std::system_error& failure) {
    if (failure.code() == std::errc::no_such_file_or_directory) return {};
    throw;
  }
}

}  // namespace

TFleetMetrics::TFleetMetrics(std::string path, std::string activity)
    : path_(std::move(path)), activity_(std::move(activity)) {
  // A wrong activity word fails before any register runs.
  ActivityLabel(activity_);
}

void TFleetMetrics::Add(const TRegisterOutcome& outcome) {
  runs_.push_back({outcome.Name, outcome.ErrorNumber, UnixSecondsNow(), outcome.Seconds});
}

void TFleetMetrics::Commit() {
  TExclusiveLockFile lock(path_ + ".lock");
  TakeLock(lock, path_);
  TMetricSeries series = TMetricSeries::Parse(EarlierText(path_));
  for (const TRun& run : runs_) series.Record(run.Name, activity_, run.Error, run.Ended, run.Seconds);
  // The file is the one the caller named (--metrics FILE), like /FILE=: a
  // link there is followed once, under the door's rule for shared folders.
  WriteFileSafely(path_, series.Text(), LinkRule::FollowOnce);
}
