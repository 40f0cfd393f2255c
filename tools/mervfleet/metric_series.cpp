#include "tools/mervfleet/metric_series.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "base/error_numbers.h"
#include "base/split_text.h"
#include "tools/mervfleet/line_failures.h"

namespace {

constexpr std::array<std::string_view, 5> Classes = {"ok", "line", "differs", "failed", "no_outcome"};

struct TFamily {
  std::string_view Name;
  std::string_view Type;
  std::string_view Help;
};

constexpr std::array<TFamily, 6> Families = {{
    {"merv_last_outcome", "gauge", "Error number of the last run (0 success, -1 no outcome)."},
    {"merv_last_run_timestamp_seconds", "gauge", "When the last run ended, Unix time."},
    {"merv_last_success_timestamp_seconds", "gauge",
     "When the last run that ended with 0 ended, Unix time; 0 before the first."},
    {"merv_last_duration_seconds", "gauge", "How long the last run took."},
    {"merv_consecutive_failures", "gauge", "Runs in a row, up to the last one, that did not end with 0."},
    {"merv_runs_total", "counter", "Runs by outcome class (ok, line, differs, failed, no_outcome)."},
}};

double* FieldOf(TMetricSeries::TSeries& series, std::string_view family) {
  if (family == Families[0].Name) return &series.LastOutcome;
  if (family == Families[1].Name) return &series.LastRun;
  if (family == Families[2].Name) return &series.LastSuccess;
  if (family == Families[3].Name) return &series.Duration;
  if (family == Families[4].Name) return &series.ConsecutiveFailures;
  return nullptr;
}

double FieldValue(const TMetricSeries::TSeries& series, std::size_t family) {
  const std::array<double, 5> values = {series.LastOutcome, series.LastRun, series.LastSuccess, series.Duration,
                                        series.ConsecutiveFailures};
  return values[family];
}

bool IsLabelCharacter(char c, bool registerName) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (registerName) return std::isalnum(u) || c == '.' || c == '_' || c == '-';
  return std::isupper(u) || std::isdigit(u);
}

bool IsLabelValue(std::string_view value, bool registerName) {
  return !value.empty() && value.size() <= 64 &&
         std::all_of(value.begin(), value.end(), [registerName](char c) { return IsLabelCharacter(c, registerName); });
}

// The value of `name="..."` at the start of `text`, which is moved past it
// and a following ","; none when the text does not begin so.
std::optional<std::string_view> TakeLabel(std::string_view& text, std::string_view name) {
  const std::string opening = std::string(name) + "=\"";
  if (text.substr(0, opening.size()) != opening) return std::nullopt;
  const auto close = text.find('"', opening.size());
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view value = text.substr(opening.size(), close - opening.size());
  text.remove_prefix(close + 1);
  if (!text.empty() && text.front() == ',') text.remove_prefix(1);
  return value;
}

std::optional<double> ParsedNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string NumberText(double value) {
  char text[40];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else {
    std::snprintf(text, sizeof text, "%.3f", value);
  }
  return text;
}

}  // namespace

std::string_view OutcomeClass(std::optional<int> error) {
  if (!error) return Classes[4];
  if (*error == 0) return Classes[0];
  if (IsLineFailure(*error)) return Classes[1];
  if (*error == NumberOf(ErrorNumber::RegisterDiffers)) return Classes[2];
  return Classes[3];
}

std::string ActivityLabel(std::string_view activity) {
  std::string label(activity.substr(0, activity.find('.')));
  std::transform(label.begin(), label.end(), label.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  if (!IsLabelValue(label, false) || label.size() > 16) {
    throw std::invalid_argument("the activity \"" + std::string(activity) + "\" cannot be a metrics label");
  }
  return label;
}

TMetricSeries TMetricSeries::Parse(std::string_view text) {
  TMetricSeries parsed;
  for (std::string_view line : SplitText(text, '\n')) {
    const auto brace = line.find('{');
    const auto closing = line.find("} ");
    if (line.empty() || line.front() == '#' || brace == std::string_view::npos || closing == std::string_view::npos ||
        closing < brace) {
      continue;
    }
    const std::string_view family = line.substr(0, brace);
    std::string_view labels = line.substr(brace + 1, closing - brace - 1);
    const auto registerName = TakeLabel(labels, "register");
    const auto activity = TakeLabel(labels, "activity");
    const auto kind = TakeLabel(labels, "class");
    const auto value = ParsedNumber(line.substr(closing + 2));
    if (!registerName || !activity || !labels.empty() || !value || !IsLabelValue(*registerName, true) ||
        !IsLabelValue(*activity, false)) {
      continue;
    }
    const TKey key{std::string(*registerName), std::string(*activity)};
    if (family == "merv_runs_total" && kind) {
      const auto at = std::find(Classes.begin(), Classes.end(), *kind);
      if (at != Classes.end()) parsed.series_[key].Runs[static_cast<std::size_t>(at - Classes.begin())] = *value;
    } else if (TSeries probe; FieldOf(probe, family) != nullptr && !kind) {
      *FieldOf(parsed.series_[key], family) = *value;
    }
  }
  return parsed;
}

void TMetricSeries::Record(const std::string& registerName, std::string_view activity, std::optional<int> error,
                           double ended, double seconds) {
  if (!IsLabelValue(registerName, true)) {
    throw std::invalid_argument("the register name \"" + registerName + "\" cannot be a metrics label");
  }
  TSeries& series = series_[{registerName, ActivityLabel(activity)}];
  const std::string_view kind = OutcomeClass(error);
  series.Runs[static_cast<std::size_t>(std::find(Classes.begin(), Classes.end(), kind) - Classes.begin())] += 1;
  series.LastOutcome = error ? *error : -1;
  series.LastRun = ended;
  series.Duration = seconds;
  if (kind == Classes[0]) {
    series.LastSuccess = ended;
    series.ConsecutiveFailures = 0;
  } else {
    series.ConsecutiveFailures += 1;
  }
}

std::string TMetricSeries::Text() const {
  std::string text;
  for (std::size_t family = 0; family < Families.size(); ++family) {
    const TFamily& f = Families[family];
    text.append("# HELP ").append(f.Name).append(" ").append(f.Help).append("\n");
    text.append("# TYPE ").append(f.Name).append(" ").append(f.Type).append("\n");
    for (const auto& [key, series] : series_) {
      const std::string labels = "register=\"" + key.first + "\",activity=\"" + key.second + "\"";
      if (family + 1 < Families.size()) {
        text.append(f.Name).append("{").append(labels).append("} ").append(NumberText(FieldValue(series, family)));
        text += '\n';
        continue;
      }
      for (std::size_t kind = 0; kind < Classes.size(); ++kind) {
        text.append(f.Name).append("{").append(labels).append(",class=\"").append(Classes[kind]).append("\"} ");
        text.append(NumberText(series.Runs[kind])).append("\n");
      }
    }
  }
  return text;
}

void TMetricSeries::Merge(const TMetricSeries& other) {
  for (const auto& [key, series] : other.series_) series_[key] = series;
}
