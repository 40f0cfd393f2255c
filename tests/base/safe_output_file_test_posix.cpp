// Files written beside their target and put in place only when complete:
// what is replaced, what is written in place, what is refused, and that no
// temporary file outlives a failure.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <set>

#include "base/communication_log.h"
#include "base/exclusive_lock_file.h"
#include "base/run_context.h"
#include "base/safe_output_file.h"
#include "base/stop_request.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// A UNIX socket's name at `path` (the name stays after the socket closes).
fs::path MakeListeningSocket(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ADD_FAILURE() << "socket";
  if (fd >= 0) ::close(fd);
  return path;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// How the target exists before the write, and where the bytes must end up.
struct TargetCase {
  const char* what;
  std::function<fs::path(const fs::path& folder)> prepare;  // returns the path passed as target
  const char* finalName;                                    // file that must hold the bytes
  std::set<std::string> namesAfter;                         // folder contents afterwards
};

TEST(SafeOutputFile, ReplacesAFileOrTheRegularFileALinkNames) {
  const TargetCase cases[] = {
      {"new file", [](const fs::path& d) { return d / "out.txt"; }, "out.txt", {"out.txt"}},
      {"existing file",
       [](const fs::path& d) {
         WriteFileBytes(d / "out.txt", "old contents, longer than the new");
         return d / "out.txt";
       },
       "out.txt",
       {"out.txt"}},
      {"absolute link",
       [](const fs::path& d) {
         WriteFileBytes(d / "real.txt", "old");
         fs::create_symlink(d / "real.txt", d / "link.txt");
         return d / "link.txt";
       },
       "real.txt",
       {"real.txt", "link.txt"}},
      {"relative link into a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         WriteFileBytes(d / "sub" / "real.txt", "old");
         fs::create_symlink("sub/real.txt", d / "outer");
         return d / "outer";
       },
       "sub/real.txt",
       {"sub", "outer"}},
  };
  for (const auto& c : cases) {
    TempDir folder;
    const fs::path target = c.prepare(folder.path());
    const bool wasLink = fs::is_symlink(target);
    WriteFileSafely(target.string(), "new\r\n", LinkRule::FollowOnce);
    EXPECT_EQ(ReadFileBytes(folder / c.finalName), "new\r\n") << c.what;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / c.finalName))) << c.what;
    EXPECT_EQ(fs::is_symlink(target), wasLink) << c.what << ": a link stays a link";
    EXPECT_EQ(Names(folder.path()), c.namesAfter) << c.what;
  }
}

// Whatever is refused stays exactly as it was, and the folder holds no
// temporary file afterwards.
TEST(SafeOutputFile, RefusesWhatCannotBeReplacedOrIsNotAFileBehindALink) {
  // Each case makes "out" in a folder of its own; "real", where a case
  // makes it, is a file a link leads to.
  struct RefusedCase {
    const char* what;
    std::function<void(const fs::path& out)> make;
    LinkRule links;
  };
  const auto realFileBeside = [](const fs::path& out) { WriteFileBytes(out.parent_path() / "real", "old"); };
  const RefusedCase cases[] = {
      {"folder", [](const fs::path& out) { fs::create_directory(out); }, LinkRule::FollowOnce},
      {"socket", [](const fs::path& out) { MakeListeningSocket(out); }, LinkRule::FollowOnce},
      {"link to a link",
       [&](const fs::path& out) {
         realFileBeside(out);
         fs::create_symlink("real", out.parent_path() / "inner");
         fs::create_symlink("inner", out);
       },
       LinkRule::FollowOnce},
      {"dangling link", [](const fs::path& out) { fs::create_symlink("made", out); }, LinkRule::FollowOnce},
      {"link to a FIFO",
       [](const fs::path& out) {
         ::mkfifo((out.parent_path() / "pipe").c_str(), 0600);
         fs::create_symlink("pipe", out);
       },
       LinkRule::FollowOnce},
      {"link to a device", [](const fs::path& out) { fs::create_symlink("/dev/null", out); }, LinkRule::FollowOnce},
      {"link to a folder", [](const fs::path& out) { fs::create_symlink("/tmp", out); }, LinkRule::FollowOnce},
      {"link where links are refused (the default)",
       [&](const fs::path& out) {
         realFileBeside(out);
         fs::create_symlink("real", out);
       },
       LinkRule::Refuse},
      {"folder where links are replaced", [](const fs::path& out) { fs::create_directory(out); }, LinkRule::Replace},
  };
  for (const auto& c : cases) {
    TempDir folder;
    const fs::path target = folder / "out";
    c.make(target);
    const auto before = Names(folder.path());
    const auto kind = fs::symlink_status(target).type();
    EXPECT_THROW(WriteFileSafely(target.string(), "new", c.links), std::system_error) << c.what;
    EXPECT_EQ(Names(folder.path()), before) << c.what;
    EXPECT_EQ(fs::symlink_status(target).type(), kind) << c.what;
    if (fs::exists(folder / "real")) {
      EXPECT_EQ(ReadFileBytes(folder / "real"), "old") << c.what;
    }
  }
}

