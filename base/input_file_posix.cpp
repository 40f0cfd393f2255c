// Input files over POSIX calls: opened with O_NONBLOCK (and O_NOFOLLOW when
// links are refused), checked with fstat, then read through a stdio stream.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "base/input_file.h"

namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

TFileEntry LookAtEntry(const std::string& path) {
  TFileEntry entry;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return entry;
  using Kind = TFileEntry::Kind;
  entry.kind = S_ISREG(info.st_mode)   ? Kind::Regular
               : S_ISDIR(info.st_mode) ? Kind::Directory
               : S_ISLNK(info.st_mode) ? Kind::Link
                                       : Kind::Other;
  entry.device = static_cast<std::uint64_t>(info.st_dev);
  entry.inode = static_cast<std::uint64_t>(info.st_ino);
  entry.size = static_cast<std::uint64_t>(info.st_size);
  entry.modifiedNs = Nanoseconds(info.st_mtim);
  return entry;
}

std::int64_t FileClockNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

TInputFile::TInputFile(const std::string& path, std::uint64_t maxSize, InputLinks links)
    : path_(path), maxSize_(maxSize) {
  const int noFollow = links == InputLinks::Refuse ? O_NOFOLLOW : 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow);
  if (fd < 0) Fail(errno == ELOOP && noFollow != 0 ? EINVAL : errno, "open");
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) {
    const int error = errno;
    ::close(fd);
    Fail(error, "fstat");
  }
  if (!S_ISREG(opened.st_mode)) {
    ::close(fd);
    Fail(EINVAL, "not a regular file:");
  }
  size_ = static_cast<std::uint64_t>(opened.st_size);
  if (size_ > maxSize_) {
    ::close(fd);
    Fail(EFBIG, "larger than " + std::to_string(maxSize_) + " bytes:");
  }
  stream_ = ::fdopen(fd, "rb");
  if (stream_ == nullptr) {
    const int error = errno;
    ::close(fd);
    Fail(error, "fdopen");
  }
}
