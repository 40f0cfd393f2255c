#include <windows.h>

#include <system_error>

#include "base/exclusive_lock_file.h"
#include "base/wide_name_win32.h"

namespace {

// One byte far beyond any content is the lock's token; the file stays empty.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

OVERLAPPED LockPosition() {
  OVERLAPPED position{};
  position.OffsetHigh = LockOffsetHigh;
  return position;
}

}  // namespace

// A link under the lock's name is opened as the link itself, never followed
// (nothing is made where it leads), and refused.
TExclusiveLockFile::TExclusiveLockFile(const std::string& path) : path_(path) {
  HANDLE file = CreateFileW(WideName(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "open " + path);
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(file);
    throw std::system_error(ERROR_CANT_ACCESS_FILE, std::system_category(), "link refused " + path);
  }
  handle_ = file;
}

TExclusiveLockFile::~TExclusiveLockFile() {
  Unlock();
  CloseHandle(static_cast<HANDLE>(handle_));
}

bool TExclusiveLockFile::TryLock() {
  if (locked_) return true;
  OVERLAPPED position = LockPosition();
  if (LockFileEx(static_cast<HANDLE>(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &position)) {
    return locked_ = true;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
  throw std::system_error(static_cast<int>(error), std::system_category(), "LockFileEx " + path_);
}

void TExclusiveLockFile::Unlock() noexcept {
  if (!locked_) return;
  OVERLAPPED position = LockPosition();
  UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &position);
  locked_ = false;
}
