#include "app/line_doctor.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "app/command_line.h"
#include "app/log_option.h"
#include "app/print_viewer.h"
#include "base/code_page.h"
#include "base/kom_error.h"
#include "base/safe_output_file.h"
#include "base/settings_store.h"
#include "model/catalogue_builder.h"
#include "model/model_list.h"
#include "model/table_numbers.h"
#include "protocol/link_bytes.h"
#include "protocol/link_protocol.h"
#include "transport/com_layer.h"
#include "transport/port.h"
#include "transport/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

TDoctorCheck Passed(std::string name, std::string detail) { return {std::move(name), true, std::move(detail), {}}; }

TDoctorCheck Failed(std::string name, std::string detail, std::string advice) {
  return {std::move(name), false, std::move(detail), std::move(advice)};
}

// A numbered failure's text is in code page 1250; other failures are system texts.
std::string WhatOf(const std::exception& failure) {
  if (dynamic_cast<const EKomError*>(&failure) != nullptr) return Cp1250ToUtf8(failure.what());
  return failure.what();
}

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TDoctorCheck ProgramFolderCheck(const std::string& programDir) {
  try {
    RemoveFileIfPresent(WriteNewFileUniquely(programDir + "doctor", ".tmp", ""));
    return Passed("program folder", programDir + " is writable");
  } catch (const std::exception& failure) {
    return Failed("program folder", programDir + " is not writable: " + WhatOf(failure),
                  "give the line's user write access to the folder (error.dat, the log and the files go there)");
  }
}

TDoctorCheck LogCheck() {
  const bool on = ReadSettingInteger("Ver2", "LogSouborSifra", 0) != 0;
  const auto limit = CipheredLogLimit();
  const std::string bound = limit == 0 ? "no size bound" : "bound " + std::to_string(limit >> 20) + " MB";
  return Passed("communication log", std::string(on ? "on (KL.log), " : "off, ") + bound);
}

TDoctorCheck TcpCheck(const TNastaveni& settings) {
  const std::string address = settings.IpAddress + ":" + std::to_string(settings.IpPort);
  auto socket = CreateClientSocket();
  socket->SetAddress(settings.IpAddress);
  socket->SetPort(settings.IpPort);
  const auto start = Clock::now();
  try {
    socket->Connect(settings.Timeout[TcpSlot]);
    const long took = MillisecondsSince(start);
    socket->Close();
    return Passed("TCP address", address + " reached in " + std::to_string(took) + " ms");
  } catch (const std::exception& failure) {
    return Failed("TCP address", address + " not reached: " + WhatOf(failure),
                  "check the register's address and port (/IPADDR=, /IPPORT=), that it is on, and the network");
  }
}

// Opens the line, sends the ENQ of the short financial report and reads the
// model code of the reply; the model is then checked apart from the
// handshake, so that a code that does not fit is shown rather than refused.
std::vector<TDoctorCheck> EnqChecks(const TNastaveni& settings, const CommandParameters& parameters) {
  const std::string modelName = ModelNameOfCode(parameters.ModelCode);
  const auto catalogue = BuildCatalogue(modelName);
  const TLinkBytes bytes = LinkBytesOf(catalogue->CmFamily, true);
  int code = 0;
  long took = 0;
  try {
    TPort port;
    port.Open(settings, 1);
    port.Flush();
    TLinkProtocol link(port, bytes, static_cast<std::uint8_t>(parameters.NetId), "");
    const auto start = Clock::now();
    code = link.Handshake(TableNumber::ShortFinancialReport);
    took = MillisecondsSince(start);
    port.Close();
  } catch (const std::exception& failure) {
    return {Failed("ENQ round trip", "no answer: " + WhatOf(failure),
                   "check the cable or address, the line speed (/BR=), that the register is on and in a key "
                   "position that talks (R), and its network number (/ID=)")};
  }
  std::vector<TDoctorCheck> checks{Passed("ENQ round trip", "answered in " + std::to_string(took) + " ms")};
  const std::string answered = "model code " + std::to_string(code);
  if (ModelCodeFits(modelName, code, bytes.CmFamily)) {
    checks.push_back(Passed("model", answered + " fits /ECR=" + parameters.ModelCode + " (" + modelName + ")"));
  } else {
    checks.push_back(Failed("model", answered + " does not fit /ECR=" + parameters.ModelCode + " (" + modelName + ")",
                            "give the /ECR= of the register that answers (mervmodul --list-models)"));
  }
  return checks;
}

