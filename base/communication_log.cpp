#include "base/file_name.h"
#include "base/communication_log.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include "base/ciphered_log_line.h"
#include "base/local_clock.h"
#include "base/platform.h"
#include "base/run_context.h"
#include "base/safe_output_file.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

constexpr std::string_view LineEnd = "\r\n";

// One log line stays within 16 KiB of text, so that every reader of the log
// (kllog included) takes it whole: a longer message is cut to this many
// bytes, and so are the data bytes (three characters each in the line); the
// cut says how long the whole was.
constexpr std::size_t LongestLoggedMessage = 12 * 1024;
constexpr std::size_t LongestLoggedData = 1024;

// The user's locale is read at the first date of a run that wants it, not at
// the module's start: a command that logs nothing never reads it. Every date
// the module formats passes through FormatLogTimeStamp.
void UseUserLocaleWhereWanted() {
  const TRunContext* run = RunContextInUse();
  if (run == nullptr || !run->DatesInUserLocale()) return;
  static std::once_flag applied;
  std::call_once(applied, UseUserLocale);
}

std::string CutMark(std::size_t wholeLength, std::string_view unit) {
  return "... (" + std::to_string(wholeLength) + " " + std::string(unit) + ")";
}

// Keying costs 521 block encryptions; the log keys once per process and only
// resets the chaining register for each line, which gives the same output.
TTextCipher& LogCipher() {
  static TTextCipher cipher(TextCipherKey);
  return cipher;
}

// One sink's file: appends each CR LF line in one write (the file created
// when missing; a link under the log's name is never followed), or, while it
// holds its lines, keeps them and writes them together when HeldLogBytesMost
// have gathered, when the holding ends or before a line for another name.
class TLogFile {
public:
  void Append(const std::string& path, std::string_view line) {
    if (!held_.empty() && (!holding_ || path != heldPath_)) WriteHeld();
    if (held_.empty()) held_.reserve((holding_ ? HeldLogBytesMost : 0) + line.size() + LineEnd.size());
    held_.append(line).append(LineEnd);
    heldPath_ = path;
    if (!holding_ || held_.size() >= HeldLogBytesMost) WriteHeld();
  }

  void Hold() { holding_ = true; }
  void StopHolding() noexcept { holding_ = false; }

  /// Writes the lines kept; they are gone from memory whether or not the
  /// write succeeds, so that a failing file is reported once, not again with
  /// every line.
  void WriteHeld() {
    if (held_.empty()) return;
    const std::string bytes = std::exchange(held_, std::string());
    try {
      file_.Append(heldPath_, bytes);
    } catch (const std::system_error& failure) {
      throw std::system_error(failure.code(), "log file " + heldPath_);
    }
  }

  void WriteHeldUnlessHolding() {
    if (!holding_) WriteHeld();
  }

  /// Closes the file after writing what is kept.
  void Close() {
    WriteHeld();
    file_.Close();
  }

private:
  TAppendingFile file_;
  bool holding_ = false;
  std::string heldPath_;
  std::string held_;
};

std::string CurrentLogText(std::string_view message, std::string_view data) {
  return BuildLogText(FormatLogTimeStamp(LocalTimeNow()), message, data);
}

// ---- The bound of the enciphered log -----------------------------------------

// The size is kept as a running count of the bytes this process appended, so
// that a line costs no look at the file. The file itself is looked at when
// its name changes, before a renaming (another process may have renamed it
// already, leaving a smaller file), and after every this many bytes written
// (another process may have appended meanwhile): a sixteenth of the bound,
// at most 64 KiB, which is what another writer may add past the bound.
constexpr std::uintmax_t MostBytesBetweenLooks = 64 * 1024;
constexpr std::uintmax_t LooksPerBound = 16;

