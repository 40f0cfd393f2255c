#pragma once
// `mervmodul --doctor` with a line's parameters: what stands between the
// module and the register of that line, one check after another, each with
// what it found and, when it failed, what to do. The checks: the program
// folder is writable; which settings store is read; the log switch and the
// log's size bound; for a COM line the device, its permissions and group,
// who holds it open, the USB-serial latency timer where the driver shows
// it; for TCP/IP the address reached and how fast; an ENQ round trip and
// whether the model code that answers fits /ECR=; the print viewer and a
// printer. `--json` prints the same as one JSON object for programs.
//
// The platform's checks are in line_doctor_posix.cpp and line_doctor_win32.cpp.
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TDoctorCheck {
  std::string Name;
  bool Ok = true;
  /// What was found.
  std::string Detail;
  /// What to do when the check failed; empty when it passed.
  std::string Advice;
};

/// One step of the doctor: a check, or a group of checks that look at one
/// thing (the COM device). `Name` names the failed check when it raises.
struct TDoctorStep {
  std::string Name;
  std::function<std::vector<TDoctorCheck>()> Run;
};

/// The checks of every step in order. A step that raises gives one failed
/// check under its name with the failure's text, and the steps after it run.
std::vector<TDoctorCheck> RunDoctorSteps(const std::vector<TDoctorStep>& steps);

/// The exit status of `--doctor`: 1 when a check failed, 0 otherwise.
int DoctorExitStatus(const std::vector<TDoctorCheck>& checks);

/// Runs the checks for the parameters ("/COM=1", "/BR=2", "/ECR=465" ...) in
/// the program folder `programDir` (ending in the separator).
std::vector<TDoctorCheck> RunLineDoctor(const std::vector<std::string>& parameters, const std::string& programDir);

/// One line per check: "ok   name: detail", a failed one "FAIL name: detail"
/// with its advice on the next line.
std::string DoctorText(const std::vector<TDoctorCheck>& checks);

/// {"ok": bool, "checks": [{"name", "ok", "detail", "advice"}]} and a line end.
std::string DoctorJson(const std::vector<TDoctorCheck>& checks);

/// The USB-serial latency timer of `device` as its driver shows it (none:
/// not shown), judged: a timer over 4 ms holds back every short answer;
/// `advice` says how this platform sets it.
TDoctorCheck LatencyTimerCheck(const std::string& device, std::optional<int> milliseconds, const std::string& advice);

// --- The platform's checks (line_doctor_posix.cpp, line_doctor_win32.cpp) ---

/// Which settings store the module reads and whether it is there.
TDoctorCheck SettingsStoreCheck();

/// The COM device: present, its permissions and group, who holds it open,
/// and the USB-serial latency timer where the driver shows one.
std::vector<TDoctorCheck> ComDeviceChecks(const std::string& device);

/// Whether a printer is set up for the print viewer's documents.
TDoctorCheck PrinterCheck();
