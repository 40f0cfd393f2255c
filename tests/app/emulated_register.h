#pragma once
// The module's executable, copied into a fresh folder, run against the
// register emulator over TCP: whole commands judged by "error.dat" and the
// files they write.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

#ifdef MERVSIM_EXE

inline std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

inline std::vector<std::string> Fields(const std::string& line, char separator = ';') {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t end; (end = line.find(separator, start)) != std::string::npos; start = end + 1) {
    fields.push_back(line.substr(start, end - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

/// A path in the form a command writes it, with backslashes.
inline std::string CommandPath(const std::filesystem::path& path) {
  std::string text = path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

class EmulatedRegisterTest : public ::testing::Test {
protected:
  static constexpr int PluCount = 40;

  void SetUp() override { std::filesystem::copy_file(MERVMODUL_EXE, folder_ / "mervmodul"); }

  void StartRegister(std::vector<std::string> options = {}) {
    register_.reset();
    options.insert(options.end(), {"--plu-count", std::to_string(PluCount)});
    register_ = std::make_unique<SimulatedRegister>(options);
  }

  /// Runs one command; returns the code of "error.dat".
  std::string Run(const std::string& activity, std::vector<std::string> parameters = {}) {
    std::vector<std::string> arguments{activity, "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(register_->Port()),
                                       "/ECR=465", "/TO=2000"};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    auto environment = environment_;
    environment["XDG_CONFIG_HOME"] = folder_.path().string();
    const auto result = RunProcess(folder_ / "mervmodul", arguments, environment, folder_.path());
    EXPECT_EQ(result.exitStatus, 0);
    const auto outcome = TextLines(ReadFileBytes(folder_ / "error.dat"));
    return outcome.empty() ? std::string() : outcome[0];
  }

  std::string File(const std::string& name) const { return ReadFileBytes(folder_ / name); }
  std::vector<std::string> FileLines(const std::string& name) const { return TextLines(File(name)); }

  TempDir folder_;
  /// Extra environment of the commands.
  std::map<std::string, std::string> environment_;
  std::unique_ptr<SimulatedRegister> register_;
};

#endif  // MERVSIM_EXE
