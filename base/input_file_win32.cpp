// Input files over the Win32 file API: CreateFile without following a
// reparse point when links are refused, GetFileType to tell a disk file from
// a device or pipe, then a C runtime stream over the handle.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "base/input_file.h"
#include "base/wide_name_win32.h"

namespace {

std::int64_t Nanoseconds(const FILETIME& time) {
  const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks * 100;  // 100 ns steps since 1601: only compared, never shown
}

bool IsLinkOrFolder(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

}  // namespace

TFileEntry LookAtEntry(const std::string& path) {
  TFileEntry entry;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  // A name that is not UTF-8 names no file.
  if (!ConvertsToWide(path) || !GetFileAttributesExW(WideName(path).c_str(), GetFileExInfoStandard, &data)) {
    return entry;
  }
  using Kind = TFileEntry::Kind;
  entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? Kind::Link
               : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? Kind::Directory
                                                                           : Kind::Regular;
  entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.modifiedNs = Nanoseconds(data.ftLastWriteTime);
  return entry;
}

std::int64_t FileClockNowNs() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return Nanoseconds(now);
}

TInputFile::TInputFile(const std::string& path, std::uint64_t maxSize, InputLinks links)
    : path_(path), maxSize_(maxSize) {
  const DWORD attributes = GetFileAttributesW(WideName(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(EINVAL, "not a regular file:");
  }
  if (links == InputLinks::Refuse && attributes != INVALID_FILE_ATTRIBUTES && IsLinkOrFolder(attributes)) {
    Fail(EINVAL, "not a regular file:");
  }
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == InputLinks::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE file =
      CreateFileW(WideName(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    Fail(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES, "open");
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    Fail(EINVAL, "not a regular file:");
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  if (size_ > maxSize_) {
    CloseHandle(file);
    Fail(EFBIG, "larger than " + std::to_string(maxSize_) + " bytes:");
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    Fail(EMFILE, "open");
  }
  stream_ = _fdopen(fd, "rb");
  if (stream_ == nullptr) {
    _close(fd);
    Fail(EMFILE, "open");
  }
}
