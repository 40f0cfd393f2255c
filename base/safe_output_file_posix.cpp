// Safe output files over POSIX calls: links followed with lstat/readlink,
// the temporary file created with O_CREAT | O_EXCL | O_NOFOLLOW under a random
// name, then closed and renamed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "base/safe_output_file_platform.h"

struct TSafeOutputHandle {
  std::string finalPath;
  std::string workingPath;
  int fd = -1;
  bool inPlace = false;
};

namespace {

using Handle = TSafeOutputHandle;

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int MaxLinkDepth = 40;
constexpr int CreateAttempts = 16;
constexpr std::string_view TemporaryMark = ".~mervtmp";

[[noreturn]] void Fail(int error, const std::string& step, const std::string& path) {
  throw std::system_error(error, std::generic_category(), step + " " + path);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadLink(const std::string& link) {
  std::vector<char> text(256);
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
    if (length < 0) Fail(errno, "readlink", link);
    if (static_cast<std::size_t>(length) < text.size()) return std::string(text.data(), static_cast<std::size_t>(length));
    text.resize(text.size() * 2);
  }
}

// The path a chain of links ends at; a relative link counts from its own
// folder. The end need not exist (a new file is then created there).
std::string FollowLinks(std::string path) {
  for (int depth = 0; depth <= MaxLinkDepth; ++depth) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return path;
      Fail(errno, "lstat", path);
    }
    if (!S_ISLNK(info.st_mode)) return path;
    const std::string next = ReadLink(path);
    path = next.starts_with('/') ? next : FolderOf(path) + "/" + next;
  }
  Fail(ELOOP, "follow", path);
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

// A FIFO is opened without waiting for a reader (no reader: ENXIO at once);
// writing then blocks as usual.
void OpenInPlace(Handle& handle) {
  handle.inPlace = true;
  handle.workingPath = handle.finalPath;
  handle.fd = ::open(handle.finalPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (handle.fd < 0) Fail(errno, "open", handle.finalPath);
  const int flags = ::fcntl(handle.fd, F_GETFL);
  if (flags < 0 || ::fcntl(handle.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) Fail(errno, "fcntl", handle.finalPath);
}

void CreateTemporary(Handle& handle, const struct stat* replaced) {
  const std::string stem = FolderOf(handle.finalPath) + "/" + NameOf(handle.finalPath) + std::string(TemporaryMark);
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const std::string candidate = stem + safe_output_platform::RandomNamePart();
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) Fail(errno, "create", candidate);
    handle.fd = fd;
    handle.workingPath = candidate;
    // A replaced file keeps its permission bits; a new one gets the umask's.
    if (replaced != nullptr && ::fchmod(fd, replaced->st_mode & 07777) != 0) Fail(errno, "chmod", candidate);
    return;
  }
  Fail(EEXIST, "create", stem);
}

void CloseQuietly(Handle& handle) noexcept {
  if (handle.fd >= 0) ::close(handle.fd);
  handle.fd = -1;
}

}  // namespace

namespace safe_output_platform {

Handle* Open(const std::string& target) {
  auto handle = std::make_unique<Handle>();
  handle->finalPath = FollowLinks(target);
  try {
    struct stat info {};
    if (::stat(handle->finalPath.c_str(), &info) != 0) {
      if (errno != ENOENT) Fail(errno, "stat", handle->finalPath);
      CreateTemporary(*handle, nullptr);
    } else if (!S_ISREG(info.st_mode)) {
      OpenInPlace(*handle);
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

void WriteAll(Handle& handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(handle.fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) Fail(errno, "write", handle.workingPath);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void Finish(Handle& handle) {
  const int fd = handle.fd;
  handle.fd = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail(errno, "close", handle.workingPath);
  if (handle.inPlace) return;
  if (::rename(handle.workingPath.c_str(), handle.finalPath.c_str()) != 0) Fail(errno, "rename", handle.workingPath);
  handle.workingPath.clear();
}

void Abandon(Handle& handle) noexcept {
  CloseQuietly(handle);
  if (!handle.inPlace && !handle.workingPath.empty()) ::unlink(handle.workingPath.c_str());
  handle.workingPath.clear();
}

void Release(Handle* handle) noexcept {
  if (handle == nullptr) return;
  Abandon(*handle);
  delete handle;
}

bool InPlace(const Handle& handle) { return handle.inPlace; }
const std::string& WorkingPath(const Handle& handle) { return handle.workingPath; }
const std::string& FinalPath(const Handle& handle) { return handle.finalPath; }

std::string RandomNamePart() {
  static std::random_device source;  // getrandom() on Linux: unpredictable
  static constexpr char Digits[] = "0123456789abcdef";
  std::string part;
  for (int word = 0; word < 2; ++word) {
    std::uint32_t bits = source();
    for (int digit = 0; digit < 6; ++digit, bits >>= 4) part += Digits[bits & 0xF];
  }
  return part;
}

}  // namespace safe_output_platform
