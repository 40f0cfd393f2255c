#pragma once
// Shared helpers of the test programs.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// A UTF-8 literal in the program's code page 1250, for comparing texts.
std::string Cp(std::string_view utf8);

/// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

struct ProcessResult {
  int exitStatus = -1;  // exit code, or -1 when the process did not exit normally
  std::string standardOutput;
  std::string standardError;
};

/// Runs a program to its end with the given arguments, extra environment
/// variables and working directory; standard input is empty.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {},
                         const std::filesystem::path& workingDirectory = {});

/// A program started in the background whose first line of standard output
/// is read at start; killed and reaped when the object goes.
class BackgroundProcess {
public:
  BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  /// The first line the program printed (without its line end), empty when
  /// it printed none within a few seconds.
  const std::string& FirstLine() const { return firstLine_; }

private:
  int pid_ = -1;
  std::string firstLine_;
};

/// The register emulator on a free loopback port; its port number.
class SimulatedRegister {
public:
  explicit SimulatedRegister(const std::vector<std::string>& options = {});
  int Port() const { return port_; }

  /// Returns once the emulator is done with every connection made before the
  /// call, its frames logged in `wireLog`: it serves one connection after the
  /// other, so a probe connection it takes shows that the earlier ones ended.
  void AwaitEarlierConnections(const std::filesystem::path& wireLog) const;

private:
  std::unique_ptr<BackgroundProcess> process_;
  int port_ = 0;
};

/// The error number of the failure `action` raises (read from its message,
/// 10 when it carries none); 0 when it raises nothing.
int ErrorNumberRaisedBy(const std::function<void()>& action);
