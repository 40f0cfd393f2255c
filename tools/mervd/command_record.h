#pragma once
// TCommandRecord: one command a client asked a line to run, from its
// acceptance to its outcome. The same JSON object is the API's answer and
// the record kept on disk, so that a repeated request after a restart gets
// exactly the answer the first one got.
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class CommandState { Queued, Running, Done, Failed, Interrupted };

struct TCommandRecord {
  using Clock = std::chrono::system_clock;

  std::string RequestId;
  std::string Line;
  std::string Activity;
  /// Parameter names (without "/") and values, in the order given.
  std::vector<std::pair<std::string, std::string>> Parameters;
  CommandState State = CommandState::Queued;
  Clock::time_point Accepted;
  std::optional<Clock::time_point> Started;
  std::optional<Clock::time_point> Finished;
  /// "error.json" as the module wrote it; empty when it wrote none.
  std::string Outcome;
  /// Why the command failed or was interrupted, for a person.
  std::string Message;

  bool Ended() const { return State != CommandState::Queued && State != CommandState::Running; }
};

std::string StateName(CommandState state);

/// The record as the API shows it: its fields, the outcome's error number
/// with its meaning and advice from the error table, and links to the
/// files of the line folder the command wrote.
std::string RecordJson(const TCommandRecord& record);

/// A record read back from RecordJson's text; throws std::runtime_error
/// when the text is not such a record.
TCommandRecord RecordFromJson(const std::string& text);

/// Whether `asked` is the command `known` records: the same activity (in any
/// case) with the same parameters (in any order). A record whose command is not known (its
/// file could not be read) is taken as any command's.
bool IsSameCommand(const TCommandRecord& known, const TCommandRecord& asked);

/// The outcome's error number, or none when there is no outcome.
std::optional<int> OutcomeError(const TCommandRecord& record);