TEST(SafeOutputFile, ReplacedFileKeepsItsPermissionBits) {
  TempDir folder;
  WriteFileBytes(folder / "out.txt", "old");
  fs::permissions(folder / "out.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  WriteFileSafely((folder / "out.txt").string(), "new");
  EXPECT_EQ(fs::status(folder / "out.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Who may write a file after it was replaced: root's replacement keeps the
// owner and group; a group member's keeps the group, so that the file's owner,
// in that group too, may still write it. The member writes in a child
// process that has given up root.
TEST(SafeOutputFile, ReplacedFileKeepsItsOwnerAndGroupAsFarAsPermitted) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of other users need root";
  constexpr uid_t Nobody = 65534;
  constexpr gid_t Shared = 54321;  // no user has it as a main group
  struct Case {
    const char* what;
    uid_t owner, writer;
    gid_t group;
    uid_t ownerAfter;
  };
  const Case cases[] = {
      {"root replaces another user's file", Nobody, 0, Shared, Nobody},
      {"a member of the file's group replaces root's file", 0, Nobody, Shared, Nobody},
  };
  for (const auto& c : cases) {
    TempDir folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const fs::path file = folder / "out.txt";
    WriteFileBytes(file, "old");
    ASSERT_EQ(::chown(file.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const gid_t groups[] = {c.group};
      if (::setgroups(1, groups) != 0) _exit(2);
      if (c.writer != 0 && (::setgid(Nobody) != 0 || ::setuid(c.writer) != 0)) _exit(2);
      try {
        WriteFileSafely(file.string(), "new");
      } catch (const std::exception&) {
        _exit(1);
      }
      _exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.what;
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(ReadFileBytes(file), "new") << c.what;
    EXPECT_EQ(info.st_uid, c.ownerAfter) << c.what;
    EXPECT_EQ(info.st_gid, c.group) << c.what;
    EXPECT_EQ(info.st_mode & 0777, 0664u) << c.what;
  }
}

TEST(SafeOutputFile, ReadOnlyFileIsRefusedEvenForRoot) {
  TempDir folder;
  WriteFileBytes(folder / "out.txt", "old");
  fs::permissions(folder / "out.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_THROW(WriteFileSafely((folder / "out.txt").string(), "new"), std::system_error);
  EXPECT_EQ(ReadFileBytes(folder / "out.txt"), "old");
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"out.txt"});
}

TEST(SafeOutputFile, DeviceIsWrittenInPlaceAndStaysADevice) {
  TSafeOutputFile file("/dev/null");
  EXPECT_TRUE(file.WritesInPlace());
  file.Write("bytes");
  file.Commit();
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(SafeOutputFile, FifoIsWrittenInPlaceForItsReader) {
  TempDir folder;
  const fs::path fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The reader opens first (blocking until the writer comes), then reads all.
  auto reader = std::async(std::launch::async, [&] { return ReadFileBytes(fifo); });
  // The writer must not open before the reader: ENXIO means "not yet".
  std::unique_ptr<TSafeOutputFile> file;
  for (int attempt = 0; !file && attempt < 10000; ++attempt) {
    try {
      file = std::make_unique<TSafeOutputFile>(fifo.string());
    } catch (const std::system_error& failure) {
      ASSERT_EQ(failure.code().value(), ENXIO);
      ::usleep(1000);
    }
  }
  if (!file) {
    std::ofstream release(fifo);  // lets the reader finish
    FAIL() << "the FIFO never had its reader";
  }
  file->Write("through the pipe");
  file->Commit();
  file.reset();
  EXPECT_EQ(reader.get(), "through the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"pipe"});
}

TEST(SafeOutputFile, FifoWithoutReaderFailsAtOnce) {
  TempDir folder;
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  try {
    WriteFileSafely((folder / "pipe").string(), "lost");
    FAIL() << "a FIFO nobody reads was written";
  } catch (const std::system_error& failure) {
    EXPECT_EQ(failure.code().value(), ENXIO);
  }
  EXPECT_TRUE(fs::is_fifo(folder / "pipe"));
}

// A FIFO whose reader has opened it without blocking.
class SafeOutputFifo : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
  }

  TempDir folder;
  const fs::path fifo = folder / "pipe";
  int reader = -1;
};

// A reader that opens the FIFO and leaves without reading: the write fails
// with EPIPE and the process lives on (no SIGPIPE), within its time limit.
TEST_F(SafeOutputFifo, WhoseReaderLeavesFailsWithoutEndingTheProcess) {
  TSafeOutputFile file(fifo.string());
  ::close(reader);
  try {
    file.Write(std::string(200'000, 'x'));
    file.Commit();
    FAIL() << "a FIFO without its reader was written";
  } catch (const std::system_error& failure) {
    EXPECT_EQ(failure.code().value(), EPIPE);
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A reader that stays but never reads: the write gives up at the limit
// instead of blocking, and a stop request ends the wait earlier still.
TEST_F(SafeOutputFifo, WhoseReaderStopsReadingFailsAtTheLimitOrAStop) {
  TCommunicationLog log;
  TRunContext run({}, log);
  run.SetInPlaceWriteLimit(std::chrono::milliseconds(300));
  for (const bool stop : {false, true}) {
    if (stop) RequestStop();
    const auto started = std::chrono::steady_clock::now();
    try {
      WriteFileSafely(fifo.string(), std::string(1 << 20, 'x'));
      ADD_FAILURE() << "a megabyte went into a FIFO nobody reads";
    } catch (const std::system_error& failure) {
      EXPECT_EQ(failure.code().value(), stop ? EINTR : ETIMEDOUT);
    }
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(5)) << "stop " << stop;
    ClearStopRequest();
  }
  ::close(reader);
}

TEST(SafeOutputFile, PlantedNamesAreNeverOpened) {
  TempDir folder;
  TempDir elsewhere;
  WriteFileBytes(elsewhere / "victim", "theirs");
  // The name the module used to use, and a guess at the pattern.
  fs::create_symlink(elsewhere / "victim", folder / "out.txt.~mervtmp");
  fs::create_symlink(elsewhere / "victim", folder / "out.txt.~mervtmp000000000000");
  TSafeOutputFile first((folder / "out.txt").string());
  TSafeOutputFile second((folder / "out.txt").string());
  EXPECT_NE(first.WorkingPath(), second.WorkingPath());
  for (const auto* file : {&first, &second}) {
    EXPECT_EQ(fs::path(file->WorkingPath()).parent_path(), folder.path());
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file->WorkingPath())));
  }
  first.Write("mine");
  first.Commit();
  EXPECT_EQ(ReadFileBytes(elsewhere / "victim"), "theirs");
  EXPECT_EQ(ReadFileBytes(folder / "out.txt"), "mine");
}

TEST(SafeOutputFile, UncommittedAndDiscardedFilesLeaveNothing) {
  TempDir folder;
  WriteFileBytes(folder / "out.txt", "old");
  {
    TSafeOutputFile dropped((folder / "out.txt").string());
    dropped.Write("never");
  }
  TSafeOutputFile discarded((folder / "out.txt").string());
  discarded.Write("never");
  discarded.Discard();
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"out.txt"});
  EXPECT_EQ(ReadFileBytes(folder / "out.txt"), "old");
}

// Runs `write` in a child process under a file size limit of `bytes`, where
// the system refuses a write past it (EFBIG), and says how it ended.
std::string RefusedBySizeLimit(rlim_t bytes, const std::function<void()>& write) {
  const pid_t child = ::fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      write();
    } catch (const std::system_error& failure) {
      ::_exit(failure.code().value() == EFBIG ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return "child lost";
  const char* endings[] = {"refused (EFBIG)", "not refused", "refused for another reason"};
  return WEXITSTATUS(status) <= 2 ? endings[WEXITSTATUS(status)] : "child failed";
}

// A file size limit makes the system refuse the write (EFBIG); it is set in a
// child process, which reports by its exit status what it saw.
TEST(SafeOutputFile, WriteRefusedBySizeLimitLeavesTargetAndNoTemporary) {
  TempDir folder;
  WriteFileBytes(folder / "out.txt", "old");
  EXPECT_EQ(RefusedBySizeLimit(4096,
                               [&] { WriteFileSafely((folder / "out.txt").string(), std::string(100'000, 'x')); }),
            "refused (EFBIG)");
  EXPECT_EQ(ReadFileBytes(folder / "out.txt"), "old");
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"out.txt"});
}

// A small tmpfs stands for a full disk; it needs the right to mount.
TEST(SafeOutputFile, FullFolderLeavesTargetAndNoTemporary) {
  TempDir folder;
  if (::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
  }
  WriteFileBytes(folder / "out.txt", "old");
  EXPECT_THROW(WriteFileSafely((folder / "out.txt").string(), std::string(200'000, 'x')), std::system_error);
  EXPECT_EQ(ReadFileBytes(folder / "out.txt"), "old");
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"out.txt"});
  ::umount(folder.path().c_str());
}

TEST(SafeOutputFile, RemoveFileIfPresentRemovesOnlyFilesAndLinks) {
  TempDir folder;
  WriteFileBytes(folder / "file", "x");
  WriteFileBytes(folder / "kept", "x");
  fs::create_symlink(folder / "kept", folder / "link");
  fs::create_directory(folder / "dir");
  const std::pair<const char*, bool> cases[] = {{"missing", true}, {"file", true}, {"link", true}, {"dir", false}};
  for (const auto& [name, gone] : cases) EXPECT_EQ(RemoveFileIfPresent((folder / name).string()), gone) << name;
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"kept", "dir"}));
}

// The names the module chooses itself: whatever is planted under them (a
// link to someone's file, a FIFO, a device, a second name of someone's file)
// gives way to the new file, and what it led to stays as it was.
TEST(SafeOutputFile, ReplaceRuleReplacesWhatIsPlantedNeverWritingThroughIt) {
  const std::pair<const char*, std::function<void(const fs::path&)>> plants[] = {
      {"link to a file", [](const fs::path& d) { fs::create_symlink(d / "victim", d / "error.dat"); }},
      {"link to nothing", [](const fs::path& d) { fs::create_symlink(d / "made", d / "error.dat"); }},
      {"link to a folder", [](const fs::path& d) { fs::create_symlink(d, d / "error.dat"); }},
      {"link to a device", [](const fs::path& d) { fs::create_symlink("/dev/null", d / "error.dat"); }},
      {"FIFO", [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "error.dat").c_str(), 0600), 0); }},
      {"hard link", [](const fs::path& d) { fs::create_hard_link(d / "victim", d / "error.dat"); }},
  };
  for (const auto& [what, plant] : plants) {
    TempDir folder;
    WriteFileBytes(folder / "victim", "theirs");
    plant(folder.path());
    WriteFileSafely((folder / "error.dat").string(), " 5\r\n", LinkRule::Replace);
    EXPECT_EQ(fs::symlink_status(folder / "error.dat").type(), fs::file_type::regular) << what;
    EXPECT_EQ(ReadFileBytes(folder / "error.dat"), " 5\r\n") << what;
    EXPECT_EQ(ReadFileBytes(folder / "victim"), "theirs") << what;
    EXPECT_FALSE(fs::exists(folder / "made")) << what;
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"error.dat", "victim"})) << what;
  }
}

