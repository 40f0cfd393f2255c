#pragma once
// TDOSModeForm: the resident command-file mode without a window. It watches
// one path: whenever a complete command file lies there, its first line is
// run as a command (with the modem line kept open between commands) or, when
// it says "CLOSE" in any case, ends the mode; the file is deleted after the
// command has written "error.dat". The polling timer stands still while a
// command runs. An end signal (app/end_signals.h) stops the command under
// way and ends the mode at the next tick. Destroying the form closes a modem
// line that is still open, hanging up a connected modem first.
//
// What lies at the path is looked at before anything is opened:
// - a link, FIFO, socket or device is never opened: the name is removed
//   (never what a link leads to) and answered with 10;
// - a folder is reported once and left alone;
// - a regular file runs once it is complete: its first line ends in CR or
//   LF, or the file has not changed for SettleTime. A first line of more
//   than LongestCommandLine bytes, or one holding control bytes, is answered
//   with 01 and the file deleted.
// - The mode's own answers (01, 10) remove an earlier "error.json" before
//   they write "error.dat", as a command does.
// - A command, and an answer of the mode, waits for the folder's turn. When
//   the turn does not come (another command runs too long, or an end signal
//   ends the wait) nothing is written and the entry stays for the next tick.
// - A file that cannot be deleted is not run again until it changes; the
//   failure is said once.
// - When an outcome cannot be written the mode ends with exit status 1. A
//   command that did not run (the previous "error.dat" stays) and an
//   answer of the mode leave the command file where it is, so that no
//   earlier outcome is read as theirs; a command that ran has its file
//   removed all the same (its "error.dat" went when it began), so that the
//   next start of the mode does not run it again.
//
// Status text (Label1) goes to standard error when that is a terminal.
#include <chrono>
#include <optional>
#include <string>

#include "app/command_context.h"
#include "base/input_file.h"
#include "transport/modem_line.h"

class TDOSModeForm {
public:
  static constexpr int DefaultKomTimerInterval = 1000;
  static constexpr std::chrono::milliseconds DefaultSettleTime{2000};
  static constexpr std::size_t LongestCommandLine = 64 * 1024;

  /// Runs each command in `setup`'s program folder with its log.
  TDOSModeForm(TProgramSetup setup, std::string commandFilePath, int komTimerInterval = DefaultKomTimerInterval,
               std::chrono::milliseconds settleTime = DefaultSettleTime);
  ~TDOSModeForm();
  TDOSModeForm(const TDOSModeForm&) = delete;
  TDOSModeForm& operator=(const TDOSModeForm&) = delete;

  const std::string CommandFilePath;
  /// The status text: waiting for the file, or processing a command.
  std::string Label1;

  /// Ticks KomTimer until a "CLOSE" file, an end signal or an outcome that
  /// could not be written. False in the last case.
  bool Run();
  /// One tick of KomTimer: runs the command file when there is a complete
  /// one. False when the mode is to end.
  bool KomTimerTick();
  bool KomTimerEnabled() const { return komTimerEnabled_; }

private:
  /// The first line when the file holds a complete one; none to wait.
  std::optional<std::string> CompleteCommandLine(const TFileEntry& entry);
  bool Settled(const TFileEntry& entry);
  void RunCommandLine(const std::string& line);
  void RemoveForeignEntry();
  /// Writes `code` as the outcome of a command that did not run, in the
  /// folder's turn. False when the turn did not come: nothing was written.
  bool Answer(int code, const std::string& reason);
  void DeleteCommandFile();
  void LeftForTheTurn();
  void OutcomeLost(const std::string& whatBecameOfTheFile);
  void RanWithoutOutcome();
  void ShowLabel(const std::string& text);
  bool WriteOutcome(int code);

  const TProgramSetup setup_;
  const int komTimerInterval_;
  const std::chrono::milliseconds settleTime_;
  bool komTimerEnabled_ = true;
  bool closeRequested_ = false;
  bool outcomeLost_ = false;
  bool folderReported_ = false;
  /// A file without a line end, and since when it is seen unchanged.
  std::optional<TFileEntry> unsettled_;
  std::chrono::steady_clock::time_point unsettledSince_;
  /// A file that could not be deleted: not run again until it changes.
  std::optional<TFileEntry> undeletable_;
  /// The modem line, kept open from one command to the next.
  TModemLine modemLine_;
};
