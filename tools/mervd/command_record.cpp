#include "tools/mervd/command_record.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "app/outcome_json.h"
#include "base/error_table.h"
#include "tools/mervd/daemon_config.h"

using nlohmann::json;

namespace {

constexpr std::pair<CommandState, const char*> StateNames[] = {
    {CommandState::Queued, "queued"}, {CommandState::Running, "running"},         {CommandState::Done, "done"},
    {CommandState::Failed, "failed"}, {CommandState::Interrupted, "interrupted"},
};

CommandState StateFromName(const std::string& name) {
  for (const auto& [state, text] : StateNames) {
    if (name == text) return state;
  }
  throw std::runtime_error("unknown command state " + name);
}

json TimeOrNull(const std::optional<TCommandRecord::Clock::time_point>& time) {
  return time ? json(IsoUtcTime(*time)) : json(nullptr);
}

// Parses "2026-12-09T18:30:00.123Z" as IsoUtcTime writes it.
TCommandRecord::Clock::time_point ParseIsoUtc(const std::string& text) {
  int year = 0;
  unsigned month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  if (std::sscanf(text.c_str(), "%d-%u-%uT%d:%d:%d.%dZ", &year, &month, &day, &hour, &minute, &second, &millisecond) !=
      7) {
    throw std::runtime_error("not a time: " + text);
  }
  using namespace std::chrono;
  const sys_days date{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
  return time_point_cast<system_clock::duration>(date + hours(hour) + minutes(minute) + seconds(second) +
                                                 milliseconds(millisecond));
}

std::optional<TCommandRecord::Clock::time_point> OptionalTime(const json& value) {
  if (value.is_null()) return std::nullopt;
  return ParseIsoUtc(value.get<std::string>());
}

// The file the outcome names, when it lies in the line folder itself: the
// module writes bare names there.
std::optional<std::string> WrittenFileName(const json& outcome) {
  const std::string file = outcome.value("file", "");
  if (file.empty()) return std::nullopt;
  const auto cut = file.find_last_of("/\\");
  std::string name = cut == std::string::npos ? file : file.substr(cut + 1);
  if (!IsPlainName(name)) return std::nullopt;
  return name;
}

json FileLink(const std::string& line, const std::string& name) {
  return {{"name", name}, {"href", "/v1/lines/" + line + "/files/" + name}};
}

void AddOutcome(const TCommandRecord& record, json& answer) {
  const json outcome = json::parse(record.Outcome);
  answer["outcome"] = outcome;
  const int error = outcome.value("error", -1);
  answer["error"] = error;
  if (const auto explanation = ExplainError(error)) {
    answer["meaning"] = explanation->Meaning;
    answer["advice"] = explanation->Advice;
  }
  json files = json::array({FileLink(record.Line, "error.dat"), FileLink(record.Line, "error.json")});
  if (const auto written = WrittenFileName(outcome)) files.push_back(FileLink(record.Line, *written));
  answer["files"] = files;
}

}  // namespace

std::string StateName(CommandState state) {
  for (const auto& [known, text] : StateNames) {
    if (known == state) return text;
  }
  return "unknown";
}

std::string RecordJson(const TCommandRecord& record) {
  json parameters = json::object();
  for (const auto& [name, value] : record.Parameters) parameters[name] = value;
  json answer = {
      {"request_id", record.RequestId},
      {"line", record.Line},
      {"activity", record.Activity},
      {"parameters", parameters},
      {"state", StateName(record.State)},
      {"accepted", IsoUtcTime(record.Accepted)},
      {"started", TimeOrNull(record.Started)},
      {"finished", TimeOrNull(record.Finished)},
      {"href", "/v1/lines/" + record.Line + "/commands/" + record.RequestId},
  };
  if (!record.Message.empty()) answer["message"] = record.Message;
  if (!record.Outcome.empty()) AddOutcome(record, answer);
  // Bytes of a path that are no UTF-8 become U+FFFD rather than failing the answer.
  return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

TCommandRecord RecordFromJson(const std::string& text) {
  try {
    const json answer = json::parse(text);
    TCommandRecord record;
    record.RequestId = answer.at("request_id").get<std::string>();
    record.Line = answer.at("line").get<std::string>();
    record.Activity = answer.at("activity").get<std::string>();
    for (const auto& [name, value] : answer.at("parameters").items()) {
      record.Parameters.emplace_back(name, value.get<std::string>());
    }
    record.State = StateFromName(answer.at("state").get<std::string>());
    record.Accepted = ParseIsoUtc(answer.at("accepted").get<std::string>());
    record.Started = OptionalTime(answer.at("started"));
    record.Finished = OptionalTime(answer.at("finished"));
    record.Message = answer.value("message", "");
    if (answer.contains("outcome")) record.Outcome = answer.at("outcome").dump();
    return record;
  } catch (const json::exception& failure) {
    throw std::runtime_error(std::string("not a command record: ") + failure.what());
  }
}

bool IsSameCommand(const TCommandRecord& known, const TCommandRecord& asked) {
  if (known.Activity.empty()) return true;
  const auto sameLetter = [](unsigned char a, unsigned char b) { return std::toupper(a) == std::toupper(b); };
  // A record read back lists its parameters by name, not in the order the request gave them.
  auto knownParameters = known.Parameters;
  auto askedParameters = asked.Parameters;
  std::sort(knownParameters.begin(), knownParameters.end());
  std::sort(askedParameters.begin(), askedParameters.end());
  return std::equal(known.Activity.begin(), known.Activity.end(), asked.Activity.begin(), asked.Activity.end(),
                    sameLetter) &&
         knownParameters == askedParameters;
}

std::optional<int> OutcomeError(const TCommandRecord& record) {
  if (record.Outcome.empty()) return std::nullopt;
  try {
    return json::parse(record.Outcome).value("error", -1);
  } catch (const json::exception&) {
    return std::nullopt;
  }
}
