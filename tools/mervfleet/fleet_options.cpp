#include "tools/mervfleet/fleet_options.h"

#include <array>
#include <charconv>
#include <optional>
#include <stdexcept>

const std::string_view FleetHelpText =
    R"(Usage: mervfleet --registers FILE [options] -- ACTIVITY [/PARAM=value ...]
       mervfleet --help | --version

Runs one command of the module against many registers, each through the
module as a process of its own in the register's line folder, and writes one
table of outcomes.

FILE is CSV with a header line: name,line,model[,folder] (other columns are
ignored).
  name    letters, digits, ".", "_", "-", each name once (letter case
          aside); "{name}" in a parameter value is replaced by it
          (/FILE={name}.txt gives each register its own file)
  line    tcp:HOST:PORT, com:N[:SPEED] (SPEED as /BR= takes it, default
          19200) or modem:N:NUMBER (dialled, used and hung up by the
          module's resident mode in the line folder)
  model   the /ECR= code (465, 579E, ...)
  folder  the line folder; default DIR/<name>. "error.dat", the log and
          the files of a bare /FILE= name go there.

Options:
  --registers FILE  the registers file
  --jobs N          registers under way at the same time, at most (default
                    32); never two on the same line or in the same folder
  --retries K       further attempts of a register that ended with a line
                    failure (04, 05, 09, 31, 33 to 36); default 2
  --pause SECONDS   wait before such an attempt (default 5)
  --limit SECONDS   an attempt still running after this long is asked to stop
                    (SIGTERM), and ended 30 s later (default 3600)
  --out DIR         results.csv, results.json and the default line folders
                    (default: the current folder)
  --module PATH     the module (default: mervmodul beside mervfleet, else
                    ../lib/mervmodul/mervmodul)
  --metrics FILE    add each register's outcome to FILE, a metrics file in
                    Prometheus's text format (for node_exporter's textfile
                    collector): per register and activity the last outcome,
                    the last success, the duration, the runs by outcome class
                    and the failures in a row. FILE is read, updated and
                    written whole under a lock on FILE.lock, so several runs
                    (and the Ansible collection merv.ecr) may share it.
  --copy-module     run a copy of the module in each line folder, for a module
                    that does not take its program folder from
                    MERV_PROGRAM_DIR
  --help            this text
  --version         the version

An option's value may also be joined to it with "=": --jobs=8.

The command must not name the line or the model (/COM=, /BR=, /IPADDR=,
/IPPORT=, /ECR=, /MODEM, /DIALTONE=, /DIALPULS=): the registers file does.

SIGINT or SIGTERM: no further register is started, those under way finish
their command, and the results of all are written (registers not started
with "not started"). A second signal passes the stop on to the modules under
way, which end their command the way they end it on a stop.

Exit status: 0 when every register ended with 0, 1 otherwise, 2 for a wrong
command line or registers file.
)";

namespace {

constexpr std::array<std::string_view, 8> LineParameterKeys = {"/COM=", "/BR=",   "/IPADDR=",   "/IPPORT=",
                                                               "/ECR=", "/MODEM", "/DIALTONE=", "/DIALPULS="};
constexpr std::array<std::string_view, 3> RefusedActivities = {"DOSMODE", "MODEMDIAL", "MODEMHANGUP"};
constexpr std::string_view NamePlaceholder = "{name}";
constexpr int MostJobs = 4096;

[[noreturn]] void Refuse(const std::string& message) { throw std::invalid_argument(message); }

int Number(const std::string& text, std::string_view option, int lowest, int highest) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
    Refuse(std::string(option) + ": \"" + text + "\" is not a number from " + std::to_string(lowest) + " to " +
           std::to_string(highest));
  }
  return value;
}

void CheckCommand(const TFleetOptions& options) {
  if (options.Activity.empty() || options.Activity.front() == '/') Refuse("the command after \"--\" needs an activity");
  for (const auto refused : RefusedActivities) {
    if (options.Activity == refused) Refuse("the activity " + options.Activity + " cannot be run by mervfleet");
  }
  for (const auto& parameter : options.Parameters) {
    for (const auto key : LineParameterKeys) {
      if (parameter.rfind(key, 0) == 0) Refuse(parameter + ": the registers file gives the line and the model");
    }
  }
}