struct TCipheredLogSize {
  std::uintmax_t Bound = 0;
  std::string Path;
  std::uintmax_t Bytes = 0;
  std::uintmax_t SinceLooked = 0;
  // After a renaming failed: the bytes the file held then, which it may
  // hold beyond the bound before the next try.
  std::uintmax_t Allowance = 0;
  TLogFile File;
};

// A missing file is empty; one that cannot be looked at counts as empty too,
// as appending to it will say what is wrong with it. Lines kept back are
// written first, so that the file holds every byte counted.
void LookAtLogFile(TCipheredLogSize& size, const std::string& path) {
  size.File.WriteHeld();
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(PathFromName(path), error);
  if (size.Path != path) size.Allowance = 0;
  size.Path = path;
  size.Bytes = error ? 0 : bytes;
  size.SinceLooked = 0;
}

bool OverBound(const TCipheredLogSize& size, std::uintmax_t adding) {
  return size.Bytes > 0 && size.Bytes + adding > size.Bound + size.Allowance;
}

void MoveLogAside(TCipheredLogSize& size, const std::string& path) {
  size.File.Close();
  MoveFileReplacing(path, path + OlderLogSuffix);
  size.Bytes = 0;
  size.Allowance = 0;
}

void AppendCipheredLine(TCipheredLogSize& size, const std::string& path, std::string_view text) {
  size.File.Append(path, EncipherLogLine(text, LogCipher()));
}

// Before `adding` bytes go into the enciphered log: a log they would take past
// its bound is renamed first. When it cannot be, the log says so and goes on;
// the next try comes after another bound's worth of lines.
void MakeRoomInCipheredLog(TCipheredLogSize& size, const std::string& path, std::uintmax_t adding) {
  if (size.Bound == 0) return;
  const std::uintmax_t betweenLooks = std::min(MostBytesBetweenLooks, size.Bound / LooksPerBound);
  if (size.Path != path || size.SinceLooked >= betweenLooks) LookAtLogFile(size, path);
  if (!OverBound(size, adding)) return;
  if (size.SinceLooked > 0) LookAtLogFile(size, path);
  if (!OverBound(size, adding)) return;
  try {
    MoveLogAside(size, path);
  } catch (const std::system_error& failure) {
    size.Allowance = size.Bytes;
    AppendCipheredLine(size, path, CurrentLogText(FileNameOf(path) + " neprejmenovan: " + failure.what(), {}));
  }
}

void CountCipheredBytes(TCipheredLogSize& size, std::uintmax_t added) {
  size.Bytes += added;
  size.SinceLooked += added;
}

// ---- Enciphered lines made once -----------------------------------------------

// The cipher starts afresh for every line, so a line's cipher text follows
// from its text alone; within one second most lines of a transfer repeat a
// text already written (the same message, the same frame), and enciphering
// is most of a line's cost. The lines are kept in two generations: a line
// used again moves into the current one, a generation full makes the current
// one the previous and drops the one before, so that lines of a past second
// or a past frame fade out and the lines in use stay.
class TCipheredLines {
public:
  const std::string& Of(const std::string& text) {
    if (const auto found = current_.find(text); found != current_.end()) return found->second;
    std::string line;
    if (const auto earlier = previous_.find(text); earlier != previous_.end()) {
      line = std::move(earlier->second);
      previous_.erase(earlier);
    } else {
      line = EncipherLogLine(text, LogCipher());
    }
    if (current_.size() >= LinesPerGeneration) {
      previous_ = std::move(current_);
      current_.clear();
    }
    return current_.emplace(text, std::move(line)).first->second;
  }

private:
  static constexpr std::size_t LinesPerGeneration = 64;
  std::unordered_map<std::string, std::string> current_;
  std::unordered_map<std::string, std::string> previous_;
};

// The two files of a log, the size count of the enciphered one and its lines
// made once.
struct TSinks {
  const std::string& PlainPath;
  const std::string& CipheredPath;
  TCipheredLogSize& CipheredSize;
  TLogFile& PlainFile;
  TCipheredLines& CipheredLines;
};

