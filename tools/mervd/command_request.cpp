#include "tools/mervd/command_request.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <random>
#include <span>

#include "app/activity_table.h"
#include "app/command_line.h"
#include "tools/mervd/api_error.h"
#include "tools/mervd/daemon_config.h"

using nlohmann::json;

namespace {

// Set by the line's configuration or by mervd itself, never by a request.
constexpr std::string_view LineOwned[] = {"COM", "BR", "PAR", "IPADDR", "IPPORT", "ECR", "ID", "JSON", "LOG", "MIN"};
// The resident mode waits for command files without end.
constexpr std::string_view RefusedActivities[] = {"DOSMODE"};
// Pasted into the name of the file the command writes (the day's export).
constexpr std::string_view FileNameParts[] = {"PRODEJNA", "POKLADNA"};

[[noreturn]] void Refuse(int status, const std::string& message) { throw TApiError(status, message); }

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The row whose key is exactly `key`. The module takes any token beginning
// with MODEM for its modem switch, but a request's name becomes one token
// "/NAME" that the module cuts at every "/": a name only beginning with a key
// would carry tokens of its own past the checks ("MODEM/FILE=..."). The
// switch itself is still given as "MODEM".
const TCommandParameter* FindParameter(const std::string& key) {
  for (const auto& row : ParameterTable()) {
    if (key == row.Key) return &row;
  }
  return nullptr;
}

bool Contains(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string ValueText(const std::string& key, const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_boolean() && value.get<bool>()) return {};
  Refuse(400, "parameter " + key + ": a value is a string, a whole number, or true for a switch");
}

void CheckValue(const std::string& key, const TCommandParameter& row, const std::string& value) {
  const bool control = std::any_of(value.begin(), value.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
  if (control || value.find('/') != std::string::npos) {
    Refuse(422, "parameter " + key + ": a value may hold no '/' and no control character");
  }
  if (row.Form == ParameterForm::Value && value.empty()) Refuse(422, "parameter " + key + " needs a value");
  if (row.Form != ParameterForm::Value && !value.empty()) Refuse(422, "parameter " + key + " is a switch: give true");
  if ((row.ValueName == "path" || row.ValueName == "folder") && !IsPlainName(value)) {
    Refuse(422, "parameter " + key + ": a file of the line folder, named without a folder");
  }
  if (Contains(FileNameParts, key) && !IsPlainName(value)) {
    Refuse(422, "parameter " + key + " becomes part of a file name: letters, digits, '.', '_' and '-'");
  }
}

std::vector<std::pair<std::string, std::string>> ParametersOf(const json& given) {
  std::vector<std::pair<std::string, std::string>> parameters;
  if (given.is_null()) return parameters;
  if (!given.is_object()) Refuse(400, "\"parameters\" is an object of names and values");
  for (const auto& [name, value] : given.items()) {
    const std::string key = Upper(name);
    // The record keeps one value per name: a name given twice would be a command other than the one recorded.
    const bool repeated =
        std::any_of(parameters.begin(), parameters.end(), [&](const auto& known) { return known.first == key; });
    if (repeated) Refuse(422, "parameter " + key + " is given twice");
    const TCommandParameter* row = FindParameter(key);
    if (row == nullptr) Refuse(422, "unknown parameter " + name + " (mervmodul --help lists them)");
    if (Contains(LineOwned, row->Key)) {
      Refuse(422, "parameter " + key + " is set by the line's configuration, not by a request");
    }
    std::string text = ValueText(key, value);
    CheckValue(key, *row, text);
    parameters.emplace_back(key, std::move(text));
  }
  return parameters;
}

std::string ActivityOf(const json& body) {
  const auto given = body.find("activity");
  if (given == body.end() || !given->is_string()) Refuse(400, "\"activity\" is missing (a string such as \"STS\")");
  std::string activity = given->get<std::string>();
  const bool plain = !activity.empty() && activity.size() <= 16 &&
                     std::all_of(activity.begin(), activity.end(), [](unsigned char c) { return std::isalnum(c); });
  const bool refused = Contains(RefusedActivities, Upper(activity));
  if (!plain || FindActivity(activity) == nullptr || refused) {
    Refuse(422, "unknown activity " + activity + " (mervmodul --help lists them)");
  }
  return activity;
}

}  // namespace

std::string NewRequestId() {
  std::random_device random;
  std::string id;
  constexpr char Digits[] = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) id += Digits[random() & 0xFu];
  return id;
}

TCommandRequest ParseCommandRequest(const std::string& body, const std::string& line) {
  const json parsed = json::parse(body, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) Refuse(400, "the body is not a JSON object");
  TCommandRequest request;
  request.Record.Line = line;
  request.Record.Activity = ActivityOf(parsed);
  request.Record.Parameters = ParametersOf(parsed.value("parameters", json()));
  if (const auto id = parsed.find("request_id"); id != parsed.end() && !id->is_null()) {
    if (!id->is_string() || !IsPlainName(id->get<std::string>())) {
      Refuse(400, "\"request_id\" is 1 to 64 letters, digits, '.', '_' and '-'");
    }
    request.Record.RequestId = id->get<std::string>();
  } else {
    request.Record.RequestId = NewRequestId();
  }
  if (const auto wait = parsed.find("wait"); wait != parsed.end()) {
    if (!wait->is_boolean()) Refuse(400, "\"wait\" is true or false");
    request.Wait = wait->get<bool>();
  }
  request.Record.Accepted = TCommandRecord::Clock::now();
  return request;
}
