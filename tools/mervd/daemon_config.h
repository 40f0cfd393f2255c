#pragma once
// TDaemonConfig: what mervd serves, read from its configuration file (INI):
//
//   [mervd]
//   listen = 127.0.0.1:8080          address and port (the default)
//   token_file = /var/lib/mervd/token
//   module = /usr/lib/mervmodul/mervmodul
//   keep_outcomes_hours = 168         how long an outcome answers a repeat
//   queue_limit = 16                  commands waiting per line (429 beyond)
//   command_seconds = 900             a command's run is ended after this
//   request_seconds = 10              a client must have sent its request by then
//   allowed_origin =                  a web origin allowed to call (none)
//
//   [line kasa1]
//   folder = /srv/shop/line1
//   connection = /IPADDR=192.168.1.50 /IPPORT=4001
//   model = 465
//
// A missing or wrong value fails the load with a message naming the file,
// the section and the entry.
#include <chrono>
#include <string>
#include <vector>

struct TLineConfig {
  std::string Name;
  std::string Folder;
  /// The line's connection parameters, one token each ("/COM=1", "/BR=2").
  std::vector<std::string> Connection;
  /// The model code given as /ECR=; empty when the line's settings name it.
  std::string Model;
};

struct TDaemonConfig {
  std::string ListenHost = "127.0.0.1";
  int ListenPort = 8080;
  std::string TokenFile;
  std::string ModulePath;
  std::chrono::hours KeepOutcomes{168};
  std::size_t QueueLimit = 16;
  std::chrono::seconds CommandLimit{900};
  std::chrono::seconds RequestLimit{10};
  std::string AllowedOrigin;
  std::vector<TLineConfig> Lines;

  const TLineConfig* FindLine(const std::string& name) const;
};

/// Parses the configuration text; `source` names it in messages.
TDaemonConfig ParseDaemonConfig(const std::string& text, const std::string& source);

/// Reads and parses the configuration file.
TDaemonConfig LoadDaemonConfig(const std::string& path);

/// True for a name a line, a request or a file may have in a URL: 1 to 64
/// letters, digits, ".", "_" and "-", not beginning with ".".
bool IsPlainName(const std::string& name);