void WriteCipheredSink(const TSinks& sinks, std::string_view message, std::string_view data) {
  const std::string& line = sinks.CipheredLines.Of(CurrentLogText(message, data));
  const std::uintmax_t bytes = line.size() + LineEnd.size();
  MakeRoomInCipheredLog(sinks.CipheredSize, sinks.CipheredPath, bytes);
  sinks.CipheredSize.File.Append(sinks.CipheredPath, line);
  CountCipheredBytes(sinks.CipheredSize, bytes);
}

void WriteToSinks(const TSinks& sinks, std::string_view message, std::string_view data) {
  if (!sinks.PlainPath.empty()) sinks.PlainFile.Append(sinks.PlainPath, CurrentLogText(message, data));
  if (!sinks.CipheredPath.empty()) WriteCipheredSink(sinks, message, data);
}

// ---- Lines that repeat ------------------------------------------------------

struct TLogRecord {
  std::string Message;
  std::string Data;
  bool Is(std::string_view message, std::string_view data) const { return Message == message && Data == data; }
  bool operator==(const TLogRecord&) const = default;
};

// The calls seen since the last line that was not a repetition, and the
// repetition under way. A record repeats when it and the records before it
// make two whole rounds of a cycle; from then on every record that goes on
// with the cycle is left out and counted. The state belongs to the sinks it
// was seen with: other sinks begin with nothing seen.
class TRepetitionWatch {
public:
  /// True when the call only repeats and is left out.
  bool LeftOut(const TSinks& sinks, std::string_view message, std::string_view data) {
    KeepToTheSinks(sinks);
    if (cycle_ > 0) {
      if (recent_[recent_.size() - cycle_].Is(message, data)) {
        ++leftOut_;
        Remember(message, data);
        return true;
      }
      EndRun();
    }
    if (message.size() > LongestLoggedMessage || data.size() > LongestLoggedData) {
      recent_.clear();
      return false;
    }
    const std::size_t cycle = CycleClosedBy(message, data);
    Remember(message, data);
    if (cycle == 0) return false;
    cycle_ = cycle;
    leftOut_ = 1;
    return true;
  }

  /// The note of a repetition that has ended (empty when none), given once.
  std::string TakeEndedNote() { return std::exchange(endedNote_, std::string()); }

  /// Ends a repetition under way and forgets what was seen.
  void EndAll(const TSinks& sinks) {
    KeepToTheSinks(sinks);
    EndRun();
    recent_.clear();
  }

  /// Forgets everything, as after a line that could not be written.
  void Forget() {
    EndRun();
    recent_.clear();
    endedNote_.clear();
  }

private:
  void KeepToTheSinks(const TSinks& sinks) {
    if (plainPath_ == sinks.PlainPath && cipheredPath_ == sinks.CipheredPath) return;
    Forget();
    plainPath_ = sinks.PlainPath;
    cipheredPath_ = sinks.CipheredPath;
  }

  void EndRun() {
    if (cycle_ > 0) endedNote_ = RepetitionNote(cycle_, leftOut_);
    cycle_ = 0;
    leftOut_ = 0;
  }

  // The shortest cycle that the record completes to two whole rounds; 0 for none.
  std::size_t CycleClosedBy(std::string_view message, std::string_view data) const {
    const std::size_t seen = recent_.size();
    for (std::size_t cycle = 1; cycle <= LongestRepeatedLogCycle && 2 * cycle - 1 <= seen; ++cycle) {
      if (!recent_[seen - cycle].Is(message, data)) continue;
      bool rounds = true;
      for (std::size_t back = 1; back < cycle && rounds; ++back) {
        rounds = recent_[seen - back] == recent_[seen - back - cycle];
      }
      if (rounds) return cycle;
    }
    return 0;
  }