TDoctorCheck ViewerCheck(const std::string& programDir) {
  try {
    return Passed("print viewer", TPrintViewer(TViewerPlaces::OfThisProgram(programDir)).FindViewer());
  } catch (const std::exception&) {
    return Failed("print viewer", "not found beside the module or in the installation",
                  "install the print viewer (vyrnak) beside the module or with the package");
  }
}

std::vector<TDoctorCheck> Alone(TDoctorCheck check) { return {std::move(check)}; }

// The line itself: the TCP address, or the COM device and what stands around it.
TDoctorStep LineStep(const TNastaveni& settings) {
  if (settings.UseTcp) return {"TCP address", [&settings] { return Alone(TcpCheck(settings)); }};
  return {"COM device", [&settings] { return ComDeviceChecks(ComDevicePath(settings.ComPort[1])); }};
}

std::string JoinedCommand(const std::vector<std::string>& parameters) {
  std::string command = "STS";
  for (const auto& parameter : parameters) command += " " + parameter;
  return command + " /";  // the parser takes a token when the next "/" comes
}

}  // namespace

std::vector<TDoctorCheck> RunDoctorSteps(const std::vector<TDoctorStep>& steps) {
  std::vector<TDoctorCheck> checks;
  for (const TDoctorStep& step : steps) {
    try {
      const auto found = step.Run();
      checks.insert(checks.end(), found.begin(), found.end());
    } catch (const std::exception& failure) {
      checks.push_back(Failed(step.Name, WhatOf(failure),
                              "the check could not be made: see what it names, then run --doctor again"));
    }
  }
  return checks;
}

int DoctorExitStatus(const std::vector<TDoctorCheck>& checks) {
  return std::all_of(checks.begin(), checks.end(), [](const TDoctorCheck& check) { return check.Ok; }) ? 0 : 1;
}

std::vector<TDoctorCheck> RunLineDoctor(const std::vector<std::string>& parameters, const std::string& programDir) {
  std::vector<TDoctorCheck> checks =
      RunDoctorSteps({{"program folder", [&] { return Alone(ProgramFolderCheck(programDir)); }},
                      {"settings", [] { return Alone(SettingsStoreCheck()); }},
                      {"communication log", [] { return Alone(LogCheck()); }}});
  TNastaveni settings = TNastaveni::CommandDefaults();
  CommandParameters values;
  try {
    ParseCommand(JoinedCommand(parameters), programDir, settings, values);
    CheckConnectionParameters(settings, values);
  } catch (const std::exception& failure) {
    checks.push_back(
        Failed("parameters", WhatOf(failure), "mervmodul --explain " + std::to_string(FailureNumberOf(failure))));
    return checks;
  }
  const auto rest = RunDoctorSteps({LineStep(settings),
                                    {"ENQ round trip", [&] { return EnqChecks(settings, values); }},
                                    {"print viewer", [&] { return Alone(ViewerCheck(programDir)); }},
                                    {"printer", [] { return Alone(PrinterCheck()); }}});
  checks.insert(checks.end(), rest.begin(), rest.end());
  return checks;
}

TDoctorCheck LatencyTimerCheck(const std::string& device, std::optional<int> milliseconds, const std::string& advice) {
  constexpr int HighestQuickTimer = 4;
  constexpr const char* Name = "latency timer";
  if (!milliseconds) return Passed(Name, "not shown by the driver of " + device);
  const std::string shown = std::to_string(*milliseconds) + " ms";
  if (*milliseconds <= HighestQuickTimer) return Passed(Name, shown);
  return Failed(Name, shown + ": each short answer waits that long", advice);
}

std::string DoctorText(const std::vector<TDoctorCheck>& checks) {
  std::string text;
  for (const auto& check : checks) {
    text += (check.Ok ? "ok   " : "FAIL ") + check.Name + ": " + check.Detail + "\n";
    if (!check.Ok && !check.Advice.empty()) text += "     what to do: " + check.Advice + "\n";
  }
  return text;
}

std::string DoctorJson(const std::vector<TDoctorCheck>& checks) {
  nlohmann::json shown = nlohmann::json::array();
  bool allOk = true;
  for (const auto& check : checks) {
    nlohmann::json item = {{"name", check.Name}, {"ok", check.Ok}, {"detail", check.Detail}};
    if (!check.Advice.empty()) item["advice"] = check.Advice;
    shown.push_back(item);
    allOk = allOk && check.Ok;
  }
  return nlohmann::json{{"ok", allOk}, {"checks", shown}}.dump(-1, ' ', false,
                                                               nlohmann::json::error_handler_t::replace) +
         "\n";
}
