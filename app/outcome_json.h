#pragma once
// "error.json": the outcome of a command for a machine, written beside
// "error.dat" (and before it) when the command gives /JSON. "error.dat" is
// unchanged by it.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct TOutcomeRecord {
  int Error = 0;
  /// The failure's text (UTF-8), without its "#nn:"; empty for success.
  std::string Text;
  std::string Activity;
  std::int64_t Rows = 0;
  std::string File;
  std::chrono::system_clock::time_point Started;
  std::int64_t Milliseconds = 0;
};

/// {"error": N, "text": "...", "activity": "R03", "rows": 30000, "file": "...",
///  "started": "2026-12-09T18:30:00.123Z", "milliseconds": 33012} and a line end,
/// written by nlohmann-json: valid JSON whatever bytes a text or path holds
/// (bytes that are no UTF-8 become U+FFFD; control characters are escaped,
/// those with a short form as \r, \n, \t, \b, \f).
std::string OutcomeJson(const TOutcomeRecord& record);

/// The time in UTC as ISO 8601 with milliseconds: "2026-12-09T18:30:00.123Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point time);
