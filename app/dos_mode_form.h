#pragma once
// TDOSModeForm: the resident command-file mode without a window. It watches
// one path: whenever a file lies there, its first line is run as a command
// (with the modem line kept open between commands) or, when it says "CLOSE"
// in any case, ends the mode; the file is deleted in every case, after the
// command has written "error.dat". The polling timer stands still while a
// command runs. An end signal (app/end_signals.h) ends the mode at the next
// tick. Destroying the form closes a modem line that is still open, hanging
// up a connected modem first.
//
// Status text (Label1) goes to standard error when that is a terminal.
#include <string>

class TDOSModeForm {
public:
  static constexpr int DefaultKomTimerInterval = 1000;

  explicit TDOSModeForm(std::string commandFilePath, int komTimerInterval = DefaultKomTimerInterval);
  ~TDOSModeForm();
  TDOSModeForm(const TDOSModeForm&) = delete;
  TDOSModeForm& operator=(const TDOSModeForm&) = delete;

  const std::string CommandFilePath;
  /// The status text: waiting for the file, or processing a command.
  std::string Label1;

  /// Ticks KomTimer until a "CLOSE" file or an end signal.
  void Run();
  /// One tick of KomTimer: runs the command file when there is one. False
  /// when the mode is to end.
  bool KomTimerTick();
  bool KomTimerEnabled() const { return komTimerEnabled_; }

private:
  /// The first line of the command file without its line end.
  std::string ReadCommandLine() const;
  void RunCommandFile();
  void DeleteCommandFile() const;
  void ShowLabel(const std::string& text);

  const int komTimerInterval_;
  bool komTimerEnabled_ = true;
  bool closeRequested_ = false;
};
