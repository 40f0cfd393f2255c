#include "tools/mervd/line_report.h"

#include <nlohmann/json.hpp>
#include <sstream>

using nlohmann::json;

namespace {

json LineJson(const TLineSnapshot& line) {
  json recent = json::array();
  for (const auto& record : line.Recent) recent.push_back(json::parse(RecordJson(record)));
  json shown = {{"name", line.Name},
                {"state", line.Running ? "running" : "idle"},
                {"queued", line.Queued},
                {"recent", recent}};
  if (line.Running) {
    shown["activity"] = line.Running->Activity;
    shown["request_id"] = line.Running->RequestId;
    shown["running_seconds"] = line.SecondsRunning;
  }
  return shown;
}

// A label value with backslash, quote and line end escaped.
std::string Label(const std::string& value) {
  std::string escaped;
  for (const char c : value) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c == '\n' ? 'n' : c;
  }
  return escaped;
}

void Series(std::ostringstream& text, const char* name, const char* type, const char* help) {
  text << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

}  // namespace

std::string LinesJson(const std::vector<TLineSnapshot>& lines) {
  json shown = json::array();
  for (const auto& line : lines) shown.push_back(LineJson(line));
  return json{{"lines", shown}}.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string MetricsText(const std::vector<TLineSnapshot>& lines) {
  std::ostringstream text;
  Series(text, "mervd_line_busy", "gauge", "1 while the line runs a command.");
  for (const auto& line : lines) {
    text << "mervd_line_busy{line=\"" << Label(line.Name) << "\"} " << (line.Running ? 1 : 0) << '\n';
  }
  Series(text, "mervd_line_queued", "gauge", "Commands waiting for the line.");
  for (const auto& line : lines) {
    text << "mervd_line_queued{line=\"" << Label(line.Name) << "\"} " << line.Queued << '\n';
  }
  Series(text, "mervd_line_running_seconds", "gauge", "How long the running command has run.");
  for (const auto& line : lines) {
    text << "mervd_line_running_seconds{line=\"" << Label(line.Name) << "\"} " << line.SecondsRunning << '\n';
  }
  Series(text, "mervd_commands_total", "counter", "Commands ended since the start, by the outcome's error number.");
  for (const auto& line : lines) {
    for (const auto& [error, count] : line.EndedByError) {
      const std::string number = error < 0 ? "none" : std::to_string(error);
      text << "mervd_commands_total{line=\"" << Label(line.Name) << "\",error=\"" << number << "\"} " << count << '\n';
    }
  }
  // The chain's series, with the line as the register: the same alert rules
  // and dashboard serve lines reached through mervd.
  TMetricSeries chain;
  for (const auto& line : lines) chain.Merge(line.Series);
  text << chain.Text();
  return text.str();
}