// The kernel's protected_symlinks rule, applied by the door: in a sticky,
// world-writable folder a link counts only when it is this user's or the
// folder owner's; elsewhere a caller's link is followed once.
TEST(SafeOutputFile, FollowOnceRefusesAnotherUsersLinkInAStickySharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  constexpr uid_t Other = 65534;  // nobody
  struct Case {
    const char* what;
    mode_t folderMode;
    uid_t linkOwner;
    uid_t fileOwner;
    bool followed;
  };
  const Case cases[] = {
      {"another user's link in a sticky shared folder", 01777, Other, 0, false},
      {"my link to another user's file there", 01777, 0, Other, false},
      {"my link to my file there", 01777, 0, 0, true},
      {"another user's link in a shared folder without the sticky bit", 0777, Other, 0, true},
      {"another user's link in a sticky folder only I may write", 01755, Other, 0, true},
  };
  for (const auto& c : cases) {
    TempDir folder;
    const fs::path shared = folder / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
    WriteFileBytes(shared / "victim", "theirs");
    ASSERT_EQ(::chown((shared / "victim").c_str(), c.fileOwner, 0), 0);
    fs::create_symlink(shared / "victim", shared / "out.txt");
    ASSERT_EQ(::lchown((shared / "out.txt").c_str(), c.linkOwner, 0), 0);
    if (c.followed) {
      WriteFileSafely((shared / "out.txt").string(), "new", LinkRule::FollowOnce);
      EXPECT_EQ(ReadFileBytes(shared / "victim"), "new") << c.what;
    } else {
      EXPECT_THROW(WriteFileSafely((shared / "out.txt").string(), "new", LinkRule::FollowOnce), std::system_error)
          << c.what;
      EXPECT_EQ(ReadFileBytes(shared / "victim"), "theirs") << c.what;
    }
    EXPECT_TRUE(fs::is_symlink(shared / "out.txt")) << c.what;
  }
}

