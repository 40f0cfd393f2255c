#pragma once
// TInputFile: the one way the module opens a file to read (its counterpart
// for writing is TSafeOutputFile; scripts/check_file_door.sh keeps these the
// only door). Only a regular file is read: a FIFO, a device, a socket or a
// folder could block or deliver without end, so it is refused. The file is
// opened without blocking (a FIFO swapped in under the name cannot hold the
// open), checked after opening, and read no further than the caller's size
// bound. A link under the name is followed to a regular file, unless the
// caller refuses links (the resident mode's command file).
//
// The object owns the open file; the stream it lends lives as long as it.
// Failures are std::system_error naming the file and the step (EINVAL for a
// file of the wrong kind, EFBIG for one beyond the bound).
//
// One implementation per platform: input_file_posix.cpp, input_file_win32.cpp.
#include <cstdint>
#include <cstdio>
#include <string>

enum class InputLinks { Follow, Refuse };

/// What a name in a folder holds, looked at without opening or following it.
struct TFileEntry {
  enum class Kind { Missing, Regular, Directory, Link, Other };
  Kind kind = Kind::Missing;
  /// Device, file number, size and modification time: together they tell a
  /// changed or a new file from the one seen before (0 where the platform
  /// has no such number).
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;

  bool SameFileAs(const TFileEntry& other) const {
    return kind == other.kind && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
  }
};

/// Looks at `path` itself (a link is reported as a link).
TFileEntry LookAtEntry(const std::string& path);

/// Nanoseconds since the epoch of the system clock, as modification times are given.
std::int64_t FileClockNowNs();

class TInputFile {
public:
  /// Opens `path` for reading. A regular file larger than `maxSize` bytes is
  /// refused at once.
  TInputFile(const std::string& path, std::uint64_t maxSize, InputLinks links = InputLinks::Follow);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  /// The buffered stream over the file, owned by this object.
  std::FILE* Stream() const { return stream_; }

  /// The file's size when it was opened.
  std::uint64_t Size() const { return size_; }

  /// The rest of the file; fails when it has grown beyond the bound.
  std::string ReadAll();

  /// At most `count` bytes from where the stream stands.
  std::string ReadUpTo(std::size_t count);

  const std::string& Path() const { return path_; }

private:
  [[noreturn]] void Fail(int error, const std::string& step) const;

  std::string path_;
  std::uint64_t maxSize_;
  std::uint64_t size_ = 0;
  std::FILE* stream_ = nullptr;
};

/// The whole file at `path` through TInputFile.
std::string ReadInputFile(const std::string& path, std::uint64_t maxSize, InputLinks links = InputLinks::Follow);
