// Windows: an earlier "error.dat" that is read-only or held open by another
// process is never left to be read as a new command's outcome. The command
// either writes its own outcome, or does not run at all and says so.
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/command_processor.h"
#include "base/communication_log.h"
#include "base/file_name.h"
#include "base/run_context.h"
#include "base/wide_name_win32.h"
#include "test_support.h"

namespace {

// "/COM=" that is not a number: error 2, found before any line is opened;
// "/JSON" before it, so that a command that ran leaves "error.json".
constexpr const char* FailingCommand = "R03 /JSON /COM=x /ECR=465 /";
constexpr const char* OldSuccess = " 0\r\n";

HANDLE OpenSharing(const std::filesystem::path& file, DWORD sharing) {
  return CreateFileW(file.wstring().c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

struct EarlierOutcome {
  const char* what;
  bool readOnly;
  DWORD heldWithSharing;  // 0: not held
  bool mustBeWritten;     // as on POSIX, where a file's mode does not keep its name
};

TEST(OutcomeFile, AnEarlierOutcomeThatCannotBeReplacedIsNeverTakenForTheNewOne) {
  const EarlierOutcome cases[] = {
      {"read-only", true, 0, true},
      {"held sharing reading only", false, FILE_SHARE_READ, false},
      {"held sharing everything", false, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
  };
  for (const auto& earlier : cases) {
    TempDir folder;
    const auto outcome = folder / "error.dat";
    WriteFileBytes(outcome, OldSuccess);
    if (earlier.readOnly) {
      ASSERT_TRUE(SetFileAttributesW(outcome.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    }
    HANDLE holder = earlier.heldWithSharing != 0 ? OpenSharing(outcome, earlier.heldWithSharing) : nullptr;
    ASSERT_NE(holder, INVALID_HANDLE_VALUE) << earlier.what;

    TCommunicationLog log;
    const TProgramSetup setup{NameFromPath(folder.path()) + "\\", log};
    const TRunContext run(setup.ProgramFolder, log);
    const CommandOutcome ended = RunCommandInTurn(setup, FailingCommand);
    if (holder != nullptr) CloseHandle(holder);

    if (earlier.mustBeWritten) {
      EXPECT_EQ(ended, CommandOutcome::Written) << earlier.what;
    }
    if (ended == CommandOutcome::Written) {
      EXPECT_EQ(LinesOf(ReadFileBytes(outcome)).at(0), " 2") << earlier.what;
    } else {
      EXPECT_EQ(ended, CommandOutcome::NotWritten) << earlier.what;
      EXPECT_FALSE(std::filesystem::exists(folder / "error.json")) << earlier.what << ": the command ran";
    }
    SetFileAttributesW(outcome.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
