#include "tools/mervfleet/register_run.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "app/command_turn.h"
#include "base/file_name.h"
#include "base/error_numbers.h"
#include "base/error_table.h"
#include "base/input_file.h"
#include "base/platform.h"
#include "base/process_values.h"
#include "base/safe_output_file.h"
#include "tools/mervfleet/small_file.h"

namespace fs = std::filesystem;

namespace {

/// An attempt asked to stop that is still running this long after is killed.
constexpr auto KillGrace = std::chrono::seconds(30);
/// A file's time stamp comes from a coarser clock than the attempt's start:
/// a file written at once may look this much older.
constexpr auto FileClockSlack = std::chrono::milliseconds(50);

/// The turn lock of callers sharing a line folder; the Ansible collection
/// (merv_outcome.py) takes the same name.
constexpr const char* TurnLockFileName = "merv-outcome.lock";

/// Parameters whose value names a file the module may write.
constexpr std::array<std::string_view, 2> FileParameters = {"/FILE=", "/ZURNAL="};

std::string ModuleFileName() {
#ifdef _WIN32
  return "mervmodul.exe";
#else
  return "mervmodul";
#endif
}

// Where the module puts a path value of a command: a value without a
// backslash lies in the program folder, one with a backslash is relative to
// the working folder; both are the line folder here.
fs::path TargetOf(std::string value, const fs::path& folder) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  const fs::path path = PathFromName(NativePathFromCommand(value));
  return path.is_absolute() ? path : folder / path;
}

bool IsWithin(const fs::path& file, const fs::path& folder) {
  const fs::path relative = file.lexically_normal().lexically_relative(folder.lexically_normal());
  return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

std::string ErrorMeaning(int number) {
  if (number == 0) return "ok";
  const TErrorEntry* entry = FindErrorEntry(number);
  return entry != nullptr ? std::string(entry->Meaning) : "a number the module does not write";
}

TRegisterRun::TRegisterRun(TRegisterEntry entry) : entry_(std::move(entry)) {}

bool TRegisterRun::TakeTurn(const fs::path& folder, const TRunSetup& setup) {
  if (!turn_) turn_ = std::make_unique<TExclusiveLockFile>(NameFromPath(folder / TurnLockFileName));
  if (turn_->TryLock()) {
    turnAwaitedSince_.reset();
    return true;
  }
  const auto now = TFleetClock::now();
  if (!turnAwaitedSince_) turnAwaitedSince_ = now;
  // Another caller holds the folder for one command, bounded as an attempt is.
  if (now - *turnAwaitedSince_ > std::chrono::seconds(setup.Options->LimitSeconds) + KillGrace) {
    turn_.reset();
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                            NameFromPath(folder / TurnLockFileName) + ": held by another caller for longer than " +
                                std::to_string(setup.Options->LimitSeconds) + " s");
  }
  return false;
}

bool TRegisterRun::StartAttempt(const TRunSetup& setup) {
  const fs::path folder = fs::absolute(PathFromName(entry_.Folder));
  fs::create_directories(folder);
  if (!TakeTurn(folder, setup)) return false;
  if (!RemoveFileIfPresent(NameFromPath(folder / OutcomeFileName))) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied),
                            "cannot remove the earlier " + NameFromPath(folder / OutcomeFileName));
  }
  TChildStart start;
  start.Program = setup.Module;
  if (setup.Options->CopyModule) {
    start.Program = NameFromPath(folder / ModuleFileName());
    // Only a regular file of the module's size counts as the copy: a link
    // planted under the name is replaced by a copy of the module, which is
    // made runnable before it appears under its name.
    const TFileEntry present = LookAtEntry(start.Program);
    if (present.kind != TFileEntry::Kind::Regular || present.size != setup.ModuleBytes.size()) {
      TSafeOutputFile copy(start.Program, LinkRule::Replace);
      copy.Write(setup.ModuleBytes);
      copy.MakeExecutable();
      copy.Commit();
    }
  }
  std::vector<std::string> lineParameters = entry_.Line.ModuleParameters();
  lineParameters.push_back("/ECR=" + entry_.Model);
  arguments_ = ModuleArguments(*setup.Options, entry_.Name, lineParameters);
  start.Arguments = arguments_;
  call_.reset();
  if (entry_.Line.LineKind() == TRegisterLine::Kind::Modem) {
    call_ = std::make_unique<TModemCall>(folder, entry_.Line, arguments_);
    start.Arguments = call_->ModuleArguments();
  }
  start.WorkingFolder = NameFromPath(folder);
  start.Environment = {{ProgramDirVariable, NameFromPath(folder / "")}};
  const auto startedAt = TFleetClock::now();
  // Files count from the first attempt on: a later attempt that fails before
  // any row leaves the file of an earlier one as it was, and it is still the
  // register's file.
  if (attempts_ == 0) runFileTime_ = fs::file_time_type::clock::now() - FileClockSlack;
  child_ = std::make_unique<TChildProcess>(start);
  if (call_) call_->Begin();
  // Counted only once the module runs: a start that failed is no attempt.
  attemptStart_ = startedAt;
  if (!firstStart_) firstStart_ = attemptStart_;
  ++attempts_;
  stopAskedAt_.reset();
  return true;
}

