#pragma once
// TMetricSeries: the series of the metrics file that `mervfleet --metrics`
// and the modules of the Ansible collection merv.ecr write for Prometheus
// (node_exporter's textfile collector), per register and activity:
//   merv_last_outcome                    error number of the last run (-1: none)
//   merv_last_run_timestamp_seconds      when it ended, Unix time
//   merv_last_success_timestamp_seconds  when the last run with 0 ended (0: none yet)
//   merv_last_duration_seconds           how long the last run took
//   merv_consecutive_failures            runs in a row, up to the last, not ending with 0
//   merv_runs_total{class=...}           runs by outcome class: ok, line (the
//                                        numbers tried again), differs (60),
//                                        failed, no_outcome
// Labels are register="NAME",activity="WORD" only: the register names of the
// chain's list and the activity words, a bounded set. The file keeps what a
// run needs of the earlier ones, so each run reads it, records its runs and
// writes it whole; lines of other families are left out.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

class TMetricSeries {
public:
  struct TSeries {
    double LastOutcome = -1;
    double LastRun = 0;
    double LastSuccess = 0;
    double Duration = 0;
    double ConsecutiveFailures = 0;
    std::array<double, 5> Runs{};
  };
  using TKey = std::pair<std::string, std::string>;

  /// The series of a file's text as written by Text().
  static TMetricSeries Parse(std::string_view text);

  /// One run of `activity` on the register, ended at `ended` (Unix time)
  /// after `seconds`; `error` none when the run left no outcome.
  void Record(const std::string& registerName, std::string_view activity, std::optional<int> error, double ended,
              double seconds);

  /// The file: every family with its help and type, the series in the order
  /// of register and activity.
  std::string Text() const;

  const std::map<TKey, TSeries>& Series() const { return series_; }

  /// Takes in the series of another set (of another line of the same host);
  /// a series of both keeps the other's.
  void Merge(const TMetricSeries& other);

private:
  std::map<TKey, TSeries> series_;
};

/// The class of an outcome as merv_runs_total counts it.
std::string_view OutcomeClass(std::optional<int> error);

/// The activity word as a label: upper case, a chip-card range
/// ("PCSR.16.32") cut at its first dot.
std::string ActivityLabel(std::string_view activity);
