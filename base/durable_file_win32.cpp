#include "base/durable_file.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <system_error>

int SyncFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return errno;
  if (::_commit(::_fileno(file)) != 0) return errno;
  return 0;
}

// MoveFileEx without MOVEFILE_REPLACE_EXISTING refuses an existing target;
// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
  throw std::system_error(static_cast<int>(error), std::system_category(), "MoveFileEx " + to);
}

// The write-through move above already reached the disk.
void SyncFolderOf(const std::string&) {}