// A shared folder's names may be planted: a unique name is made where
// nothing was, and a name taken meanwhile is not replaced.
TEST(SafeOutputFile, UniqueFilesNeverReplaceAndCommitAsNewLeavesATakenName) {
  TempDir folder;
  const std::string stem = (folder / "mervtisk").string();
  const std::string first = WriteNewFileUniquely(stem, ".tmp", "one");
  const std::string second = WriteNewFileUniquely(stem, ".tmp", "two");
  EXPECT_NE(first, second);
  EXPECT_TRUE(first.starts_with(stem) && first.ends_with(".tmp")) << first;
  EXPECT_EQ(ReadFileBytes(first), "one");
  EXPECT_EQ(ReadFileBytes(second), "two");

  WriteFileBytes(folder / "taken", "theirs");
  TSafeOutputFile file((folder / "taken").string(), LinkRule::Replace);
  file.Write("mine");
  EXPECT_FALSE(file.CommitAsNew());
  EXPECT_EQ(ReadFileBytes(folder / "taken"), "theirs");
  EXPECT_EQ(Names(folder.path()).size(), 3u) << "no temporary file is left";
}

// A target's name may be as long as a file name may be; the temporary name
// beside it, with its mark and random part, is the one cut short.
TEST(SafeOutputFile, ANameUpToTheLongestIsWrittenAndLeavesNoTemporary) {
  using Writer = std::function<void(const std::string& target)>;
  const std::map<std::string, Writer> writers = {
      {"safely", [](const std::string& target) { WriteFileSafely(target, "new"); }},
      {"durably", [](const std::string& target) { WriteFileDurably(target, "new"); }},
  };
  for (const std::size_t length : {std::size_t{234}, std::size_t{235}, LongestFileName}) {
    for (const bool existing : {false, true}) {
      for (const auto& [how, write] : writers) {
        SCOPED_TRACE(how + " " + std::to_string(length) + (existing ? " over a file" : " new"));
        TempDir folder;
        const std::string name(length, 'n');
        if (existing) WriteFileBytes(folder / name, "old");
        EXPECT_NO_THROW(write((folder / name).string()));
        EXPECT_EQ(ReadFileBytes(folder / name), "new");
        EXPECT_EQ(Names(folder.path()), std::set<std::string>{name});
      }
    }
  }
}