  void Remember(std::string_view message, std::string_view data) {
    recent_.push_back({std::string(message), std::string(data)});
    if (recent_.size() > 2 * LongestRepeatedLogCycle) recent_.pop_front();
  }

  std::deque<TLogRecord> recent_;
  std::size_t cycle_ = 0;
  std::uintmax_t leftOut_ = 0;
  std::string endedNote_;
  std::string plainPath_;
  std::string cipheredPath_;
};

void WriteEndedRepetition(TRepetitionWatch& repetition, const TSinks& sinks) {
  const std::string note = repetition.TakeEndedNote();
  if (!note.empty()) WriteToSinks(sinks, note, {});
}

}  // namespace

struct TCommunicationLog::TState {
  TCipheredLogSize CipheredSize;
  TLogFile PlainFile;
  TCipheredLines CipheredLines;
  TRepetitionWatch Repetition;

  // Lines kept by a burst that ended in a failure are written before
  // anything that follows it, whatever the file names are by then.
  void WriteHeldUnlessHolding() {
    PlainFile.WriteHeldUnlessHolding();
    CipheredSize.File.WriteHeldUnlessHolding();
  }
};

TCommunicationLog::TCommunicationLog() : state_(std::make_unique<TState>()) {}

TCommunicationLog::~TCommunicationLog() = default;

void TCommunicationLog::Line(std::string_view message, std::string_view data) {
  state_->WriteHeldUnlessHolding();
  if (!Active()) return;
  const TSinks sinks{PlainPath, CipheredPath, state_->CipheredSize, state_->PlainFile, state_->CipheredLines};
  TRepetitionWatch& repetition = state_->Repetition;
  if (repetition.LeftOut(sinks, message, data)) return;
  try {
    WriteEndedRepetition(repetition, sinks);
    WriteToSinks(sinks, message, data);
  } catch (...) {
    // A line that did not reach the log must not make its repetition look
    // like one.
    repetition.Forget();
    throw;
  }
}

bool TCommunicationLog::Active() const { return !PlainPath.empty() || !CipheredPath.empty(); }

void TCommunicationLog::HoldLines() {
  state_->PlainFile.Hold();
  state_->CipheredSize.File.Hold();
}

void TCommunicationLog::WriteHeldLines() {
  StopHoldingLines();
  state_->WriteHeldUnlessHolding();
}

void TCommunicationLog::StopHoldingLines() noexcept {
  state_->PlainFile.StopHolding();
  state_->CipheredSize.File.StopHolding();
}

void TCommunicationLog::EndRepetition() {
  state_->WriteHeldUnlessHolding();
  if (!Active()) return;
  const TSinks sinks{PlainPath, CipheredPath, state_->CipheredSize, state_->PlainFile, state_->CipheredLines};
  state_->Repetition.EndAll(sinks);
  WriteEndedRepetition(state_->Repetition, sinks);
}

void TCommunicationLog::SetCipheredBound(std::uintmax_t bytes) { state_->CipheredSize.Bound = bytes; }

std::uintmax_t TCommunicationLog::CipheredBound() const { return state_->CipheredSize.Bound; }

bool TCommunicationLog::MoveCipheredLogAsideWhenOverBound() {
  TCipheredLogSize& size = state_->CipheredSize;
  if (CipheredPath.empty() || size.Bound == 0) return false;
  LookAtLogFile(size, CipheredPath);
  if (size.Bytes <= size.Bound) return false;
  try {
    MoveLogAside(size, CipheredPath);
  } catch (const std::system_error&) {
    // The caller says so in the log; the lines that follow do not try again.
    size.Allowance = size.Bytes;
    throw;
  }
  return true;
}

void InLogBurst(const std::function<void()>& burst) {
  TRunContext* run = RunContextInUse();
  if (run == nullptr) return burst();
  TLog& log = run->Log();
  log.HoldLines();
  try {
    burst();
  } catch (...) {
    log.StopHoldingLines();
    throw;
  }
  log.WriteHeldLines();
}

