// The mervmodul command on PATH (packaging/mervmodul.in) runs the module only
// with a line folder, or for an option or the about mode; it refuses a
// command with the way to a line folder. Here it runs a stand-in module that
// records its arguments and the program folder it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int UsageStatus = 2;
constexpr int StandInStatus = 7;

class PathCommand : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(moduleDir());
    // The stand-in writes one line for MERV_PROGRAM_DIR ("unset" when it is
    // not in the environment), then one for each argument.
    WriteFileBytes(moduleDir() / "mervmodul",
                   "#!/bin/sh\n"
                   "{ printf '%s\\n' \"${MERV_PROGRAM_DIR-unset}\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                   " >\"$(dirname \"$0\")/record\"\n"
                   "exit 7\n");
    std::string launcher = ReadFileBytes(fs::path(MERV_SOURCE_DIR) / "packaging" / "mervmodul.in");
    for (auto at = launcher.find(Placeholder); at != std::string::npos; at = launcher.find(Placeholder)) {
      launcher.replace(at, Placeholder.size(), moduleDir().string());
    }
    WriteFileBytes(command(), launcher);
    for (const fs::path& program : {moduleDir() / "mervmodul", command()}) {
      fs::permissions(program, fs::perms::owner_all);
    }
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directories(dir_ / "line");
    WriteFileBytes(dir_ / "line" / "mervmodul", "#!/bin/sh\n");
    fs::permissions(dir_ / "line" / "mervmodul", fs::perms::owner_all);
  }

  fs::path moduleDir() const { return dir_ / "lib" / "mervmodul"; }
  fs::path command() const { return dir_ / "mervmodul"; }
  // What the stand-in recorded: the program folder, then the arguments;
  // empty when it did not run.
  std::vector<std::string> Recorded() const {
    const fs::path record = moduleDir() / "record";
    return fs::exists(record) ? LinesOf(ReadFileBytes(record)) : std::vector<std::string>{};
  }

  static constexpr std::string_view Placeholder = "@MERV_MODULE_DIR@";
  TempDir dir_;
};

struct TPathCase {
  const char* Name;
  std::vector<std::string> Arguments;
  const char* ProgramDir;  // MERV_PROGRAM_DIR, or nullptr for none
  const char* Folder;      // the working folder, under the test's folder
  // The stand-in's record (program folder, then arguments; "HERE" is the
  // working folder), or empty when the command is refused.
  std::vector<std::string> Record;
  const char* ErrorHas;  // a text standard error holds, or nullptr for none at all
};

TEST_F(PathCommand, RunsTheModuleOnlyWhereItWritesNothingBesideItself) {
  const std::vector<TPathCase> cases = {
      {"a command without a line folder", {"R03", "/BR=x"}, nullptr, "elsewhere", {}, "mervmodul-instance DIR"},
      {"the resident mode without a line folder",
       {"DOSMODE", "c.txt"},
       nullptr,
       "elsewhere",
       {},
       "DIR/mervmodul ACTIVITY"},
      {"a command in a line folder names its launcher", {"R03"}, nullptr, "line", {}, "launcher: ./mervmodul ACTIVITY"},
      {"an empty MERV_PROGRAM_DIR names no folder", {"R03"}, "", "elsewhere", {}, "mervmodul-instance"},
      {"an empty first argument is no option", {"", "R03"}, nullptr, "elsewhere", {}, "mervmodul-instance"},
      {"a named line folder",
       {"R03", "/FILE=a b.txt"},
       "/srv/line1",
       "elsewhere",
       {"/srv/line1", "R03", "/FILE=a b.txt"},
       nullptr},
      {"the resident mode in a named line folder",
       {"DOSMODE", "c.txt"},
       "/srv/line1",
       "elsewhere",
       {"/srv/line1", "DOSMODE", "c.txt"},
       nullptr},
      {"--version", {"--version"}, nullptr, "elsewhere", {"unset", "--version"}, nullptr},
      {"--explain with a number", {"--explain", "4"}, nullptr, "elsewhere", {"unset", "--explain", "4"}, nullptr},
      {"--explain of the current folder", {"--explain"}, nullptr, "line", {"HERE", "--explain"}, nullptr},
      {"an unknown option reaches the module", {"-x", "R03"}, nullptr, "elsewhere", {"unset", "-x", "R03"}, nullptr},
      {"the about mode", {}, nullptr, "elsewhere", {"unset"}, "mervmodul-instance --help"},
  };
  for (const TPathCase& row : cases) {
    SCOPED_TRACE(row.Name);
    fs::remove(moduleDir() / "record");
    const fs::path folder = dir_ / row.Folder;
    std::map<std::string, std::string> environment;
    if (row.ProgramDir != nullptr) environment.emplace("MERV_PROGRAM_DIR", row.ProgramDir);
    const auto run = RunProcess(command(), row.Arguments, environment, folder);
    std::vector<std::string> expected = row.Record;
    for (auto& line : expected) {
      if (line == "HERE") line = fs::canonical(folder).string();
    }
    EXPECT_EQ(Recorded(), expected);
    EXPECT_EQ(run.exitStatus, expected.empty() ? UsageStatus : StandInStatus);
    EXPECT_EQ(run.standardOutput, "");
    if (row.ErrorHas == nullptr) {
      EXPECT_EQ(run.standardError, "");
    } else {
      EXPECT_NE(run.standardError.find(row.ErrorHas), std::string::npos) << run.standardError;
    }
    if (expected.empty()) {
      EXPECT_EQ(run.standardError.find("launcher: ./mervmodul") != std::string::npos, std::string(row.Folder) == "line")
          << run.standardError;
    }
  }
}

}  // namespace