// Cut short where a character begins, as Windows takes UTF-8 names only.
TEST(SafeOutputFile, ALongNamesTemporaryNameIsCutWhereACharacterBegins) {
  TempDir folder;
  std::string name = "n";
  while (name.size() + 2 <= LongestFileName) name += "\xc3\xa9";  // e with an acute accent
  TSafeOutputFile file((folder / name).string());
  const std::string temporary = fs::path(file.WorkingPath()).filename().string();
  const std::string kept = temporary.substr(0, temporary.find(".~mervtmp"));
  EXPECT_LE(temporary.size(), LongestFileName);
  EXPECT_TRUE(name.starts_with(kept)) << temporary;
  EXPECT_EQ(kept.size() % 2, 1u) << "a character cut in two: " << temporary;
  EXPECT_EQ(fs::path(file.WorkingPath()).parent_path(), folder.path());
}

TEST(SafeOutputFile, MakeExecutableGivesTheCopyItsModeBeforeItAppears) {
  TempDir folder;
  TSafeOutputFile copy((folder / "mervmodul").string(), LinkRule::Replace);
  copy.Write("#!/bin/sh\n");
  copy.MakeExecutable();
  copy.Commit();
  EXPECT_EQ(fs::status(folder / "mervmodul").permissions(), static_cast<fs::perms>(0755));
}

