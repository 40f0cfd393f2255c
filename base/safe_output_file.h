#pragma once
// TSafeOutputFile: the one way the module writes a file, so that a reader
// never finds half of it under its name.
//
// This file and base/input_file.h are the only door through which the module
// opens files (scripts/check_file_door.sh keeps it so).
//
// Opening decides how the target is written. What a symbolic link under the
// name means is the caller's choice (LinkRule), and the choice is made in
// every call that may meet a link:
// - LinkRule::Refuse, the default: a link under the name fails the open.
// - LinkRule::Replace, for the names the module chooses itself ("error.dat",
//   "error.json", print documents, the day's export, a fleet's copy of the
//   module): a link, a FIFO or a character device under the name is replaced
//   by the new file through the temporary file and the rename, never
//   followed or written into. A read-only mark on the file there (Windows)
//   does not stop it: the module owns the name.
// - LinkRule::FollowOnce, only for a target the caller was given by name
//   (/FILE=, /ZURNAL=, /DIFF=, /EXPORTDIR=, /PDF=, --results): the link is
//   resolved once; the file it names must be a regular file (not another
//   link, not missing) in a folder this process may write, and that file is
//   replaced in its own folder; the link stays a link. A link, or the file
//   behind it, in a sticky, world-writable folder (/tmp) that belongs
//   neither to the folder's owner nor to this process's user is refused:
//   the kernel's protected_symlinks rule, applied here because the door
//   resolves links itself. Anything else behind a link is refused.
// - A FIFO or a character device already under the name (other than with
//   LinkRule::Replace) is written in place:
//   it cannot be replaced by a file, and renaming over it would turn
//   "/dev/full" into a regular file. It is opened and written without
//   blocking: a FIFO nobody reads fails at once, and a reader that stops
//   reading (or leaves) fails the write within InPlaceWriteLimit() or at a
//   stop request, never by a signal. On Windows a pipe or a device is
//   written with overlapped writes under the same limit.
// - A socket, a folder or a block device is refused, never replaced.
// - A regular file whose mode does not let the user write it is refused, as
//   writing into it would have been; root is not treated as an exception.
// - Otherwise the bytes go to a new temporary file beside the target, created
//   exclusively under a name with a random part, so that a name planted in the
//   folder beforehand (a link to someone else's file) is never opened. Commit
//   closes it and renames it over the target; a file that replaces an
//   existing one keeps that file's permission bits. The bytes are not forced
//   to the disk first (fsync): a 30,000-row table would then take a second
//   instead of a few milliseconds, and the file's readers are processes, for
//   which the rename alone makes the file appear whole. The rename replaces
//   the name, so a file with a second name (a hard link) is never written.
//
// Until Commit succeeds the target is untouched (in place: written only as far
// as the bytes went). Every failure removes the temporary file; so does the
// destructor of a file not committed. Failures are std::system_error naming
// the file and the step.
//
// The platform parts (opening, writing, renaming) are in
// safe_output_file_posix.cpp and safe_output_file_win32.cpp.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

/// What a symbolic link under an output's name may lead to (see above).
enum class LinkRule {
  Refuse,      // a link fails the open
  Replace,     // a link, FIFO or device is replaced, never followed
  FollowOnce,  // resolved once to a writable regular file, else refused
};

/// The platform's open file of a TSafeOutputFile.
struct TSafeOutputHandle;

class TSafeOutputFile {
public:
  /// Opens the target for writing by the rules above.
  explicit TSafeOutputFile(const std::string& target, LinkRule links = LinkRule::Refuse);
  ~TSafeOutputFile();
  TSafeOutputFile(const TSafeOutputFile&) = delete;
  TSafeOutputFile& operator=(const TSafeOutputFile&) = delete;

  /// Appends bytes (buffered; the buffer is written out when it fills).
  void Write(std::string_view bytes);

  /// Writes out what is buffered and puts the file under the target's name.
  void Commit();

  /// Like Commit, but only when nothing is under the target's name by then:
  /// false (the file discarded) when something is.
  bool CommitAsNew();

  /// Lets the owner, the group and others run the file (a program's copy);
  /// before Commit, so that it appears runnable. Nothing on Windows.
  void MakeExecutable();

  /// Closes and removes the temporary file, leaving the target as it was.
  /// Never throws: it runs while another failure is on its way out.
  void Discard() noexcept;

