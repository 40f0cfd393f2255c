// Starting a program detached: a program that runs is started and left
// running; one that is missing or cannot be executed is reported, not taken
// for a start.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "base/detached_start.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* ProgramSuffix = ".exe";
#else
constexpr const char* ProgramSuffix = "";
#endif

// The stand-in records its arguments beside itself; wait for them, bounded.
std::vector<std::string> RecordedArguments(const fs::path& folder) {
  const auto record = folder / "viewer-args.txt";
  for (int i = 0; i < 600 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return LinesOf(ReadFileBytes(record));
}

TEST(DetachedStartTest, StartsAProgramWithItsArguments) {
  TempDir folder;
  const fs::path program = folder / (std::string("started") + ProgramSuffix);
  fs::copy_file(VIEWER_STAND_IN_EXE, program);
  fs::permissions(program, fs::perms::owner_all);
  EXPECT_TRUE(StartDetached({{program.string(), "FILE", "tisk.tmp"}, false, true}));
  EXPECT_EQ(RecordedArguments(folder.path()), (std::vector<std::string>{"FILE", "tisk.tmp"}));
}

TEST(DetachedStartTest, AProgramThatCannotBeStartedIsReported) {
  TempDir folder;
  const fs::path notExecutable = folder / (std::string("plain") + ProgramSuffix);
  WriteFileBytes(notExecutable, "#!/bin/sh\nexit 0\n");
  fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
  struct Case {
    const char* name;
    TDetachedStart start;
  };
  const Case cases[] = {
      {"missing", {{(folder / "missing").string(), "FILE"}, false, true}},
      {"missing on the search path", {{"merv-no-such-program", "FILE"}, true, false}},
#ifndef _WIN32
      // Windows has no execute permission to take away.
      {"not executable", {{notExecutable.string(), "FILE"}, false, true}},
#endif
      {"no program named", {{}, false, false}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_FALSE(StartDetached(test.start));
  }
}

#ifndef _WIN32
// A launcher that ignores SIGCHLD passes that on: the system then reaps the
// module's children itself and their exit status is lost. A start is still
// told from a failed one.
TEST(DetachedStartTest, IsToldRightlyWhenChildrenAreReapedBySystem) {
  TempDir folder;
  const fs::path program = folder / "started";
  fs::copy_file(VIEWER_STAND_IN_EXE, program);
  fs::permissions(program, fs::perms::owner_all);
  const auto previous = std::signal(SIGCHLD, SIG_IGN);
  const bool missingStarted = StartDetached({{(folder / "missing").string(), "FILE"}, false, true});
  const bool programStarted = StartDetached({{program.string(), "FILE"}, false, true});
  std::signal(SIGCHLD, previous);
  EXPECT_FALSE(missingStarted);
  EXPECT_TRUE(programStarted);
  EXPECT_EQ(RecordedArguments(folder.path()), std::vector<std::string>{"FILE"});
}
#endif

}  // namespace
