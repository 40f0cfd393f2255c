#pragma once
// The communication log: the one diagnostic trace of the program. Every layer
// writes through LogLine, which hands the line to the log of the run in use
// (run_context.h; tests put a recording log in its place). The
// module's log, TCommunicationLog, has two independent sinks, each active
// while its file name is non-empty: a plain 8-bit text file and an
// enciphered one ("KL.log").
// Each call appends one CR LF line in one write, so the log survives a crash
// up to the last completed call; the file stays open between calls while its
// name still leads to it (safe_output_file.h, TAppendingFile). An I/O failure of a sink is thrown to
// the caller (std::runtime_error with the system's message). The exception
// is a burst (InLogBurst): its lines are kept and written together, at most
// HeldLogBytesMost at a time, with the same bytes and time stamps; a crash
// in the middle of one loses the lines kept then.
//
// A call that repeats what the calls before it logged (the same message and
// data, one line again and again or a cycle of up to 32 lines) is left out;
// when the repetition ends, one line says how many lines were left out.
//
// The enciphered log may be given a bound: before a line would take it past
// the bound, the file is renamed to its older name (path + OlderLogSuffix,
// replacing an older one) and a new file begins.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/hex_text.h"
#include "base/log.h"

/// The module's log in its files.
class TCommunicationLog : public TLog {
public:
  TCommunicationLog();
  ~TCommunicationLog() override;
  TCommunicationLog(const TCommunicationLog&) = delete;
  TCommunicationLog& operator=(const TCommunicationLog&) = delete;

  /// File of the plain-text log; empty means no plain log.
  std::string PlainPath;
  /// File of the enciphered log; empty means no enciphered log.
  std::string CipheredPath;

  void Line(std::string_view message, std::string_view data) override;
  void EndRepetition() override;
  /// True while either file name is set.
  bool Active() const override;
  void HoldLines() override;
  void WriteHeldLines() override;
  void StopHoldingLines() noexcept override;

  /// The bound of the enciphered log in bytes; 0 (as at start) is no bound.
  /// Within one process the file never grows past it, unless one line alone
  /// is longer; lines another process appends meanwhile are noticed within
  /// every sixteenth of the bound (at most 64 KiB) this one writes, so that
  /// each further writer may add that much.
  void SetCipheredBound(std::uintmax_t bytes);
  std::uintmax_t CipheredBound() const;

  /// Renames the enciphered log to its older name when it already holds more
  /// than the bound. True when it renamed; std::system_error when renaming
  /// fails. (Line does the same by itself, before the line that would cross
  /// the bound; a failure there is written into the log, which goes on
  /// growing and tries again after another bound's worth of lines.)
  bool MoveCipheredLogAsideWhenOverBound();

private:
  struct TState;
  std::unique_ptr<TState> state_;
};

/// The longest cycle of lines LogLine takes as a repetition: a modem
/// answering with the same text again and again is read a byte at a time, two
/// lines a byte ("cteni 1 bytu", "nacteno 1 bytu: ..."), so "CONNECT 9600"
/// with its CR LF is a cycle of 28 lines.
inline constexpr std::size_t LongestRepeatedLogCycle = 32;

/// The name ending of the one older enciphered log kept: "KL.log" becomes "KL.log.1".
inline constexpr const char* OlderLogSuffix = ".1";

/// The most bytes of lines a sink keeps in a burst before it writes them.
inline constexpr std::size_t HeldLogBytesMost = 32 * 1024;

/// Runs `burst`, a burst of log lines with no wait on a line or a person
/// between them (the rows of a table file being saved: three lines a row),
/// while the log of the run in use keeps the lines and writes them together:
/// one write for many lines instead of one each. What is kept is written when
/// the burst ends; after a failure, before the next line.
void InLogBurst(const std::function<void()>& burst);

/// Sleeps `delayMs` when it is positive, then hands the line to the log of
/// the run in use, if any. The module's log writes date, time, " ", the message and the
/// hex dump of `data` to each active sink, unless the call only repeats the
/// lines before it.
void LogLine(std::string_view message, std::string_view data = {}, int delayMs = 0);

/// True when a line handed to LogLine now would reach a log. A caller that
/// builds a line's text (numbers, conversions) for every frame asks first,
/// so that with no log nothing is built.
bool LogActive();

/// Ends a repetition of lines: writes the line that says how many were left
/// out, if any, and forgets the lines seen, so that the next line is written
/// whatever it is. Called at the end of each command.
void EndLogRepetition();

/// The line that says `leftOut` lines were left out because they repeated
/// the cycle of the last `cycleLength` lines written (1: the last line).
std::string RepetitionNote(std::size_t cycleLength, std::uintmax_t leftOut);

struct TLogRepetition {
  std::size_t CycleLength = 0;
  std::uintmax_t LeftOut = 0;
};

/// What a log line (with its stamp) whose text ends in a RepetitionNote
/// says; none for any other line. The lines left out are told back by
/// repeating, LeftOut times, the line CycleLength lines before.
std::optional<TLogRepetition> RepetitionOfLogLine(std::string_view line);

/// Date and time as log lines show them: strftime "%x %X" (short date, blank,
/// long time) of `localTime` in the current locale; the user's locale is read
/// first when the run in use asks for it (TRunContext::DatesInUserLocale).
std::string FormatLogTimeStamp(const std::tm& localTime);

/// The log text of one call: the time stamp, " ", the message and HexDump of
/// the data. The line stays within 16 KiB: a message beyond 12 KiB, or data
/// beyond 1 KiB, is cut there and followed by "... (" + its whole length +
/// " znaku)" or " bytu)".
std::string BuildLogText(std::string_view timeStamp, std::string_view message, std::string_view data);
