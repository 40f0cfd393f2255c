#include "tools/mervd/daemon_config.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "base/file_name.h"
#include "base/ini_file.h"
#include "base/input_file.h"
#include "base/split_text.h"

namespace {

constexpr std::uint64_t MaxConfigSize = 1 << 20;
constexpr std::string_view LinePrefix = "line ";
constexpr std::size_t MaxNameLength = 64;

[[noreturn]] void Fail(const std::string& source, const std::string& where, const std::string& what) {
  throw std::runtime_error(source + ": [" + where + "]: " + what);
}

long NumberOf(const TIniFile& ini, const std::string& source, const std::string& name, long fallback, long low,
              long high) {
  const auto value = ini.Value("mervd", name);
  if (!value || value->empty()) return fallback;
  std::size_t used = 0;
  long number = 0;
  try {
    number = std::stol(*value, &used);
  } catch (const std::logic_error&) {
    used = 0;
  }
  if (used != value->size() || number < low || number > high) {
    Fail(source, "mervd",
         name + " = " + *value + " is not a number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return number;
}

void ReadListen(const std::string& listen, const std::string& source, TDaemonConfig& config) {
  const auto colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) Fail(source, "mervd", "listen = " + listen + " is not ADDRESS:PORT");
  config.ListenHost = listen.substr(0, colon);
  if (config.ListenHost.size() > 2 && config.ListenHost.front() == '[' && config.ListenHost.back() == ']') {
    config.ListenHost = config.ListenHost.substr(1, config.ListenHost.size() - 2);
  }
  const std::string port = listen.substr(colon + 1);
  const bool digits = !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
  if (!digits || std::stoi(port) > 65535) Fail(source, "mervd", "listen = " + listen + ": the port is not 0 to 65535");
  config.ListenPort = std::stoi(port);
}

TLineConfig ReadLine(const TIniFile& ini, const std::string& section, const std::string& source) {
  TLineConfig line;
  line.Name = section.substr(LinePrefix.size());
  if (!IsPlainName(line.Name)) Fail(source, section, "a line's name is letters, digits, '.', '_' and '-'");
  line.Folder = ini.Value(section, "folder").value_or("");
  if (line.Folder.empty()) Fail(source, section, "folder = is missing");
  const std::string connection = ini.Value(section, "connection").value_or("");
  for (const auto token : SplitText(connection, ' ')) {
    if (token.empty()) continue;
    if (token.front() != '/') {
      Fail(source, section, "connection = takes parameters such as /COM=1 /BR=2: " + std::string(token));
    }
    line.Connection.emplace_back(token);
  }
  line.Model = ini.Value(section, "model").value_or("");
  return line;
}

// Two lines in one folder would take each other's outcome files and
// records: a retried request could get the other line's record.
void RefuseSharedFolder(const TDaemonConfig& config, const TLineConfig& line, const std::string& section,
                        const std::string& source) {
  for (const auto& other : config.Lines) {
    if (NameTheSameFolder(other.Folder, line.Folder)) {
      Fail(source, section, "folder = " + line.Folder + " is the folder of line " + other.Name + " too");
    }
  }
}

}  // namespace

bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > MaxNameLength || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
  });
}

const TLineConfig* TDaemonConfig::FindLine(const std::string& name) const {
  for (const auto& line : Lines) {
    if (line.Name == name) return &line;
  }
  return nullptr;
}

TDaemonConfig ParseDaemonConfig(const std::string& text, const std::string& source) {
  const TIniFile ini = TIniFile::FromText(text);
  TDaemonConfig config;
  if (const auto listen = ini.Value("mervd", "listen"); listen && !listen->empty()) ReadListen(*listen, source, config);
  config.TokenFile = ini.Value("mervd", "token_file").value_or("");
  if (config.TokenFile.empty()) Fail(source, "mervd", "token_file = is missing");
  config.ModulePath = ini.Value("mervd", "module").value_or("");
  if (config.ModulePath.empty()) Fail(source, "mervd", "module = is missing (the module's full path)");
  config.KeepOutcomes = std::chrono::hours(NumberOf(ini, source, "keep_outcomes_hours", 168, 1, 24 * 366));
  config.QueueLimit = static_cast<std::size_t>(NumberOf(ini, source, "queue_limit", 16, 1, 10000));
  config.CommandLimit = std::chrono::seconds(NumberOf(ini, source, "command_seconds", 900, 1, 24 * 3600));
  config.RequestLimit = std::chrono::seconds(NumberOf(ini, source, "request_seconds", 10, 1, 600));
  config.AllowedOrigin = ini.Value("mervd", "allowed_origin").value_or("");
  for (const auto& section : ini.Sections()) {
    if (section.rfind(LinePrefix, 0) != 0) continue;
    TLineConfig line = ReadLine(ini, section, source);
    if (config.FindLine(line.Name)) Fail(source, section, "a second line of this name");
    RefuseSharedFolder(config, line, section, source);
    config.Lines.push_back(std::move(line));
  }
  if (config.Lines.empty()) Fail(source, "line NAME", "no line is configured");
  return config;
}

TDaemonConfig LoadDaemonConfig(const std::string& path) {
  return ParseDaemonConfig(ReadInputFile(path, MaxConfigSize), path);
}
