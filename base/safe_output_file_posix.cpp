// Safe output files over POSIX calls: a link refused, replaced, or resolved
// once with lstat and readlink under the kernel's protected_symlinks rule;
// the temporary file created with O_CREAT | O_EXCL | O_NOFOLLOW under a
// random name, then closed and renamed; FIFOs and devices written without
// blocking, with SIGPIPE held back while they are written.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "base/safe_output_file.h"
#include "base/safe_output_file_platform.h"
#include "base/stop_request.h"

struct TSafeOutputHandle : TSafeOutputPlace {
  int fd = -1;
  // The file as opened (for appending): what its name must still lead to.
  dev_t device = 0;
  ino_t inode = 0;
  bool appending = false;
};

namespace {

using Handle = TSafeOutputHandle;

constexpr int CreateAttempts = 16;

[[noreturn]] void Fail(int error, const std::string& step, const std::string& path) {
  throw std::system_error(error, std::generic_category(), step + " " + path);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ReadLink(const std::string& link) {
  std::vector<char> text(256);
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
    if (length < 0) Fail(errno, "readlink", link);
    if (static_cast<std::size_t>(length) < text.size())
      return std::string(text.data(), static_cast<std::size_t>(length));
    text.resize(text.size() * 2);
  }
}

std::string LinkTarget(const std::string& link) {
  const std::string next = ReadLink(link);
  return next.starts_with('/') ? next : FolderOf(link) + "/" + next;
}

// The kernel's protected_symlinks rule, applied here because links are
// resolved in user space: an entry (`info`) in a sticky, world-writable
// folder (/tmp) counts only when it belongs to this process's user or to the
// folder's owner; anyone may plant a name there.
void RefuseIfPlantedInSharedFolder(const std::string& path, const struct stat& info, const char* what) {
  const std::string folder = FolderOf(path);
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) Fail(errno, "stat", folder);
  const bool shared = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
  if (shared && info.st_uid != folderInfo.st_uid && info.st_uid != ::geteuid()) {
    Fail(EACCES, std::string(what) + " of another user in a shared folder refused:", path);
  }
}

// Resolves the link at `link` once: it must name a regular file (no further
// link) in a folder this process may write, and neither the link nor that
// file may be another user's name in a shared folder.
std::string ResolveLinkOnce(const std::string& link, struct stat& info) {
  RefuseIfPlantedInSharedFolder(link, info, "link");
  std::string target = LinkTarget(link);
  if (::lstat(target.c_str(), &info) != 0) Fail(errno, "link to nothing", link);
  RefuseIfPlantedInSharedFolder(target, info, "file behind a link");
  if (!S_ISREG(info.st_mode)) Fail(EINVAL, "link to something other than a regular file", link);
  if (::access(FolderOf(target).c_str(), W_OK) != 0) Fail(EACCES, "link into a folder not writable", link);
  return target;
}

bool InGroup(gid_t group) {
  if (::getegid() == group) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int index = 0; index < got; ++index) {
    if (groups[static_cast<std::size_t>(index)] == group) return true;
  }
  return false;
}

// What the file's mode grants this user, read the way the mode reads (owner,
// else group, else others): root's power to override it is not used.
bool ModeLetsUserWrite(const struct stat& info) {
  if (info.st_uid == ::geteuid()) return (info.st_mode & S_IWUSR) != 0;
  if (InGroup(info.st_gid)) return (info.st_mode & S_IWGRP) != 0;
  return (info.st_mode & S_IWOTH) != 0;
}

bool WritableInPlace(mode_t mode) { return S_ISFIFO(mode) || S_ISCHR(mode); }