std::string ReplacedName(std::string text, const std::string& name) {
  for (auto at = text.find(NamePlaceholder); at != std::string::npos; at = text.find(NamePlaceholder, at)) {
    text.replace(at, NamePlaceholder.size(), name);
    at += name.size();
  }
  return text;
}

// Splits "--name=value" and takes the value of "--name value" from the next
// argument; after "--" the arguments are taken as they are.
class ArgumentReader {
public:
  explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  bool Next() {
    if (index_ >= arguments_.size()) return false;
    const std::string& argument = arguments_[index_++];
    const auto equals = argument.find('=');
    if (!afterDashes_ && argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name_ = argument.substr(0, equals);
      inlineValue_ = argument.substr(equals + 1);
    } else {
      name_ = argument;
      inlineValue_.reset();
    }
    afterDashes_ = afterDashes_ || argument == "--";
    return true;
  }
  const std::string& Name() const { return name_; }
  std::string Value() {
    if (inlineValue_) return *inlineValue_;
    if (index_ >= arguments_.size()) Refuse(name_ + " needs a value");
    return arguments_[index_++];
  }
  void NoValue() const {
    if (inlineValue_) Refuse(name_ + " takes no value");
  }
  /// The arguments not read yet.
  std::vector<std::string> Rest() const {
    return {arguments_.begin() + static_cast<std::ptrdiff_t>(index_), arguments_.end()};
  }

private:
  const std::vector<std::string>& arguments_;
  std::size_t index_ = 0;
  std::string name_;
  std::optional<std::string> inlineValue_;
  bool afterDashes_ = false;
};

}  // namespace

TFleetOptions ParseFleetOptions(const std::vector<std::string>& arguments) {
  TFleetOptions options;
  ArgumentReader reader(arguments);
  while (reader.Next()) {
    const std::string& name = reader.Name();
    if (name == "--") break;
    // The help and the version are answered whatever follows them.
    if (name == "--help" || name == "-h") {
      reader.NoValue();
      options.Help = true;
      return options;
    }
    if (name == "--version") {
      reader.NoValue();
      options.Version = true;
      return options;
    }
    if (name == "--registers") {
      options.RegistersFile = reader.Value();
    } else if (name == "--jobs") {
      options.Jobs = Number(reader.Value(), name, 1, MostJobs);
    } else if (name == "--retries") {
      options.Retries = Number(reader.Value(), name, 0, 100);
    } else if (name == "--pause") {
      options.PauseSeconds = Number(reader.Value(), name, 0, 86400);
    } else if (name == "--limit") {
      options.LimitSeconds = Number(reader.Value(), name, 1, 7 * 86400);
    } else if (name == "--out") {
      options.OutFolder = reader.Value();
    } else if (name == "--module") {
      options.Module = reader.Value();
    } else if (name == "--metrics") {
      options.MetricsFile = reader.Value();
      if (options.MetricsFile.empty()) Refuse("--metrics needs a file");
    } else if (name == "--copy-module") {
      reader.NoValue();
      options.CopyModule = true;
    } else {
      Refuse("unknown option \"" + name + "\" (see --help)");
    }
  }
  if (options.RegistersFile.empty()) Refuse("--registers FILE is needed");
  if (reader.Name() != "--" || !reader.Next()) Refuse("the command comes after \"--\": -- ACTIVITY /PARAM=...");
  options.Activity = reader.Name();
  options.Parameters = reader.Rest();
  CheckCommand(options);
  return options;
}

std::vector<std::string> ModuleArguments(const TFleetOptions& options, const std::string& name,
                                         const std::vector<std::string>& lineParameters) {
  std::vector<std::string> arguments{options.Activity};
  for (const auto& parameter : options.Parameters) arguments.push_back(ReplacedName(parameter, name));
  arguments.insert(arguments.end(), lineParameters.begin(), lineParameters.end());
  return arguments;
}