void LogLine(std::string_view message, std::string_view data, int delayMs) {
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  if (TRunContext* run = RunContextInUse()) run->Log().Line(message, data);
}

bool LogActive() {
  const TRunContext* run = RunContextInUse();
  return run != nullptr && run->Log().Active();
}

void EndLogRepetition() {
  if (TRunContext* run = RunContextInUse()) run->Log().EndRepetition();
}

constexpr std::string_view OneLineRepeated = " Predchozi radek se opakoval jeste ";
constexpr std::string_view OneLineRepeatedEnd = "x";
constexpr std::string_view CycleRepeated = " Predchozich ";
constexpr std::string_view CycleRepeatedMiddle = " radku se opakovalo, jeste ";
constexpr std::string_view CycleRepeatedEnd = " radku vynechano";

std::string RepetitionNote(std::size_t cycleLength, std::uintmax_t leftOut) {
  if (cycleLength == 1) {
    return std::string(OneLineRepeated.substr(1)) + std::to_string(leftOut) + std::string(OneLineRepeatedEnd);
  }
  return std::string(CycleRepeated.substr(1)) + std::to_string(cycleLength) + std::string(CycleRepeatedMiddle) +
         std::to_string(leftOut) + std::string(CycleRepeatedEnd);
}

namespace {

// The number that `text` begins with, moving past it; none without digits.
std::optional<std::uintmax_t> TakeNumber(std::string_view& text) {
  std::uintmax_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

bool TakeText(std::string_view& text, std::string_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

}  // namespace

std::optional<TLogRepetition> RepetitionOfLogLine(std::string_view line) {
  if (const auto at = line.rfind(OneLineRepeated); at != std::string_view::npos) {
    std::string_view rest = line.substr(at + OneLineRepeated.size());
    const auto leftOut = TakeNumber(rest);
    if (leftOut && rest == OneLineRepeatedEnd) return TLogRepetition{1, *leftOut};
  }
  if (const auto at = line.rfind(CycleRepeated); at != std::string_view::npos) {
    std::string_view rest = line.substr(at + CycleRepeated.size());
    const auto cycle = TakeNumber(rest);
    if (!cycle || *cycle < 2 || *cycle > LongestRepeatedLogCycle || !TakeText(rest, CycleRepeatedMiddle))
      return std::nullopt;
    const auto leftOut = TakeNumber(rest);
    if (leftOut && rest == CycleRepeatedEnd) return TLogRepetition{static_cast<std::size_t>(*cycle), *leftOut};
  }
  return std::nullopt;
}

std::string FormatLogTimeStamp(const std::tm& localTime) {
  UseUserLocaleWhereWanted();
  // The format holds a blank, so a result of 0 can only mean "too small".
  for (std::size_t size = 64; size <= 4096; size *= 4) {
    std::string stamp(size, '\0');
    const std::size_t length = std::strftime(stamp.data(), stamp.size(), "%x %X", &localTime);
    if (length > 0) {
      stamp.resize(length);
      return stamp;
    }
  }
  throw std::runtime_error("the date and time of the log do not fit 4096 characters");
}

std::string BuildLogText(std::string_view timeStamp, std::string_view message, std::string_view data) {
  std::string text;
  text.reserve(timeStamp.size() + 1 + std::min(message.size(), LongestLoggedMessage) +
               std::min(data.size(), LongestLoggedData) * 3 + 64);
  text.append(timeStamp.substr(0, 256)).append(" ");
  if (message.size() > LongestLoggedMessage) {
    text.append(message.substr(0, LongestLoggedMessage)).append(CutMark(message.size(), "znaku"));
  } else {
    text.append(message);
  }
  if (data.size() > LongestLoggedData) {
    text.append(HexDump(data.substr(0, LongestLoggedData))).append(CutMark(data.size(), "bytu"));
  } else {
    text.append(HexDump(data));
  }
  return text;
}