// A FIFO is opened without waiting for a reader (no reader: ENXIO at once)
// and stays non-blocking: WriteAll waits for room itself, within its limit.
// What was opened is checked again, as the name may have changed meanwhile.
void OpenInPlace(Handle& handle) {
  handle.inPlace = true;
  handle.workingPath = handle.finalPath;
  handle.fd = ::open(handle.finalPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
  if (handle.fd < 0) Fail(errno, "open", handle.finalPath);
  struct stat opened {};
  if (::fstat(handle.fd, &opened) != 0) Fail(errno, "fstat", handle.finalPath);
  if (!WritableInPlace(opened.st_mode)) Fail(EINVAL, "not a FIFO or device any more", handle.finalPath);
}

// Writes once without letting SIGPIPE end the process: the signal is blocked
// for the call and a pending one is taken back, so a reader that left is an
// ordinary write failure (EPIPE).
ssize_t WriteWithoutSigpipe(int fd, std::string_view bytes) {
  sigset_t pipeOnly, previous;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  sigset_t pending;
  sigemptyset(&pending);
  const bool alreadyPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  const int error = errno;
  if (written < 0 && error == EPIPE && !alreadyPending) {
    const timespec none{0, 0};
    while (sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = error;
  return written;
}

// Waits for room to write, in slices, so that a stop request is seen.
void WaitForRoom(const Handle& handle, std::chrono::steady_clock::time_point deadline) {
  constexpr std::chrono::milliseconds Slice{100};
  for (;;) {
    if (StopRequested()) Fail(EINTR, "write stopped", handle.workingPath);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) Fail(ETIMEDOUT, "write (no room in time)", handle.workingPath);
    pollfd room{handle.fd, POLLOUT, 0};
    const int ready = ::poll(&room, 1, static_cast<int>(std::min(left, Slice).count()));
    if (ready > 0) return;
    if (ready < 0 && errno != EINTR) Fail(errno, "poll", handle.workingPath);
  }
}

// A replaced file keeps its owner and group as far as this user may give
// them: root keeps both, a member of the file's group keeps the group (so
// that the others of a shared group can still write it). What cannot be
// kept is this user's, as for any file this user makes; that is no failure.
void KeepOwnerWherePermitted(int fd, const struct stat& replaced) {
  if (::fchown(fd, replaced.st_uid, replaced.st_gid) == 0) return;
  if (::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
    // Not a member of the file's group either: the file is this user's alone.
  }
}

// An append cut short (a full disk, a size limit) would leave the start of a
// line that the next append runs into, spoiling that line too: the part
// written is taken back, unless something was appended after it meanwhile.
// When that cannot be done the file keeps the part; the write's failure is
// what is reported.
void TakeBackPartialAppend(const Handle& handle, std::size_t written) {
  if (written == 0) return;
  struct stat info {};
  const off_t end = ::lseek(handle.fd, 0, SEEK_CUR);
  if (end < static_cast<off_t>(written) || ::fstat(handle.fd, &info) != 0 || info.st_size != end) return;
  if (::ftruncate(handle.fd, end - static_cast<off_t>(written)) != 0) {
    // Left as it is; see above.
  }
}

void CreateTemporary(Handle& handle, const struct stat* replaced) {
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const std::string candidate = TemporaryNameBeside(handle.finalPath);
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) Fail(errno, "create", candidate);
    handle.fd = fd;
    handle.workingPath = candidate;
    // A replaced file keeps its permission bits (not set-user-ID, set-group-ID
    // or sticky: the contents are new); a new one gets the umask's.
    if (replaced != nullptr && ::fchmod(fd, replaced->st_mode & 0777) != 0) Fail(errno, "chmod", candidate);
    if (replaced != nullptr) KeepOwnerWherePermitted(fd, *replaced);
    return;
  }
  Fail(EEXIST, "create beside", handle.finalPath);
}

}  // namespace

namespace safe_output_platform {

Handle* Open(const std::string& target, LinkRule links) {
  auto handle = std::make_unique<Handle>();
  handle->finalPath = target;
  try {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
      if (errno != ENOENT) Fail(errno, "lstat", target);
      CreateTemporary(*handle, nullptr);
      return handle.release();
    }
    const bool replaceable = S_ISLNK(info.st_mode) || WritableInPlace(info.st_mode);
    if (links == LinkRule::Replace && replaceable) {
      CreateTemporary(*handle, nullptr);
      return handle.release();
    }
    if (S_ISLNK(info.st_mode)) {
      if (links == LinkRule::Refuse) Fail(ELOOP, "link refused", target);
      handle->finalPath = ResolveLinkOnce(target, info);
    }
    if (WritableInPlace(info.st_mode)) {
      OpenInPlace(*handle);
    } else if (S_ISDIR(info.st_mode)) {
      Fail(EISDIR, "folder refused", target);
    } else if (!S_ISREG(info.st_mode)) {
      Fail(EINVAL, "socket or block device refused", target);
    } else if (!ModeLetsUserWrite(info)) {
      Fail(EACCES, "read-only file", handle->finalPath);
    } else {
      CreateTemporary(*handle, &info);
    }
  } catch (...) {
    Abandon(*handle);
    throw;
  }
  return handle.release();
}

