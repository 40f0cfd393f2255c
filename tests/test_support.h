#pragma once
// Shared helpers of the test programs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/communication_log.h"
#include "base/run_context.h"

/// A UTF-8 literal in the program's code page 1250, for comparing texts.
std::string Cp(std::string_view utf8);

/// The path with every "/" replaced by the platform's separator.
std::string WithPlatformSeparators(std::string path);

/// A byte string from byte values: Bytes({0xD3, 0x06}).
std::string Bytes(std::initializer_list<int> values);

/// The 256 byte values in order, 00h to FFh.
std::string AllByteValues();

/// Random test values from a seeded generator: the same seed, the same values.
class RandomValues {
public:
  explicit RandomValues(unsigned seed) : random_(seed) {}

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  /// `count` characters, each drawn from `letters`.
  std::string Drawn(std::string_view letters, int count) {
    std::string text;
    const int last = static_cast<int>(letters.size()) - 1;
    for (int i = 0; i < count; ++i) text += letters[static_cast<std::size_t>(Between(0, last))];
    return text;
  }

  std::string Digits(int count) { return Drawn("0123456789", count); }
  std::string HexDigits(int count) { return Drawn("0123456789ABCDEF", count); }

protected:
  std::mt19937 random_;
};

/// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

/// The lines of a text without their "\n" or "\r\n"; a last line without an
/// ending counts as a line too.
std::vector<std::string> LinesOf(const std::string& text);

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

/// Writes `texts` to `file` as a data stream, one after the other; returns
/// the file's bytes.
std::string WriteTexts(const std::filesystem::path& file, bool enciphered, const std::vector<std::string>& texts);
/// The 16-bit length, low byte first, at `offset` of a data stream's bytes.
std::uint16_t LengthAt(const std::string& bytes, std::size_t offset);

struct ProcessResult {
  int exitStatus = -1;  // exit code, or -1 when the process did not exit normally
  std::string standardOutput;
  std::string standardError;
};

/// Runs a program to its end with the given arguments, extra environment
/// variables and working directory; standard input is empty.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {},
                         const std::filesystem::path& workingDirectory = {});

/// For a forked child (POSIX): sets the extra environment variables, enters
/// `workingDirectory` unless it is empty (exit status 126 when it cannot),
/// then replaces the child with the program (exit status 127 when it cannot
/// be started). Never returns.
[[noreturn]] void ExecInChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& environment = {},
                              const std::filesystem::path& workingDirectory = {});

/// POSIX: reads up to `count` bytes from a descriptor, waiting at most
/// `timeoutMs` in all.
std::string ReceiveFrom(int fd, std::size_t count, int timeoutMs);

/// POSIX: writes all bytes to a descriptor, or throws.
void SendTo(int fd, std::string_view bytes);

/// A program started in the background, standard input empty, whose first
/// line of standard output is read at start; stopped (SIGTERM, then SIGKILL
/// when it does not end within seconds) and reaped when the object goes.
class BackgroundProcess {
public:
  BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  /// The first line the program printed (without its line end), empty when
  /// it printed none within a few seconds.
  const std::string& FirstLine() const { return firstLine_; }

  /// The exit status once the process has ended by itself within the time,
  /// else none (the process goes on).
  std::optional<int> ExitWithin(std::chrono::milliseconds limit);

  /// SIGTERM unless it has ended, then the exit status (-1 when it did not
  /// exit normally).
  int Stop();

private:
  int pid_ = -1;
  int exitStatus_ = -1;
  std::string firstLine_;
};

/// The register emulator on a free loopback port; its port number.
class SimulatedRegister {
public:
  explicit SimulatedRegister(const std::vector<std::string>& options = {});
  int Port() const { return port_; }

  /// Returns once the emulator is done with every connection made before the
  /// call, its frames logged in `wireLog`: it serves one connection after the
  /// other, so a probe connection it takes shows that the earlier ones ended.
  void AwaitEarlierConnections(const std::filesystem::path& wireLog) const;

private:
  std::unique_ptr<BackgroundProcess> process_;
  int port_ = 0;
};

/// A run in use whose texts are in the language of `base` (a language base
/// of localized_texts.h) and whose log has no file, for the life of the
/// object.
class RunInLanguage {
public:
  explicit RunInLanguage(int base) { run_.SetLanguageBase(base); }
  RunInLanguage(const RunInLanguage&) = delete;
  RunInLanguage& operator=(const RunInLanguage&) = delete;

private:
  TCommunicationLog log_;
  TRunContext run_{{}, log_};
};

/// A run whose plain communication log is a fresh file, in use for the life
/// of the object (the run in use before comes back after it).
class LogCapture {
public:
  explicit LogCapture(const std::string& programFolder = {}) : run_(programFolder, log_) {
    log_.PlainPath = (dir_ / "plain.log").string();
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  TRunContext& Run() { return run_; }
  TCommunicationLog& Log() { return log_; }

  /// The logged lines without their date and time.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    const std::string text = Text();
    const auto stampBlanks = std::count(StampSample().begin(), StampSample().end(), ' ');
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      std::string line = text.substr(start, end - start);
      std::size_t cut = 0;
      for (long blank = 0; blank <= stampBlanks; ++blank) cut = line.find(' ', cut) + 1;
      messages.push_back(line.substr(cut));
    }
    return messages;
  }

  /// The log file as written, empty when nothing was logged.
  std::string Text() const { return std::filesystem::exists(log_.PlainPath) ? ReadFileBytes(log_.PlainPath) : ""; }

  /// Forgets what was logged so far.
  void Clear() const { std::filesystem::remove(log_.PlainPath); }

private:
  static const std::string& StampSample() {
    // A real date: Windows' strftime refuses a day of the month of 0.
    static const std::string sample = [] {
      std::tm moment{};
      moment.tm_mday = 1;
      moment.tm_year = 100;
      return FormatLogTimeStamp(moment);
    }();
    return sample;
  }
  TempDir dir_;
  TCommunicationLog log_;
  TRunContext run_;
};

/// A text one character too long for a data stream's length fields: a
/// scrambled text carries its length in 16 bits; an enciphered one goes in
/// pieces of ten characters whose count, an empty last piece included, is
/// 16 bits.
struct TooLongText {
  bool Enciphered;
  std::size_t Length;

  const char* Mode() const { return Enciphered ? "enciphered" : "scrambled"; }
};
inline constexpr TooLongText TooLongTexts[] = {{false, 0x10000}, {true, 655350}};

/// The error number of the failure `action` raises (FailureNumberOf: 10
/// for a failure without a number); 0 when it raises nothing.
int ErrorNumberRaisedBy(const std::function<void()>& action);

/// The message of the `Failure` that `action` raises; empty when it raises
/// none. Any other failure passes through.
template <typename Failure>
std::string MessageRaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return {};
}