bool TRegisterRun::CheckAttempt(const TRunSetup& setup) {
  if (!child_) return false;
  if (const auto end = child_->Poll()) {
    lastEnd_ = TFleetClock::now();
    child_.reset();
    ReadOutcome(*end);
    turn_.reset();
    return true;
  }
  if (call_ && !stopAskedAt_) call_->Advance();
  const auto now = TFleetClock::now();
  if (!stopAskedAt_ && now >= attemptStart_ + std::chrono::seconds(setup.Options->LimitSeconds)) {
    PassStopOn();
  } else if (stopAskedAt_ && now >= *stopAskedAt_ + KillGrace) {
    child_->Kill();
  }
  return false;
}

void TRegisterRun::PassStopOn() {
  if (!child_ || stopAskedAt_) return;
  child_->RequestStop();
  stopAskedAt_ = TFleetClock::now();
}

TFleetClock::time_point TRegisterRun::NextDeadline(const TRunSetup& setup) const {
  if (stopAskedAt_) return *stopAskedAt_ + KillGrace;
  return attemptStart_ + std::chrono::seconds(setup.Options->LimitSeconds);
}

bool TRegisterRun::EndedWithLineFailure() const { return errorNumber_ && IsLineFailure(*errorNumber_); }

void TRegisterRun::NoteStartFailure(const std::string& why) {
  child_.reset();
  turn_.reset();
  errorNumber_.reset();
  failure_ = (attempts_ == 0 ? "not started: " : "next attempt not started: ") + why;
  files_.clear();
  lastEnd_ = TFleetClock::now();
}

TRegisterOutcome TRegisterRun::Outcome(const std::string& notStartedWhy) const {
  TRegisterOutcome outcome;
  outcome.Name = entry_.Name;
  outcome.Line = entry_.Line.Text();
  outcome.ErrorNumber = errorNumber_;
  outcome.Meaning = errorNumber_ ? ErrorMeaning(*errorNumber_) : failure_;
  if (attempts_ == 0 && !notStartedWhy.empty()) outcome.Meaning = "not started: " + notStartedWhy;
  outcome.Attempts = attempts_;
  if (firstStart_) outcome.Seconds = std::chrono::duration<double>(lastEnd_ - *firstStart_).count();
  outcome.Files = files_;
  return outcome;
}

void TRegisterRun::ReadOutcome(const TChildEnd& end) {
  const fs::path folder = fs::absolute(PathFromName(entry_.Folder));
  if (call_) call_->Conclude();
  errorNumber_ = call_ ? call_->Outcome() : ReadOutcomeNumber(NameFromPath(folder / OutcomeFileName));
  failure_.clear();
  if (!errorNumber_) {
    failure_ = "no outcome: the module ended with " + end.Describe();
    if (stopAskedAt_) failure_ += " after it was asked to stop";
  }
  files_ = FilesWritten();
}

// The files of the line folder changed since the first attempt started (but the
// module's own), and the files named by /FILE= and /ZURNAL= outside it.
std::vector<std::string> TRegisterRun::FilesWritten() const {
  const fs::path folder = fs::absolute(PathFromName(entry_.Folder));
  const auto changed = [this](const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error) && fs::last_write_time(file, error) >= runFileTime_ && !error;
  };
  std::vector<std::string> files;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = NameFromPath(entry->path().filename());
    // The resident mode's lock beside a command file ends in ".mervlock".
    if (name == OutcomeFileName || name == CipheredLogFileName || name == CommandLockFileName ||
        name == TurnLockFileName || name == ModuleFileName() || name.front() == '.' || name.ends_with(".mervlock")) {
      continue;
    }
    if (changed(entry->path())) files.push_back(name);
  }
  std::sort(files.begin(), files.end());
  for (const auto& parameter : arguments_) {
    for (const auto key : FileParameters) {
      if (parameter.rfind(key, 0) != 0) continue;
      const fs::path target = TargetOf(parameter.substr(key.size()), folder);
      if (!IsWithin(target, folder) && changed(target)) files.push_back(NameFromPath(target.lexically_normal()));
    }
  }
  return files;
}