void WriteAll(Handle& handle, std::string_view bytes, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::string_view rest = bytes.substr(done);
    const ssize_t written =
        handle.inPlace ? WriteWithoutSigpipe(handle.fd, rest) : ::write(handle.fd, rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && handle.inPlace && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WaitForRoom(handle, deadline);
      continue;
    }
    if (written < 0) {
      const int error = errno;
      if (handle.appending && !handle.inPlace) TakeBackPartialAppend(handle, done);
      Fail(error, "write", handle.workingPath);
    }
    done += static_cast<std::size_t>(written);
  }
}

Handle* OpenForAppending(const std::string& path) {
  constexpr int Flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  bool fresh = false;  // after a file with a second name was dropped, only a new file will do
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), fresh ? Flags | O_EXCL : Flags, 0666);
    if (fd < 0 && errno == EEXIST) {
      fresh = false;  // someone else began it meanwhile: look at theirs
      continue;
    }
    if (fd < 0) Fail(errno, "open", path);
    auto handle = std::make_unique<Handle>();
    handle->fd = fd;
    handle->workingPath = path;
    handle->finalPath = path;
    struct stat opened {};
    const bool known = ::fstat(fd, &opened) == 0;
    const int error = errno;
    handle->inPlace = known && WritableInPlace(opened.st_mode);
    if (known && S_ISREG(opened.st_mode) && opened.st_nlink > 1) {
      // A second name (a hard link) may be someone else's file: this name is
      // dropped and begun afresh; the other name keeps what it holds.
      CloseQuietly(*handle);
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail(errno, "unlink", path);
      fresh = true;
      continue;
    }
    handle->device = opened.st_dev;
    handle->inode = opened.st_ino;
    handle->appending = true;
    if (known && (handle->inPlace || S_ISREG(opened.st_mode))) return handle.release();
    CloseQuietly(*handle);
    if (!known) Fail(error, "fstat", path);
    Fail(EINVAL, "not a regular file", path);
  }
  Fail(EEXIST, "create", path);
}

TSafeOutputPlace& PlaceOf(Handle& handle) { return handle; }

// Looked at without following a link: a link put under the name since is
// not the file, and opening afresh refuses it.
bool StillNamedAlone(Handle& handle, const std::string& path) {
  struct stat named {};
  if (::fstatat(AT_FDCWD, path.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (named.st_dev != handle.device || named.st_ino != handle.inode) return false;
  return handle.inPlace || (S_ISREG(named.st_mode) && named.st_nlink == 1);
}

bool KeepsAppendingOpen() { return true; }

void MakeExecutable(Handle& handle) {
  if (::fchmod(handle.fd, 0755) != 0) Fail(errno, "chmod", handle.workingPath);
}

void Close(Handle& handle) {
  const int fd = handle.fd;
  handle.fd = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail(errno, "close", handle.workingPath);
}

void CloseQuietly(Handle& handle) noexcept {
  if (handle.fd >= 0) ::close(handle.fd);
  handle.fd = -1;
}

void RenameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail(errno, "rename", from);
}

void RemoveQuietly(const std::string& path) noexcept { ::unlink(path.c_str()); }

// Removing or replacing a name never asks the file's own mode.
void ClearReadOnlyMark(const std::string&) noexcept {}

bool NameLingersAfterRemoval() noexcept { return false; }

void Delete(Handle* handle) noexcept { delete handle; }

std::uint32_t RandomWord() {
  static std::random_device source;  // getrandom() on Linux: unpredictable
  return source();
}

}  // namespace safe_output_platform
