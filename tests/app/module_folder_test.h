#pragma once
// The fixtures of the tests that run whole commands of the module's
// executable: a folder holding a copy of it, where commands run as a shop
// application runs them, and what they leave there read back; and the same
// with the register emulator on a loopback port, its wire log read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

#if defined(MERVMODUL_EXE) && defined(MERVSIM_EXE)

class ModuleFolderTest : public ::testing::Test {
protected:
  void SetUp() override { std::filesystem::copy_file(MERVMODUL_EXE, folder_ / "mervmodul"); }

  /// Runs the module in the folder, its settings the folder's own.
  ProcessResult RunModule(const std::vector<std::string>& arguments,
                          std::map<std::string, std::string> environment = {}) const {
    environment.emplace("XDG_CONFIG_HOME", folder_.path().string());
    return RunProcess(folder_ / "mervmodul", arguments, environment, folder_.path());
  }

  /// The first line of "error.dat" (" 0" for success), empty when there is none.
  std::string Outcome() const {
    const auto outcome = LinesOf(ReadFileBytes(folder_ / "error.dat"));
    return outcome.empty() ? std::string() : outcome[0];
  }

  std::string File(const std::string& name) const { return ReadFileBytes(folder_ / name); }

  /// What the emulator's wire log says it received, one frame or byte a line
  /// (its "recv " lines without the mark).
  std::vector<std::string> ReceivedInWireLog() const {
    std::vector<std::string> received;
    for (const auto& line : LinesOf(ReadFileBytes(wireLog_))) {
      if (line.starts_with("recv ")) received.push_back(line.substr(5));
    }
    return received;
  }

  /// Starts the emulator into `emulator` (stopping the one there first) on a
  /// pseudo-terminal linked at COM1's device, logging to the wire log.
  void StartOnComLine(std::unique_ptr<BackgroundProcess>& emulator, const std::vector<std::string>& options) {
    emulator.reset();
    std::filesystem::remove(wireLog_);
    std::vector<std::string> arguments{"--pty", "--link", comDevice_.string(), "--log", wireLog_.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    emulator = std::make_unique<BackgroundProcess>(MERVSIM_EXE, arguments);
    ASSERT_NE(emulator->FirstLine().find("pty"), std::string::npos) << emulator->FirstLine();
  }

  /// Runs the module in the folder with COM1 on the emulator's pseudo-terminal.
  ProcessResult RunModuleOnCom(const std::vector<std::string>& arguments) const {
    return RunModule(arguments, {{"MERV_COM1", comDevice_.string()}});
  }

  TempDir folder_;
  std::filesystem::path wireLog_ = folder_ / "wire.log";
  std::filesystem::path comDevice_ = folder_ / "com1";
};

class RegisterCommandTest : public ModuleFolderTest {
protected:
  /// Starts the emulator with demo data, logging to the wire log; `options`
  /// go after `first`, so that they may change what `first` sets.
  void StartRegister(std::vector<std::string> first, const std::vector<std::string>& options) {
    register_.reset();
    std::filesystem::remove(wireLog_);
    first.insert(first.end(), {"--log", wireLog_.string()});
    first.insert(first.end(), options.begin(), options.end());
    register_ = std::make_unique<SimulatedRegister>(first);
  }

  /// A command to the emulator over TCP (to `fallbackPort` while none runs).
  std::vector<std::string> TcpArguments(const std::string& activity, const std::vector<std::string>& parameters,
                                        int fallbackPort = 1) const {
    std::vector<std::string> arguments{activity, "/IPADDR=127.0.0.1",
                                       "/IPPORT=" + std::to_string(register_ ? register_->Port() : fallbackPort),
                                       "/ECR=465", "/TO=500"};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    return arguments;
  }

  /// The frames the emulator received, as "E9 00 03 EA 2A", once it is done
  /// with every command run so far.
  std::vector<std::string> ReceivedFrames() const {
    if (!std::filesystem::exists(wireLog_)) return {};
    if (register_) register_->AwaitEarlierConnections(wireLog_);
    return ReceivedInWireLog();
  }

  std::unique_ptr<SimulatedRegister> register_;
};

#endif
