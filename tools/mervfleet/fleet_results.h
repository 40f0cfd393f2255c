#pragma once
// TFleetResults: the table of outcomes of a mervfleet run, one row per
// register in the order the registers ended, written as it goes to
// DIR/results.csv and DIR/results.json. Both files appear under their names
// only when Commit is called (TSafeOutputFile); until then the rows wait in
// temporary files beside them, so memory does not grow with the registers.
//
// results.csv (UTF-8, LF line ends):
//   name,line,error,meaning,attempts,seconds,files
// "error" is the number of "error.dat" (empty when the register has none),
// "seconds" runs from the first attempt's start to the last one's end, and
// "files" lists the files written, separated by ";".
// results.json: an array of objects with the same names ("error" null when
// empty, "files" an array).
#include <string>

#include "base/safe_output_file.h"
#include "tools/mervfleet/fleet_metrics.h"
#include "tools/mervfleet/register_run.h"

class TFleetResults {
public:
  /// Opens both files in `folder`. Throws std::system_error when it cannot.
  /// With `metrics` (--metrics), each row is noted there too, and Commit
  /// adds them to its file after the results are in place.
  explicit TFleetResults(const std::string& folder, TFleetMetrics* metrics = nullptr);

  void Add(const TRegisterOutcome& outcome);
  /// The row of a register a stop kept from starting: in both files, not in
  /// the metrics, since it did not run and so did not fail.
  void AddNotRun(const TRegisterOutcome& outcome);
  /// Finishes both files and puts them in place.
  void Commit();

  int Rows() const { return rows_; }

private:
  void WriteRow(const TRegisterOutcome& outcome);

  TSafeOutputFile csv_;
  TSafeOutputFile json_;
  int rows_ = 0;
  TFleetMetrics* metrics_;
};

/// One row of results.csv, with its line end.
std::string CsvRow(const TRegisterOutcome& outcome);
/// One object of results.json, without separator or line end.
std::string JsonObject(const TRegisterOutcome& outcome);
