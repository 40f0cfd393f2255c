#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "base/exclusive_lock_file.h"

namespace {

int Descriptor(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1; }
// The descriptor travels in the interface's opaque handle; it is never dereferenced.
void* HandleOf(int fd) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

TExclusiveLockFile::TExclusiveLockFile(const std::string& path) : path_(path) {
  // O_NOFOLLOW: a link planted under the name is not followed to a file
  // elsewhere; the lock file holds no data, so nothing is written to it.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "open " + path);
  handle_ = HandleOf(fd);
}

TExclusiveLockFile::~TExclusiveLockFile() {
  Unlock();
  ::close(Descriptor(handle_));
}

bool TExclusiveLockFile::TryLock() {
  if (locked_) return true;
  for (;;) {
    if (::flock(Descriptor(handle_), LOCK_EX | LOCK_NB) == 0) return locked_ = true;
    if (errno == EWOULDBLOCK) return false;
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "flock " + path_);
  }
}

void TExclusiveLockFile::Unlock() noexcept {
  if (!locked_) return;
  ::flock(Descriptor(handle_), LOCK_UN);
  locked_ = false;
}
