#pragma once
// What one run works with, made by the run and handed down to the steps that
// need it: the program folder, the log, the recorder of the first failure,
// how long a write in place may wait and the language of the texts. The
// program's mode makes one for its own lines, and each command one of its
// own. The stop request is not in it: a signal reaches the process, not one
// run, so it stays the process's (stop_request.h).
//
// For as long as a context lives it is the run in use: LogLine writes to its
// log, the file door takes its write limit and LoadText its language, as the
// layers below the command's steps (down to the line's bytes) log, write and
// show texts without being handed the context. Contexts nest: the one made before comes back in use
// when a later one ends.
#include <chrono>
#include <string>

#include "base/failure_recorder.h"
#include "base/log.h"

class TRunContext {
public:
  /// A context of `programFolder` whose lines go to `log`; it takes the
  /// write limit, the language and the dates' locale of the run in use (10 s,
  /// Czech and the C locale without one).
  TRunContext(std::string programFolder, TLog& log);
  /// Hands its write limit back to the run it was made in: a later command
  /// that gives no time-out keeps the one before, as it always has.
  ~TRunContext();
  TRunContext(const TRunContext&) = delete;
  TRunContext& operator=(const TRunContext&) = delete;

  /// The program folder, ending in the platform separator: where
  /// "error.dat", "KL.log" and the files named without a folder lie.
  const std::string& ProgramFolder() const { return programFolder_; }
  TLog& Log() const { return log_; }
  TFailureRecorder& Failures() { return failures_; }
  const TFailureRecorder& Failures() const { return failures_; }

  /// How long a write in place (FIFO, device) may wait for its reader: the
  /// command's time-out, set by the command processor.
  std::chrono::milliseconds InPlaceWriteLimit() const { return inPlaceWriteLimit_; }
  void SetInPlaceWriteLimit(std::chrono::milliseconds limit) { inPlaceWriteLimit_ = limit; }

  /// The language base of the texts (localized_texts.h).
  int LanguageBase() const { return languageBase_; }
  void SetLanguageBase(int base) { languageBase_ = base; }
  /// Whether the log's dates follow the user's locale (FormatLogTimeStamp
  /// reads it at the first date of such a run).
  bool DatesInUserLocale() const { return datesInUserLocale_; }
  void SetDatesInUserLocale(bool inUserLocale) { datesInUserLocale_ = inUserLocale; }

private:
  std::string programFolder_;
  TLog& log_;
  TFailureRecorder failures_;
  std::chrono::milliseconds inPlaceWriteLimit_;
  int languageBase_;
  bool datesInUserLocale_;
  TRunContext* previous_;
};

/// The limit of a write in place when no run is in use.
inline constexpr std::chrono::milliseconds DefaultInPlaceWriteLimit{10000};
/// The language base when no run is in use: Czech (localized_texts.h).
inline constexpr int DefaultLanguageBase = 12000;

/// The run in use: the context made last that still lives; none before the
/// first.
TRunContext* RunContextInUse();
