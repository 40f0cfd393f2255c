#include "base/durable_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <system_error>

#include "base/wide_name_win32.h"

// CREATE_NEW fails on any existing name, a link included.
std::FILE* CreateNewFile(const std::string& path) {
  HANDLE handle = ::CreateFileW(WideName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "create " + path);
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    throw std::system_error(EMFILE, std::generic_category(), "create " + path);
  }
  std::FILE* file = ::_fdopen(fd, "wb");
  if (file == nullptr) {
    ::_close(fd);
    throw std::system_error(EMFILE, std::generic_category(), "create " + path);
  }
  return file;
}

int SyncFileToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return errno;
  if (::_commit(::_fileno(file)) != 0) return errno;
  return 0;
}

// MoveFileEx without MOVEFILE_REPLACE_EXISTING refuses an existing target;
// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
  throw std::system_error(static_cast<int>(error), std::system_category(), "MoveFileEx " + to);
}

// The write-through move above already reached the disk.
void SyncFolderOf(const std::string&) {}
