#include "base/durable_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

// renameat2 with RENAME_NOREPLACE where the kernel and the file system offer
// it; -1 with errno EINVAL or ENOSYS where they do not.
int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
#else
  static_cast<void>(from);
  static_cast<void>(to);
  errno = ENOSYS;
  return -1;
#endif
}

// The portable no-replace rename: a hard link fails with EEXIST when the
// target exists; the temporary name is then dropped.
bool LinkThenUnlink(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    throw std::system_error(errno, std::generic_category(), "link " + to);
  }
  if (::unlink(from.c_str()) != 0) throw std::system_error(errno, std::generic_category(), "unlink " + from);
  return true;
}

}  // namespace

int SyncFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return errno;
  if (::fsync(::fileno(file)) != 0) return errno;
  return 0;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (RenameNoReplace(from, to) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) throw std::system_error(errno, std::generic_category(), "rename " + to);
  return LinkThenUnlink(from, to);
}

void SyncFolderOf(const std::string& path) {
  // Built in one go rather than assigned ".", which GCC 12 at -O3 misreads as
  // an overlapping copy (-Wrestrict).
  const auto parent = std::filesystem::path(path).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  static_cast<void>(::fsync(handle));
  ::close(handle);
}
