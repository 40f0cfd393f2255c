#pragma once
// TExclusiveLockFile: an exclusive lock that processes sharing a folder take
// in turn, held on a lock file that is created when missing and never
// removed (removing it would let a second process lock a new file of the same
// name while the first still holds the old one). The lock goes with the open
// file: it is released by Unlock, by the destructor, and by the system when
// the process ends in any way, so a crashed holder never blocks the folder.
//
// One implementation per platform: exclusive_lock_file_posix.cpp (flock) and
// exclusive_lock_file_win32.cpp (LockFileEx).
#include <string>

class TExclusiveLockFile {
public:
  /// Opens (creating when missing) the lock file. Throws std::system_error
  /// when it cannot.
  explicit TExclusiveLockFile(const std::string& path);
  ~TExclusiveLockFile();
  TExclusiveLockFile(const TExclusiveLockFile&) = delete;
  TExclusiveLockFile& operator=(const TExclusiveLockFile&) = delete;

  /// Takes the lock when no other holder has it; never waits.
  bool TryLock();
  void Unlock() noexcept;
  bool Locked() const { return locked_; }

private:
  std::string path_;
  void* handle_ = nullptr;  // the platform's open file
  bool locked_ = false;
};
