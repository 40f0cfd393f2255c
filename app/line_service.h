#pragma once
// TLineService: the resident command-file mode of one register line run by a
// service manager (the Windows service host mervsvc). A line is a folder: its
// command file "command.txt", its "error.dat" and "KL.log" lie there, and the
// mode runs with that folder as the program folder (MERV_PROGRAM_DIR), so one
// installed executable serves every line.
//
// This class holds what the host reports to the manager and how a control
// changes it; the host turns it into the manager's own calls. A stop only asks
// the mode to end: a command under way finishes and writes its outcome first,
// as SIGTERM does on POSIX.
#include <optional>
#include <string>
#include <vector>

/// The command file of a line, in the line's folder.
inline constexpr const char* LineCommandFileName = "command.txt";

/// The longest a stop may take: a command under way runs to its end (the
/// same bound as the systemd unit's stop time-out).
inline constexpr int LineStopWaitMs = 300'000;
/// How long the manager is told a start takes.
inline constexpr int LineStartWaitMs = 10'000;

/// The line folder of a service: the first start argument when the service
/// was started with any, else the first argument of the host's own command
/// line (the image path's). A final "\." is dropped ("C:\line1\." is
/// "C:\line1\"). Nothing when neither names one.
std::optional<std::string> LineFolderOf(const std::vector<std::string>& startArguments,
                                        const std::vector<std::string>& hostArguments);

/// The arguments of the mode for a line folder: "DOSMODE" and the command file
/// in it (the folder ends in a separator or gets `separator`).
std::vector<std::string> LineModeArguments(std::string lineFolder, char separator);

class TLineService {
public:
  enum class State { StartPending, Running, StopPending, Stopped };
  enum class Control { Stop, Shutdown, Interrogate, Other };

  struct TStatus {
    State CurrentState = State::StartPending;
    bool AcceptsStop = false;
    int CheckPoint = 0;
    int WaitHintMs = 0;
    int ExitCode = 0;
  };

  /// What a control asks of the host.
  struct TControlAnswer {
    bool Handled = false;     // false: the manager is told it is not implemented
    bool EndTheMode = false;  // ask the running mode to end
    bool Report = false;      // report Status() to the manager
  };

  TLineService();

  const TStatus& Status() const { return status_; }
  /// The mode is about to run.
  void Started();
  TControlAnswer OnControl(Control control);
  /// The mode has ended (by a stop, a "CLOSE" command file, or a failure).
  void Ended(int exitCode);

private:
  TStatus status_;
};
