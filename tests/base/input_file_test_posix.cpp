// Files read through the one door for inputs: regular files only, opened
// without blocking, never beyond the caller's size bound, links refused where
// the caller refuses them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "base/communication_log.h"
#include "base/run_context.h"
#include "base/input_file.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(InputFile, ReadsARegularFileOrAFileALinkNames) {
  TempDir folder;
  WriteFileBytes(folder / "in.txt", "line\r\nmore");
  fs::create_symlink("in.txt", folder / "link");
  EXPECT_EQ(ReadInputFile((folder / "in.txt").string(), 10), "line\r\nmore");
  EXPECT_EQ(ReadInputFile((folder / "link").string(), 10), "line\r\nmore");
  TInputFile part((folder / "in.txt").string(), 100, InputLinks::Refuse);
  EXPECT_EQ(part.Size(), 10u);
  EXPECT_EQ(part.ReadUpTo(4), "line");
  EXPECT_EQ(part.ReadAll(), "\r\nmore");
}

// Every refusal comes at once (a FIFO without a writer would block a
// blocking open for good) and names its reason by its error number.
TEST(InputFile, RefusesAnythingButARegularFileWithinItsBound) {
  TempDir folder;
  WriteFileBytes(folder / "big", std::string(1001, 'x'));
  WriteFileBytes(folder / "real", "x");
  fs::create_symlink("real", folder / "link");
  fs::create_symlink("nowhere", folder / "dangling");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  fs::create_directory(folder / "dir");
  const struct {
    const char* name;
    InputLinks links;
    int error;
  } cases[] = {
      {"big", InputLinks::Follow, EFBIG},       {"missing", InputLinks::Follow, ENOENT},
      {"dangling", InputLinks::Follow, ENOENT}, {"link", InputLinks::Refuse, EINVAL},
      {"pipe", InputLinks::Follow, EINVAL},     {"dir", InputLinks::Follow, EINVAL},
  };
  for (const auto& c : cases) {
    const auto started = std::chrono::steady_clock::now();
    try {
      ReadInputFile((folder / c.name).string(), 1000, c.links);
      ADD_FAILURE() << c.name << " was read";
    } catch (const std::system_error& failure) {
      EXPECT_EQ(failure.code().value(), c.error) << c.name << ": " << failure.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.name;
  }
  EXPECT_THROW(ReadInputFile("/dev/zero", 1 << 20), std::system_error) << "a device delivers without end";
}

TEST(InputFile, AFileThatGrowsBeyondItsBoundAfterOpeningFails) {
  TempDir folder;
  WriteFileBytes(folder / "growing", "1234");
  TInputFile in((folder / "growing").string(), 8);
  {
    const int fd = ::open((folder / "growing").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "56789", 5), 5);
    ::close(fd);
  }
  EXPECT_THROW(in.ReadAll(), std::system_error);
}

TEST(FileEntry, TellsKindsAndChangesApartWithoutFollowingLinks) {
  TempDir folder;
  WriteFileBytes(folder / "file", "one");
  fs::create_symlink("file", folder / "link");
  fs::create_directory(folder / "dir");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  using Kind = TFileEntry::Kind;
  EXPECT_EQ(LookAtEntry((folder / "file").string()).kind, Kind::Regular);
  EXPECT_EQ(LookAtEntry((folder / "link").string()).kind, Kind::Link);
  EXPECT_EQ(LookAtEntry((folder / "dir").string()).kind, Kind::Directory);
  EXPECT_EQ(LookAtEntry((folder / "pipe").string()).kind, Kind::Other);
  EXPECT_EQ(LookAtEntry((folder / "none").string()).kind, Kind::Missing);

  const TFileEntry before = LookAtEntry((folder / "file").string());
  EXPECT_TRUE(before.SameFileAs(LookAtEntry((folder / "file").string())));
  WriteFileBytes(folder / "file", "two!");
  EXPECT_FALSE(before.SameFileAs(LookAtEntry((folder / "file").string()))) << "a new size";
}

// The log's name is the module's own: a link planted under it is not
// followed (the file it names stays untouched), and a FIFO nobody reads
// fails the line at once instead of blocking the module for good.
TEST(CommunicationLog, ALinkOrAFifoUnderTheLogsNameFailsTheLineAtOnce) {
  TempDir folder;
  WriteFileBytes(folder / "secret", "theirs");
  fs::create_symlink(folder / "secret", folder / "KL.log");
  TCommunicationLog log;
  const TRunContext run(folder.path().string(), log);
  log.CipheredPath = (folder / "KL.log").string();
  EXPECT_THROW(LogLine("x"), std::runtime_error);
  EXPECT_EQ(ReadFileBytes(folder / "secret"), "theirs");
  fs::remove(folder / "KL.log");
  ASSERT_EQ(::mkfifo((folder / "KL.log").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(LogLine("x"), std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