// The log's way of writing: one append, never through a link, a device in
// place, a FIFO nobody reads or anything else that is no file refused.
TEST(AppendToFile, AppendsToFilesOnlyAndNeverThroughALink) {
  TempDir folder;
  AppendToFile((folder / "log").string(), "one\r\n");
  AppendToFile((folder / "log").string(), "two\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "log"), "one\r\ntwo\r\n");
  AppendToFile("/dev/null", "gone");

  WriteFileBytes(folder / "secret", "theirs");
  fs::create_symlink(folder / "secret", folder / "linked");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  fs::create_directory(folder / "dir");
  for (const char* name : {"linked", "pipe", "dir"}) {
    EXPECT_THROW(AppendToFile((folder / name).string(), "x"), std::system_error) << name;
  }
  EXPECT_EQ(ReadFileBytes(folder / "secret"), "theirs");
}

// A line cut short by the file size limit (as by a full disk) is taken back,
// so the next line appended, once there is room, is not run into it.
TEST(AppendToFile, ALineCutShortIsTakenBackBeforeTheNext) {
  TempDir folder;
  const std::string log = (folder / "KL.log").string();
  AppendToFile(log, "first\r\n");
  EXPECT_EQ(RefusedBySizeLimit(10, [&] { AppendToFile(log, "second\r\n"); }), "refused (EFBIG)");
  AppendToFile(log, "third\r\n");
  EXPECT_EQ(ReadFileBytes(log), "first\r\nthird\r\n");
}

// A log with a second name may be someone else's file: it is not appended
// to; the log begins afresh under its own name and the other file stays.
TEST(AppendToFile, ALogWithASecondNameIsBegunAfreshNotAppendedTo) {
  TempDir folder;
  WriteFileBytes(folder / "victim", "theirs");
  fs::create_hard_link(folder / "victim", folder / "KL.log");
  AppendToFile((folder / "KL.log").string(), "line\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "victim"), "theirs");
  EXPECT_EQ(ReadFileBytes(folder / "KL.log"), "line\r\n");
  EXPECT_EQ(fs::hard_link_count(folder / "KL.log"), 1u);
  AppendToFile((folder / "KL.log").string(), "more\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "KL.log"), "line\r\nmore\r\n");
}

TEST(ExclusiveLockFile, OneHolderAtATime) {
  TempDir folder;
  const std::string path = (folder / "x.lock").string();
  TExclusiveLockFile first(path);
  TExclusiveLockFile second(path);
  EXPECT_TRUE(first.TryLock());
  EXPECT_FALSE(second.TryLock());
  first.Unlock();
  EXPECT_TRUE(second.TryLock());
  EXPECT_FALSE(first.TryLock());
}

TEST(ExclusiveLockFile, ALinkUnderTheNameIsNotFollowed) {
  TempDir folder;
  WriteFileBytes(folder / "elsewhere", "x");
  fs::create_symlink(folder / "elsewhere", folder / "x.lock");
  EXPECT_THROW(TExclusiveLockFile((folder / "x.lock").string()), std::system_error);
}

// Kept open between appends, the log's file must still end up where
// AppendToFile would put each line: whatever happened to its name between
// two appends, the next line goes to the file the name leads to then.
TEST(AppendingFile, EachAppendGoesWhereTheNameLeadsThen) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& folder)> between;  // done between the two appends
    std::map<std::string, std::string> after;             // file name: its bytes
  };
  const std::vector<Case> cases = {
      {"nothing", [](const fs::path&) {}, {{"KL.log", "one\r\ntwo\r\n"}}},
      {"removed", [](const fs::path& f) { fs::remove(f / "KL.log"); }, {{"KL.log", "two\r\n"}}},
      {"renamed aside (another writer's bound)",
       [](const fs::path& f) { fs::rename(f / "KL.log", f / "KL.log.1"); },
       {{"KL.log", "two\r\n"}, {"KL.log.1", "one\r\n"}}},
      {"replaced by another file",
       [](const fs::path& f) {
         WriteFileBytes(f / "new", "new\r\n");
         fs::rename(f / "new", f / "KL.log");
       },
       {{"KL.log", "new\r\ntwo\r\n"}}},
      {"given a second name",
       [](const fs::path& f) { fs::create_hard_link(f / "KL.log", f / "other"); },
       {{"KL.log", "two\r\n"}, {"other", "one\r\n"}}},
  };
  for (const Case& c : cases) {
    TempDir folder;
    const std::string log = (folder / "KL.log").string();
    TAppendingFile file;
    file.Append(log, "one\r\n");
    c.between(folder.path());
    file.Append(log, "two\r\n");
    for (const auto& [name, bytes] : c.after) EXPECT_EQ(ReadFileBytes(folder / name), bytes) << c.what << ": " << name;
  }
}

TEST(AppendingFile, ALinkPutUnderTheNameIsRefusedAndAnotherNameIsItsOwnFile) {
  TempDir folder;
  const std::string log = (folder / "KL.log").string();
  TAppendingFile file;
  file.Append(log, "one\r\n");
  fs::rename(folder / "KL.log", folder / "kept");
  WriteFileBytes(folder / "secret", "theirs");
  fs::create_symlink(folder / "secret", folder / "KL.log");
  EXPECT_THROW(file.Append(log, "two\r\n"), std::system_error);
  EXPECT_EQ(ReadFileBytes(folder / "secret"), "theirs");
  EXPECT_EQ(ReadFileBytes(folder / "kept"), "one\r\n");

  file.Append((folder / "plain.log").string(), "three\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "plain.log"), "three\r\n");
  EXPECT_EQ(ReadFileBytes(folder / "kept"), "one\r\n");
}

}  // namespace
