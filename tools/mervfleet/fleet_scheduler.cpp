#include "tools/mervfleet/fleet_scheduler.h"

#include <algorithm>
#include <filesystem>

#include "base/file_name.h"
#include "base/stop_request.h"

namespace {

/// The longest sleep between two looks at the children, the stop request and
/// the progress line.
constexpr auto LookEvery = std::chrono::milliseconds(250);
constexpr const char* StoppedWhy = "the run was stopped";
/// A register whose line folder another caller holds is tried again this much later.
constexpr auto TurnRetry = std::chrono::seconds(1);

}  // namespace

TFleetScheduler::TFleetScheduler(const TRunSetup& setup, TRegistersFile& registers, int total, TFleetResults& results,
                                 TProgressLine& progress)
    : setup_(setup), registers_(registers), results_(results), progress_(progress) {
  counts_.Total = total;
}

bool TFleetScheduler::Run() {
  for (;;) {
    HandleStopRequest();
    CheckRunning();
    if (!stopping_) StartWhatFits();
    counts_.Running = static_cast<int>(running_.size());
    progress_.Show(counts_);
    if (running_.empty() && (stopping_ || (fileDone_ && waiting_.empty()))) break;
    AwaitChildEvent(WaitLimit());
  }
  if (stopping_) FinishTheRest();
  progress_.Finish(counts_);
  return counts_.Failed == 0 && !stopping_;
}

// The first request stops the taking of registers; a further one is passed
// on to the modules under way.
void TFleetScheduler::HandleStopRequest() {
  if (!StopRequested()) return;
  ClearStopRequest();
  if (stopping_) {
    for (auto& run : running_) run->PassStopOn();
  }
  stopping_ = true;
}

void TFleetScheduler::CheckRunning() {
  for (auto it = running_.begin(); it != running_.end();) {
    TRegisterRun& run = **it;
    if (!run.CheckAttempt(setup_)) {
      ++it;
      continue;
    }
    for (const auto& key : KeysOf(run.Entry())) busyKeys_.erase(key);
    if (run.EndedWithLineFailure() && run.Attempts() <= setup_.Options->Retries && !stopping_) {
      waiting_.push_back({std::move(*it), TFleetClock::now() + std::chrono::seconds(setup_.Options->PauseSeconds)});
    } else {
      Finish(run);
    }
    it = running_.erase(it);
  }
}

void TFleetScheduler::StartWhatFits() {
  while (static_cast<int>(running_.size()) < setup_.Options->Jobs) {
    auto next = NextToStart();
    if (!next) return;
    Start(std::move(next));
  }
}

// A waiting register that is due and whose line is free, else the next one
// from the file whose line is free (those whose line is in use join the
// queue while it has room).
std::unique_ptr<TRegisterRun> TFleetScheduler::NextToStart() {
  const auto now = TFleetClock::now();
  for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
    if (it->NotBefore <= now && KeysFree(it->Run->Entry())) {
      auto run = std::move(it->Run);
      waiting_.erase(it);
      return run;
    }
  }
  while (!fileDone_ && static_cast<int>(waiting_.size()) < setup_.Options->Jobs) {
    auto entry = registers_.Next();
    if (!entry) {
      fileDone_ = true;
      break;
    }
    auto run = std::make_unique<TRegisterRun>(std::move(*entry));
    if (KeysFree(run->Entry())) return run;
    waiting_.push_back({std::move(run), now});
  }
  return nullptr;
}

void TFleetScheduler::Start(std::unique_ptr<TRegisterRun> run) {
  try {
    if (!run->StartAttempt(setup_)) {
      waiting_.push_back({std::move(run), TFleetClock::now() + TurnRetry});
      return;
    }
  } catch (const std::exception& failure) {
    run->NoteStartFailure(failure.what());
    Finish(*run);
    return;
  }
  for (const auto& key : KeysOf(run->Entry())) busyKeys_.insert(key);
  running_.push_back(std::move(run));
}

void TFleetScheduler::Finish(const TRegisterRun& run, const std::string& notStartedWhy) {
  if (run.Attempts() == 0 && !notStartedWhy.empty()) {
    results_.AddNotRun(run.Outcome(notStartedWhy));
  } else {
    results_.Add(run.Outcome(notStartedWhy));
  }
  ++counts_.Done;
  if (!run.Succeeded()) ++counts_.Failed;
}

// After a stop: a row for every register that waits, and for the rest of the file.
void TFleetScheduler::FinishTheRest() {
  for (const auto& waiting : waiting_) Finish(*waiting.Run, StoppedWhy);
  waiting_.clear();
  while (auto entry = registers_.Next()) Finish(TRegisterRun(std::move(*entry)), StoppedWhy);
}

std::vector<std::string> TFleetScheduler::KeysOf(const TRegisterEntry& entry) const {
  auto folder = std::filesystem::absolute(PathFromName(entry.Folder)).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  return {entry.Line.ExclusiveKey(), "folder:" + NameFromPath(folder)};
}

bool TFleetScheduler::KeysFree(const TRegisterEntry& entry) const {
  const auto keys = KeysOf(entry);
  return std::none_of(keys.begin(), keys.end(), [this](const std::string& key) { return busyKeys_.count(key) > 0; });
}

std::chrono::milliseconds TFleetScheduler::WaitLimit() const {
  const auto now = TFleetClock::now();
  auto until = now + LookEvery;
  for (const auto& run : running_) until = std::min(until, run->NextDeadline(setup_));
  // A register already due waits for a job or its line, which only an ending child frees.
  for (const auto& waiting : waiting_) {
    if (waiting.NotBefore > now) until = std::min(until, waiting.NotBefore);
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
  return std::max(left, std::chrono::milliseconds(0));
}
