// Every installed program answers --version on standard output with status 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace {

TEST(ProgramVersions, EveryInstalledProgramTellsItsVersion) {
  const std::filesystem::path sourceDir = MERV_SOURCE_DIR;
  std::vector<std::pair<std::filesystem::path, std::string>> programs = {
      {MERVMODUL_EXE, "mervmodul 3.04.05\n"},
      {KLLOG_EXE, "kllog 3.04.05\n"},
      {MERVSIM_EXE, "mervsim 3.04.05\n"},
      {sourceDir / "scripts" / "mervmodul-instance", "mervmodul-instance 3.04.05\n"}};
#ifdef VYRNAK_EXE
  programs.emplace_back(VYRNAK_EXE, "vyrnak 3.04.05\n");
#endif
  for (const auto& [program, expected] : programs) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--version"}, {"--version", "x"}}) {
      const auto run = RunProcess(program, arguments);
      EXPECT_EQ(run.exitStatus, 0) << program;
      EXPECT_EQ(run.standardOutput, expected) << program;
      EXPECT_EQ(run.standardError, "") << program;
    }
  }
}

}  // namespace
