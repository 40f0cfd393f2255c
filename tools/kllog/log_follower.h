#pragma once
// TLogFollower: follows a log that the module appends to, for "kllog -f".
// Each look reads only the bytes added since the last one, so a large log
// costs nothing while it stands still. The log may also be cut back (read
// again from its start), or replaced by a new file under its name: when the
// module keeps the log within a size it renames FILE to FILE.1 and begins a
// new FILE; the rest of FILE.1 is read first, then the new file from its start.
//
// A file is told from another by its device and file number where the
// platform gives them, and by its first bytes everywhere. The file is opened
// only for a look, never held open, so that the module can always rename it.
// Memory stays within one line (cut at `longestLine`) and one read.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TInputFile;

/// A log file is read whatever its size.
inline constexpr std::uint64_t AnyLogSize = ~std::uint64_t{0} >> 1;
/// A line beyond this (far beyond the module's longest, 16 KiB of text, once
/// enciphered and encoded) is no log line.
inline constexpr std::size_t LongestLogLine = 16u << 20;

class TLogFollower {
public:
  /// Takes each complete line without its line end, with its number in its file.
  using LineSink = std::function<void(std::size_t number, std::string_view line)>;

  /// FILE.1: where the module moves the older lines of FILE.
  static constexpr std::string_view OlderFileSuffix = ".1";
  /// The bytes at a file's start that tell it from a new one under its name.
  static constexpr std::size_t HeadBytes = 256;

  /// A line longer than `longestLine` is handed over cut to that length.
  TLogFollower(std::string path, LineSink sink, std::size_t longestLine = LongestLogLine);

  /// Reads what was added since the last look and hands over every line it
  /// completes; a line still being written waits for a later look. A missing
  /// file is waited for; a file that cannot be read throws std::system_error.
  void Poll();

  /// Bytes read from files so far.
  std::uint64_t BytesRead() const { return bytesRead_; }

private:
  struct TIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;  // 0 where the platform has no file numbers
    std::string head;         // the first bytes seen, at most HeadBytes
  };

  static TIdentity IdentityOf(const std::string& path);
  static bool SameFile(const TIdentity& seen, const TIdentity& now);
  std::string ReadHead(TInputFile& file);
  void FinishOlderFile();
  void ReadOn(TInputFile& file);
  void Take(std::string_view bytes);
  void Restart(TIdentity identity);

  std::string path_;
  LineSink sink_;
  std::size_t longestLine_;
  bool started_ = false;
  TIdentity followed_;
  /// Bytes of the followed file read so far.
  std::uint64_t offset_ = 0;
  /// The line being read, without the bytes beyond longestLine_.
  std::string pending_;
  std::size_t lineNumber_ = 0;
  std::uint64_t bytesRead_ = 0;
};
