#include "tools/mervd/line_worker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/file_name.h"
#include "tools/mervd/module_run.h"

namespace {

constexpr std::size_t RecentKept = 10;
constexpr auto ExpiryInterval = std::chrono::minutes(10);

}  // namespace

TLineWorker::TLineWorker(const TDaemonConfig& config, const TLineConfig& line)
    : config_(config), line_(line), store_(line.Name, line.Folder, config.KeepOutcomes) {
  std::error_code error;
  std::filesystem::create_directories(PathFromName(line_.Folder), error);
  if (error) throw std::system_error(error, "line " + line_.Name + ": cannot make its folder " + line_.Folder);
  RecoverInterrupted();
  store_.RemoveExpired();
  lastExpiry_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { Work(); });
}

TLineWorker::~TLineWorker() {
  Stop();
  thread_.join();
}

void TLineWorker::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

void TLineWorker::RecoverInterrupted() {
  for (auto& record : store_.All()) {
    if (!record.Ended()) {
      record.Message = "mervd ended while the command was " + StateName(record.State) +
                       "; it is not run again (the register may have done it: check before repeating it "
                       "with a new request id)";
      record.State = CommandState::Interrupted;
      record.Finished = TCommandRecord::Clock::now();
      store_.Save(record);
    }
    recent_.push_front(record);
    if (recent_.size() > RecentKept) recent_.pop_back();
  }
}

std::optional<TCommandRecord> TLineWorker::FindLocked(const std::string& requestId) {
  if (running_ && running_->RequestId == requestId) return running_;
  for (const auto& record : queue_) {
    if (record.RequestId == requestId) return record;
  }
  return store_.Find(requestId);
}

TLineWorker::TAdmission TLineWorker::Submit(TCommandRecord record) {
  std::lock_guard lock(mutex_);
  if (auto known = FindLocked(record.RequestId)) {
    const Admission kind = IsSameCommand(*known, record) ? Admission::Known : Admission::OtherCommand;
    return {kind, std::move(*known)};
  }
  if (queue_.size() >= config_.QueueLimit) return {Admission::QueueFull, std::move(record)};
  record.State = CommandState::Queued;
  store_.Save(record);
  queue_.push_back(record);
  changed_.notify_all();
  return {Admission::Accepted, std::move(record)};
}

std::optional<TCommandRecord> TLineWorker::Find(const std::string& requestId) {
  std::lock_guard lock(mutex_);
  return FindLocked(requestId);
}

std::optional<TCommandRecord> TLineWorker::AwaitEnd(const std::string& requestId, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(mutex_);
  while (true) {
    auto record = FindLocked(requestId);
    if (!record || record->Ended() || stopping_) return record;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return FindLocked(requestId);
  }
}

void TLineWorker::Work() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait_for(lock, ExpiryInterval, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    if (std::chrono::steady_clock::now() - lastExpiry_ > ExpiryInterval) RemoveExpired();
    if (queue_.empty()) continue;
    running_ = std::move(queue_.front());
    queue_.pop_front();
    running_->State = CommandState::Running;
    running_->Started = TCommandRecord::Clock::now();
    TCommandRecord record = *running_;
    changed_.notify_all();
    lock.unlock();
    try {
      store_.Save(record);
      const std::lock_guard talking(lineInUse_);
      RunModuleCommand(config_, line_, record);
    } catch (const std::exception& failure) {
      // The record on disk may say "running": a restart marks it interrupted.
      std::fprintf(stderr, "mervd: line %s: %s\n", line_.Name.c_str(), failure.what());
      record.State = CommandState::Failed;
      record.Message = failure.what();
    }
    lock.lock();
    Finish(record);
  }
}

void TLineWorker::RemoveExpired() {
  // A folder that cannot be listed now (removed, unmounted) must not end the
  // service: the records stay until a later sweep can remove them.
  try {
    store_.RemoveExpired();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "mervd: line %s: expired records are not removed: %s\n", line_.Name.c_str(), failure.what());
  }
  lastExpiry_ = std::chrono::steady_clock::now();
}

void TLineWorker::Finish(TCommandRecord& record) {
  try {
    store_.Save(record);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "mervd: line %s: the outcome of %s is not kept: %s\n", line_.Name.c_str(),
                 record.RequestId.c_str(), failure.what());
  }
  ++endedByError_[OutcomeError(record).value_or(-1)];
  RecordSeries(record);
  recent_.push_front(record);
  if (recent_.size() > RecentKept) recent_.pop_back();
  running_.reset();
  changed_.notify_all();
}

void TLineWorker::RecordSeries(const TCommandRecord& record) {
  using Seconds = std::chrono::duration<double>;
  const auto finished = record.Finished.value_or(TCommandRecord::Clock::now());
  const auto started = record.Started.value_or(finished);
  series_.Record(line_.Name, ActivityLabel(record.Activity), OutcomeError(record),
                 Seconds(finished.time_since_epoch()).count(), Seconds(finished - started).count());
}

TLineSnapshot TLineWorker::Snapshot() {
  std::lock_guard lock(mutex_);
  TLineSnapshot snapshot;
  snapshot.Name = line_.Name;
  snapshot.Running = running_;
  snapshot.Queued = queue_.size();
  snapshot.Recent.assign(recent_.begin(), recent_.end());
  snapshot.EndedByError = endedByError_;
  snapshot.Series = series_;
  if (running_ && running_->Started) {
    snapshot.SecondsRunning = std::chrono::duration<double>(TCommandRecord::Clock::now() - *running_->Started).count();
  }
  return snapshot;
}

std::optional<std::string> TLineWorker::Diagnose() {
  std::unique_lock talking(lineInUse_, std::defer_lock);
  if (!talking.try_lock_for(config_.CommandLimit)) return std::nullopt;
  return RunModuleDoctor(config_, line_);
}
