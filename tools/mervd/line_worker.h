#pragma once
// TLineWorker: the commands of one register line, run one at a time in the
// order accepted by a thread of its own; lines run in parallel, each with
// its own worker. The queue is bounded. Every command is recorded on disk
// (TOutcomeStore) before it is accepted and again when it starts and ends,
// so a request id is run at most once: a repeat finds the record, in the
// queue, running or done, even after a restart. A record found queued or
// running at the start was cut short by the previous run of mervd; it is
// marked interrupted and never run again (the register may have done it).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/mervd/command_record.h"
#include "tools/mervd/daemon_config.h"
#include "tools/mervd/outcome_store.h"
#include "tools/mervfleet/metric_series.h"

/// What the status page and the metrics show of a line.
struct TLineSnapshot {
  std::string Name;
  std::optional<TCommandRecord> Running;
  std::size_t Queued = 0;
  /// The last commands ended, newest first.
  std::vector<TCommandRecord> Recent;
  /// Commands ended since the start, by the outcome's error number (-1: no outcome).
  std::map<int, std::uint64_t> EndedByError;
  double SecondsRunning = 0;
  /// The chain's series of the line's commands (the line's name as the
  /// register), as mervfleet --metrics and the Ansible collection write them.
  TMetricSeries Series;
};

class TLineWorker {
public:
  TLineWorker(const TDaemonConfig& config, const TLineConfig& line);
  ~TLineWorker();
  TLineWorker(const TLineWorker&) = delete;
  TLineWorker& operator=(const TLineWorker&) = delete;

  enum class Admission { Accepted, Known, OtherCommand, QueueFull };
  struct TAdmission {
    Admission Kind;
    TCommandRecord Record;
  };

  /// Queues the command unless its request id is known (then the record as
  /// it stands; OtherCommand when the record is of another command) or the
  /// queue is full.
  TAdmission Submit(TCommandRecord record);

  /// The record of a request id, or none.
  std::optional<TCommandRecord> Find(const std::string& requestId);

  /// The record once it has ended, or as it stands after `limit` or at Stop.
  std::optional<TCommandRecord> AwaitEnd(const std::string& requestId, std::chrono::milliseconds limit);

  /// Starts no more commands and releases the requests waiting in AwaitEnd;
  /// a command running goes on to its end. The commands still queued stay
  /// recorded as queued, so that the next start marks them interrupted.
  void Stop();

  TLineSnapshot Snapshot();

  /// The line's diagnosis (mervmodul --doctor --json), run when no command
  /// runs on the line; none when the line stayed busy for the command limit.
  std::optional<std::string> Diagnose();

  const TLineConfig& Line() const { return line_; }

private:
  void Work();
  /// The periodic removal of expired records; a failure is logged, not thrown.
  void RemoveExpired();
  void Finish(TCommandRecord& record);
  void RecordSeries(const TCommandRecord& record);
  void RecoverInterrupted();
  std::optional<TCommandRecord> FindLocked(const std::string& requestId);

  const TDaemonConfig& config_;
  const TLineConfig& line_;
  TOutcomeStore store_;
  TMetricSeries series_;
  std::mutex mutex_;
  /// Held while the module talks to the register: by a command or a diagnosis.
  std::timed_mutex lineInUse_;
  std::condition_variable changed_;
  std::deque<TCommandRecord> queue_;
  std::optional<TCommandRecord> running_;
  std::deque<TCommandRecord> recent_;
  std::map<int, std::uint64_t> endedByError_;
  std::chrono::steady_clock::time_point lastExpiry_;
  bool stopping_ = false;
  std::thread thread_;
};
