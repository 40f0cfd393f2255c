// Safe output files over the Win32 file API: reparse points (symbolic links,
// junctions) refused, replaced, or followed once with
// GetFinalPathNameByHandle, devices and pipes told apart by GetFileType, the
// temporary file created with CREATE_NEW under a random name, then closed and
// moved over the target with MoveFileEx. A pipe or device is opened for
// overlapped writes, so that a reader that stops reading cannot hold a write
// past its limit.
#define _CRT_RAND_S
#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>

#include "base/final_path_win32.h"
#include "base/safe_output_file.h"
#include "base/safe_output_file_platform.h"
#include "base/stop_request.h"
#include "base/wide_name_win32.h"

struct TSafeOutputHandle : TSafeOutputPlace {
  HANDLE file = INVALID_HANDLE_VALUE;
  /// Opened with FILE_FLAG_OVERLAPPED: every write waits with a limit.
  bool overlapped = false;
};

namespace {

using Handle = TSafeOutputHandle;

constexpr int CreateAttempts = 16;

[[noreturn]] void Fail(DWORD error, const std::string& step, const std::string& path) {
  throw std::system_error(static_cast<int>(error), std::system_category(), step + " " + path);
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideName(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A symbolic link or junction is replaced by the path it finally leads to,
// which must be an existing file (not a folder); with LinkRule::Refuse a
// link is refused. Windows has no sticky shared folders: who made a link
// is not asked.
std::string FollowLinks(const std::string& path, LinkRule links) {
  if (!IsReparsePoint(path)) return path;
  if (links == LinkRule::Refuse) Fail(ERROR_CANT_ACCESS_FILE, "link refused", path);
  HANDLE link = CreateFileW(WideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (link == INVALID_HANDLE_VALUE) Fail(GetLastError(), "follow", path);
  wchar_t buffer[32768];
  const DWORD capacity = sizeof buffer / sizeof buffer[0];
  const DWORD length = GetFinalPathNameByHandleW(link, buffer, capacity, FILE_NAME_NORMALIZED);
  const DWORD error = GetLastError();
  CloseHandle(link);
  if (length == 0 || length >= capacity) Fail(error, "follow", path);
  const auto openable = OpenablePathOfFinalPath(NameFromWide(std::wstring_view(buffer, length)));
  if (!openable) Fail(ERROR_CANT_ACCESS_FILE, "link to neither a drive nor a share", path);
  const std::string& resolved = *openable;
  const DWORD target = GetFileAttributesW(WideName(resolved).c_str());
  if (target == INVALID_FILE_ATTRIBUTES || (target & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(ERROR_CANT_ACCESS_FILE, "link to something other than a file", path);
  }
  return resolved;
}

void CreateTemporary(Handle& handle) {
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const std::string candidate = TemporaryNameBeside(handle.finalPath);
    HANDLE file =
        CreateFileW(WideName(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    if (file == INVALID_HANDLE_VALUE) Fail(GetLastError(), "create", candidate);
    handle.file = file;
    handle.workingPath = candidate;
    return;
  }
  Fail(ERROR_FILE_EXISTS, "create beside", handle.finalPath);
}

// Whether the name is a disk file that is no link, asked without write
// access: a reader that shares no writing keeps no one from replacing the
// file (the rename then says whether it may). Only after a write open
// failed: opening a pipe's name, even to ask, takes one of its instances.
bool IsDiskFile(const std::string& path) {
  HANDLE file = CreateFileW(WideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool disk = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
                    (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  CloseHandle(file);
  return disk;
}

// Opens an existing target to learn what it is: a device or pipe is kept open
// and written in place; a disk file is closed again and replaced. A read-only
// file fails here, as writing into it would.
void OpenExisting(Handle& handle) {
  const DWORD attributes = GetFileAttributesW(WideName(handle.finalPath).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(ERROR_DIRECTORY, "folder refused", handle.finalPath);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(ERROR_ACCESS_DENIED, "read-only file", handle.finalPath);
  }
  // The link was looked for (and followed if allowed) before: a link put
  // under the name since is opened as itself, not followed, and refused.
  HANDLE file =
      CreateFileW(WideName(handle.finalPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (NotFound(error)) return CreateTemporary(handle);
    if (error == ERROR_SHARING_VIOLATION && IsDiskFile(handle.finalPath)) return CreateTemporary(handle);
    Fail(error, "open", handle.finalPath);
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(file);
    Fail(ERROR_CANT_ACCESS_FILE, "link refused", handle.finalPath);
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    handle.file = file;
    handle.overlapped = true;
    handle.inPlace = true;
    handle.workingPath = handle.finalPath;
    return;
  }
  CloseHandle(file);
  CreateTemporary(handle);
}

DWORD WriteSynchronously(Handle& handle, const char* data, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(handle.file, data, size, &written, nullptr)) Fail(GetLastError(), "write", handle.workingPath);
  return written;
}

class TEvent {
public:
  TEvent() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (event_ == nullptr) Fail(GetLastError(), "create", "event");
  }
  ~TEvent() { CloseHandle(event_); }
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  HANDLE Get() const { return event_; }

private:
  HANDLE event_;
};

// Cancels a write still under way and waits for the system to let go of its
// buffer and its OVERLAPPED, which live on the caller's stack.
void CancelPendingWrite(Handle& handle, OVERLAPPED& request) noexcept {
  DWORD written = 0;
  CancelIoEx(handle.file, &request);
  GetOverlappedResult(handle.file, &request, &written, TRUE);
}

DWORD CompletedWrite(Handle& handle, OVERLAPPED& request) {
  DWORD written = 0;
  if (!GetOverlappedResult(handle.file, &request, &written, FALSE)) Fail(GetLastError(), "write", handle.workingPath);
  if (written == 0) Fail(ERROR_WRITE_FAULT, "write (nothing taken)", handle.workingPath);
  return written;
}

// Waits for a pending write in slices, so that a stop request is seen; at
// the deadline or a stop the write is cancelled and the failure thrown, as a
// FIFO's write with no room fails on POSIX.
void AwaitPendingWrite(Handle& handle, OVERLAPPED& request, std::chrono::steady_clock::time_point deadline) {
  constexpr std::chrono::milliseconds Slice{100};
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto slice = std::clamp(left, std::chrono::milliseconds::zero(), Slice);
    const DWORD wait = WaitForSingleObject(request.hEvent, static_cast<DWORD>(slice.count()));
    if (wait == WAIT_OBJECT_0) return;
    const DWORD error = wait == WAIT_TIMEOUT ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_SUCCESS && !StopRequested() && left.count() > 0) continue;
    CancelPendingWrite(handle, request);
    if (error != ERROR_SUCCESS) Fail(error, "wait for write", handle.workingPath);
    if (StopRequested()) Fail(ERROR_OPERATION_ABORTED, "write stopped", handle.workingPath);
    Fail(ERROR_TIMEOUT, "write (no room in time)", handle.workingPath);
  }
}

// A write that completes at once (a console, a device that takes it all) is
// taken as it is; only one left pending waits.
DWORD WriteBeforeDeadline(Handle& handle, const char* data, DWORD size,
                          std::chrono::steady_clock::time_point deadline) {
  TEvent done;
  OVERLAPPED request{};
  request.hEvent = done.Get();
  if (!WriteFile(handle.file, data, size, nullptr, &request)) {
    if (GetLastError() != ERROR_IO_PENDING) Fail(GetLastError(), "write", handle.workingPath);
    AwaitPendingWrite(handle, request, deadline);
  }
  return CompletedWrite(handle, request);
}

}  // namespace

namespace safe_output_platform {

Handle* Open(const std::string& target, LinkRule links) {
  auto handle = std::make_unique<Handle>();
  try {
    if (links == LinkRule::Replace) ClearReadOnlyMark(target);
    // MoveFileEx over a link replaces the link itself.
    if (links == LinkRule::Replace && IsReparsePoint(target)) {
      handle->finalPath = target;
      CreateTemporary(*handle);
      return handle.release();
    }
    handle->finalPath = FollowLinks(target, links);
    OpenExisting(*handle);
  } catch (...) {
    Abandon(*handle);
    throw;
  }
  return handle.release();
}

void WriteAll(Handle& handle, std::string_view bytes, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 1u << 30 ? 1u << 30 : static_cast<DWORD>(bytes.size());
    const DWORD written = handle.overlapped ? WriteBeforeDeadline(handle, bytes.data(), chunk, deadline)
                                            : WriteSynchronously(handle, bytes.data(), chunk);
    bytes.remove_prefix(written);
  }
}

// A disk file with a second name (a hard link) is not appended to: the name
// is deleted and a new file begun, as on POSIX.
Handle* OpenForAppending(const std::string& path) {
  DWORD disposition = OPEN_ALWAYS;
  for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
    const DWORD attributes = GetFileAttributesW(WideName(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      Fail(ERROR_CANT_ACCESS_FILE, "not a regular file", path);
    }
    auto handle = std::make_unique<Handle>();
    handle->workingPath = path;
    handle->finalPath = path;
    handle->file =
        CreateFileW(WideName(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle->file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS) Fail(error, "open", path);
      disposition = OPEN_ALWAYS;  // someone else began it meanwhile: look at theirs
      continue;
    }
    const DWORD type = GetFileType(handle->file);
    BY_HANDLE_FILE_INFORMATION information{};
    if (type == FILE_TYPE_DISK && GetFileInformationByHandle(handle->file, &information) &&
        information.nNumberOfLinks > 1) {
      CloseQuietly(*handle);
      if (!DeleteFileW(WideName(path).c_str()) && !NotFound(GetLastError())) Fail(GetLastError(), "delete", path);
      disposition = CREATE_NEW;
      continue;
    }
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_CHAR) return handle.release();
    CloseQuietly(*handle);
    Fail(ERROR_CANT_ACCESS_FILE, "not a regular file", path);
  }
  Fail(ERROR_FILE_EXISTS, "create", path);
}

TSafeOutputPlace& PlaceOf(Handle& handle) { return handle; }

// A file kept open here would stop other processes from renaming the log
// aside; every append opens and closes it.
bool StillNamedAlone(Handle&, const std::string&) { return false; }

bool KeepsAppendingOpen() { return false; }

// A Windows program runs by its name's extension; there is no bit to set.
void MakeExecutable(Handle&) {}

void Close(Handle& handle) {
  HANDLE file = handle.file;
  handle.file = INVALID_HANDLE_VALUE;
  if (!CloseHandle(file)) Fail(GetLastError(), "close", handle.workingPath);
}

void CloseQuietly(Handle& handle) noexcept {
  if (handle.file != INVALID_HANDLE_VALUE) CloseHandle(handle.file);
  handle.file = INVALID_HANDLE_VALUE;
}

void RenameOver(const std::string& from, const std::string& to) {
  if (!MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Fail(GetLastError(), "rename", from);
  }
}

void RemoveQuietly(const std::string& path) noexcept {
  if (ConvertsToWide(path)) DeleteFileW(WideName(path).c_str());
}

// Through a handle of the name itself, so that a link planted under it is
// changed, never the file it leads to.
bool NameLingersAfterRemoval() noexcept { return true; }

void ClearReadOnlyMark(const std::string& path) noexcept {
  if (!ConvertsToWide(path)) return;
  HANDLE file = CreateFileW(WideName(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILE_BASIC_INFO information{};
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &information, sizeof information) &&
      (information.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    information.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (information.FileAttributes == 0) information.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(file, FileBasicInfo, &information, sizeof information);
  }
  CloseHandle(file);
}

void Delete(Handle* handle) noexcept { delete handle; }

// rand_s draws from the system's cryptographic generator.
std::uint32_t RandomWord() {
  unsigned int bits = 0;
  if (rand_s(&bits) != 0) Fail(ERROR_GEN_FAILURE, "random", "name");
  return bits;
}

}  // namespace safe_output_platform
