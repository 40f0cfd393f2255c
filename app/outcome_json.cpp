#include "app/outcome_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

// A value as JSON text; bytes of a text that are not UTF-8 become U+FFFD,
// one for each byte that starts no valid sequence.
std::string JsonText(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// One line with a space after every ":" and ",", the layout callers of
// error.json have always read.
std::string OneLine(const Json& object) {
  std::string text = "{";
  for (const auto& [name, value] : object.items()) {
    if (text.size() > 1) text += ", ";
    text += JsonText(name) + ": " + JsonText(value);
  }
  return text + "}";
}

}  // namespace

std::string IsoUtcTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{floor<milliseconds>(time - day)};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::string OutcomeJson(const TOutcomeRecord& record) {
  const Json outcome = {{"error", record.Error},
                        {"text", record.Text},
                        {"activity", record.Activity},
                        {"rows", record.Rows},
                        {"file", record.File},
                        {"started", IsoUtcTime(record.Started)},
                        {"milliseconds", record.Milliseconds}};
  return OneLine(outcome) + "\n";
}