  /// True when the target is written directly (not a regular file).
  bool WritesInPlace() const;

  /// The file the bytes go to before Commit (the target itself in place).
  const std::string& WorkingPath() const;

  /// The file that Commit replaces: the target, its links followed.
  const std::string& FinalPath() const;

  using Handle = TSafeOutputHandle;  // the platform's open file
  struct HandleDeleter {
    void operator()(Handle* handle) const noexcept;
  };

private:
  void Flush();

  std::unique_ptr<Handle, HandleDeleter> handle_;
  std::string buffer_;
  bool committed_ = false;
};

/// The longest file name the file systems take, in bytes (NAME_MAX, NTFS's
/// 255): a temporary name beside a target whose own name comes close is cut
/// short to stay within it.
inline constexpr std::size_t LongestFileName = 255;

/// A name for a temporary file beside `target`: its name, ".~mervtmp" and an
/// unpredictable part, the name cut short (where a character begins) when
/// the whole would be longer than LongestFileName. Created exclusively, it
/// is never a name someone planted.
std::string TemporaryNameBeside(const std::string& target);

/// Writes `contents` as the whole new file at `target` through TSafeOutputFile.
void WriteFileSafely(const std::string& target, std::string_view contents, LinkRule links = LinkRule::Refuse);

/// Puts `contents` under `target` only once they are on the disk, and the new
/// name with them: after a power failure the file is there whole, or as it
/// was. Whatever is under the name (a link too) is replaced, never written
/// through. Failures are std::system_error; no temporary file stays.
void WriteFileDurably(const std::string& target, std::string_view contents);

/// Writes `contents` as a new file named `stem`, a random part and
/// `extension`, where nothing was before (for a shared folder, whose names
/// anyone may plant), and returns its path.
std::string WriteNewFileUniquely(const std::string& stem, const std::string& extension, std::string_view contents);

/// Appends `bytes` to the file at `path` (created when missing) in one write:
/// the log. A link under the name is never followed; a FIFO or a character
/// device is written without blocking (what does not fit at once fails);
/// anything else that is not a regular file is refused. A regular file with
/// a second name (a hard link, which may be someone else's file) is not
/// appended to: its name here is removed and a new file begun, so the log's
/// readers go on with a file of its own.
void AppendToFile(const std::string& path, std::string_view bytes);

/// Appends to a file by the rules of AppendToFile, one write a call, and
/// keeps it open between calls while its name still leads to that file
/// alone (the log: a line costs one write and one look at the name instead
/// of an open, a look, a write and a close). A name that has gone, been
/// renamed away, changed files or gained a second name is opened afresh, as
/// AppendToFile would, before the next bytes. Where the platform cannot tell
/// (Windows), every call opens and closes.
class TAppendingFile {
public:
  TAppendingFile();
  ~TAppendingFile();
  TAppendingFile(const TAppendingFile&) = delete;
  TAppendingFile& operator=(const TAppendingFile&) = delete;

  void Append(const std::string& path, std::string_view bytes);
  /// Closes what is open; the next Append opens again.
  void Close() noexcept;

private:
  struct HandleCloser {
    void operator()(TSafeOutputHandle* handle) const noexcept;
  };

  std::unique_ptr<TSafeOutputHandle, HandleCloser> handle_;
  std::string path_;
};

/// How long a write in place (FIFO, device) may wait for its reader: the
/// limit of the run in use (run_context.h), the command's time-out; 10 s
/// without a run.
std::chrono::milliseconds InPlaceWriteLimit();

/// Removes the file (or link) named `path` when there is one; a folder or a
/// failure to remove is left alone. True when nothing is left under the name
/// (on Windows a file another process holds open may stay under its name,
/// deleted only when that process closes it: false then).
bool RemoveFileIfPresent(const std::string& path) noexcept;

/// RemoveFileIfPresent for a name the module chooses itself ("error.dat"):
/// a read-only mark on the file does not keep it (Windows), as a file's
/// mode does not on POSIX.
bool RemoveOwnFileIfPresent(const std::string& path) noexcept;

/// Gives the file `from` the name `to`, replacing a file of that name (the
/// log kept within its size: KL.log becomes KL.log.1). Failures are
/// std::system_error naming the file.
void MoveFileReplacing(const std::string& from, const std::string& to);
