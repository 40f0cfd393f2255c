// Every installed program answers --help and --version alike, refuses an
// option it does not know, and takes "--option=value" as "--option value".
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/process_values.h"
#include "test_support.h"

namespace {

struct Program {
  std::filesystem::path path;
  std::string name;
  /// The exit status of an unknown option.
  int usageStatus;
  /// An option with its value; empty for a program without one.
  std::vector<std::string> valued;
};

std::vector<Program> InstalledPrograms() {
  const std::filesystem::path sourceDir = MERV_SOURCE_DIR;
  std::vector<Program> programs = {
      {MERVMODUL_EXE, "mervmodul", 2, {"--explain", "5"}},
      {KLLOG_EXE, "kllog", 2, {}},
      {MERVSIM_EXE, "mervsim", 2, {"--model", "999"}},
      {MERVFLEET_EXE, "mervfleet", 2, {"--jobs", "x"}},
      {sourceDir / "scripts" / "mervmodul-instance", "mervmodul-instance", 2, {}},
  };
#ifdef VYRNAK_EXE
  programs.push_back({VYRNAK_EXE, "vyrnak", 1, {}});
#endif
  return programs;
}

TEST(ProgramOptions, EveryProgramTellsItsVersionAndItsUsageAlike) {
  for (const auto& program : InstalledPrograms()) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--version"}, {"--version", "x"}}) {
      const auto run = RunProcess(program.path, arguments);
      EXPECT_EQ(run.exitStatus, 0) << program.name;
      EXPECT_EQ(run.standardOutput, program.name + " " + ProgramVersion + "\n") << program.name;
      EXPECT_EQ(run.standardError, "") << program.name;
    }
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"-h"}, {"--help", "--no-such-option"}}) {
      const auto run = RunProcess(program.path, arguments);
      EXPECT_EQ(run.exitStatus, 0) << program.name << " " << arguments[0];
      EXPECT_TRUE(run.standardOutput.starts_with("Usage: " + program.name + " ")) << run.standardOutput;
      EXPECT_NE(run.standardOutput.find("--help | --version"), std::string::npos) << program.name;
      EXPECT_EQ(run.standardError, "") << program.name;
    }
    const auto unknown = RunProcess(program.path, {"--no-such-option"});
    EXPECT_EQ(unknown.exitStatus, program.usageStatus) << program.name;
    EXPECT_EQ(unknown.standardOutput, "") << program.name;
    EXPECT_NE(unknown.standardError, "") << program.name;
  }
}

TEST(ProgramOptions, AValueJoinedWithAnEqualsSignCountsAsTheNextArgument) {
  for (const auto& program : InstalledPrograms()) {
    if (program.valued.empty()) continue;
    const auto apart = RunProcess(program.path, program.valued);
    const auto joined = RunProcess(program.path, {program.valued[0] + "=" + program.valued[1]});
    EXPECT_EQ(joined.exitStatus, apart.exitStatus) << program.name;
    EXPECT_EQ(joined.standardOutput, apart.standardOutput) << program.name;
    EXPECT_EQ(joined.standardError, apart.standardError) << program.name;
    EXPECT_NE((apart.standardOutput + apart.standardError).find(program.valued[1]), std::string::npos)
        << program.name << ": the value is read";
  }
}

}  // namespace

// The version is defined once, in CMake (MERV_VERSION); the programs, the
// packages, the Debian changelog and the MSI take it from there. The texts
// that cannot be generated (the README, the documents, the manual page and
// the instance script, which are read and run as they stand) must name it
// as it is: each version-like text in them is the version.
TEST(ProgramOptions, TheDocumentsNameTheVersionTheBuildDefines) {
  const std::filesystem::path sourceDir = MERV_SOURCE_DIR;
  std::vector<std::filesystem::path> texts = {sourceDir / "README.md", sourceDir / "man" / "mervmodul.1",
                                              sourceDir / "scripts" / "mervmodul-instance"};
  for (const auto& entry : std::filesystem::directory_iterator(sourceDir / "docs")) {
    if (entry.path().extension() == ".md") texts.push_back(entry.path());
  }
  const std::regex versionLike(R"((^|[^0-9.])([0-9]\.[0-9]{2}\.[0-9]{2})([^0-9.]|$))");
  for (const auto& text : texts) {
    const std::string content = ReadFileBytes(text);
    int named = 0;
    for (std::sregex_iterator it(content.begin(), content.end(), versionLike), end; it != end; ++it, ++named) {
      EXPECT_EQ((*it)[2].str(), ProgramVersion) << text;
    }
    if (text.extension() != ".md" || text.filename() == "README.md") {
      EXPECT_GT(named, 0) << text;
    }
  }
}
