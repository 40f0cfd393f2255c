#include "app/outcome_json.h"

#include <cstdio>

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
  return "{\"error\": " + std::to_string(record.Error) + ", \"text\": " + JsonString(record.Text) +
         ", \"activity\": " + JsonString(record.Activity) + ", \"rows\": " + std::to_string(record.Rows) +
         ", \"file\": " + JsonString(record.File) + ", \"started\": " + JsonString(IsoUtcTime(record.Started)) +
         ", \"milliseconds\": " + std::to_string(record.Milliseconds) + "}\n";
}
