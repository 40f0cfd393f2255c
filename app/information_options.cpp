#include "base/input_file.h"
#include "app/information_options.h"

#include <iterator>
#include <sstream>

#include "app/command_help.h"
#include "app/error_explanation.h"
#include "app/line_doctor.h"
#include "base/code_page.h"
#include "base/process_values.h"
#include "model/catalogue_builder.h"
#include "model/model_list.h"
#include "transport/serial_port_list.h"

namespace {

// "error.dat" holds a number and the interface version: a few bytes.
constexpr std::uint64_t LongestOutcomeFile = 4096;

TOptionOutcome Printed(std::string text) { return TOptionOutcome{std::move(text), {}, 0}; }

std::optional<int> WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

TOptionOutcome ExplainNumber(const std::string& argument) {
  const auto number = WholeNumber(argument);
  if (!number) return UsageError("--explain takes an error number, not '" + argument + "'");
  std::string text = ExplanationText(*number);
  if (text.empty()) return UsageError("error " + argument + " is not one this program writes");
  return Printed(std::move(text));
}

TOptionOutcome ExplainOutcomeFile(const std::string& programDir) {
  const std::string path = programDir + OutcomeFileName;
  std::string content;
  try {
    content = ReadInputFile(path, LongestOutcomeFile);
  } catch (const std::system_error&) {
    return TOptionOutcome{{}, "mervmodul: no " + path + " to explain\n", 1};
  }
  const auto number = OutcomeNumberOf(content);
  if (!number) return TOptionOutcome{{}, "mervmodul: " + path + " holds no error number\n", 1};
  const std::string text = ExplanationText(*number);
  if (text.empty())
    return TOptionOutcome{{}, "mervmodul: " + path + ": unknown error " + std::to_string(*number) + "\n", 1};
  return Printed(path + ":\n" + text);
}

TOptionOutcome Explain(const std::vector<std::string>& arguments, const std::string& programDir) {
  if (arguments.size() > 2) return UsageError("--explain takes at most one error number");
  return arguments.size() == 2 ? ExplainNumber(arguments[1]) : ExplainOutcomeFile(programDir);
}

// "--doctor /COM=1 /BR=2 /ECR=465 [--json]": status 1 when a check failed.
TOptionOutcome Doctor(const std::vector<std::string>& arguments, const std::string& programDir) {
  std::vector<std::string> parameters;
  bool json = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--json") {
      json = true;
    } else if (arguments[i].empty() || arguments[i][0] != '/') {
      return UsageError("--doctor takes a line's parameters (/COM=1 /BR=2 /ECR=465) and --json, not '" + arguments[i] +
                        "'");
    } else {
      parameters.push_back(arguments[i]);
    }
  }
  const auto checks = RunLineDoctor(parameters, programDir);
  return TOptionOutcome{json ? DoctorJson(checks) : DoctorText(checks), {}, DoctorExitStatus(checks)};
}

std::string TablesOf(std::string_view modelName) {
  const auto catalogue = BuildCatalogue(modelName);
  std::string text;
  for (int number = 1; number <= TSoubory::MaxTableNumber; ++number) {
    const TSoubor* table = catalogue->Table(number);
    if (table == nullptr || table->Name.empty()) continue;
    text +=
        "    " + std::string(number < 10 ? "0" : "") + std::to_string(number) + " " + Cp1250ToUtf8(table->Name) + "\n";
  }
  return text;
}

// "--explain=N" says the same as "--explain N".
std::vector<std::string> WithJoinedValueApart(const std::vector<std::string>& arguments) {
  const std::string& first = arguments[0];
  const auto equals = first.find('=');
  if (first.rfind("--", 0) != 0 || equals == std::string::npos) return arguments;
  std::vector<std::string> apart{first.substr(0, equals), first.substr(equals + 1)};
  apart.insert(apart.end(), arguments.begin() + 1, arguments.end());
  return apart;
}

}  // namespace

std::string ModelListText() {
  std::string text;
  for (const TModel& model : Models) {
    text += model.Code.empty() ? std::string(model.Name) + " (no /ECR= code: reached by name only)\n"
                               : std::string(model.Name) + " /ECR=" + std::string(model.Code) + "\n";
    text += TablesOf(model.Name);
  }
  return text;
}

std::string PortListText() {
  std::string text = "COM      device\n";
  for (const TSerialDevice& device : ListSerialDevices()) {
    std::string numbers;
    for (const int port : device.ComNumbers) numbers += (numbers.empty() ? "COM" : ",COM") + std::to_string(port);
    if (numbers.empty()) numbers.assign(1, '-');
    if (numbers.size() < 8) numbers.append(8 - numbers.size(), ' ');
    text += numbers + " " + device.Path + (device.Target.empty() ? "" : " -> " + device.Target) + "\n";
  }
  return text + SerialPortListNote();
}

TOptionOutcome UsageError(const std::string& message) {
  return TOptionOutcome{{}, "mervmodul: " + message + "\nTry 'mervmodul --help'.\n", UsageFailure};
}

std::optional<TOptionOutcome> RunInformationOption(const std::vector<std::string>& given,
                                                   const std::string& programDir) {
  if (given.empty() || given[0].size() < 2 || given[0][0] != '-') return std::nullopt;
  const std::vector<std::string> arguments = WithJoinedValueApart(given);
  const std::string& option = arguments[0];
  if (arguments.size() > given.size() && option != "--explain") return UsageError(option + " takes no value");
  if (option == "-h" || option == "--help") return Printed(HelpText());
  if (option == "--version") return Printed(std::string("mervmodul ") + ProgramVersion + "\n");
  if (option == "--explain") return Explain(arguments, programDir);
  if (option == "--list-models") return Printed(ModelListText());
  if (option == "--ports") return Printed(PortListText());
  if (option == "--doctor") return Doctor(arguments, programDir);
  return UsageError("unknown option '" + option + "'");
}
