// kllog: prints the plain text of an enciphered communication log ("KL.log"),
// one log line per output line, converted from code page 1250 to UTF-8. A line
// that cannot be deciphered is marked in its place in the output, reported on
// standard error with its number, and reading goes on; the exit status then
// says so. A line may be as long as its file; on standard input a line longer
// than LongestLogLine ends the reading, and so does output that cannot be
// written.
//
// When the module keeps the log within a size (LogMaxMB), the older lines are
// in FILE.1: they are printed first. With -f the reading goes on as the module
// appends, also across the renaming of FILE to FILE.1, a cut or a new file
// (see TLogFollower).
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <string_view>
#include <thread>
#include <vector>

#include "base/file_name.h"
#include "base/ciphered_log_line.h"
#include "base/code_page.h"
#include "base/input_file.h"
#include "base/process_values.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "tools/help_or_version.h"
#include "tools/kllog/log_follower.h"

namespace {

constexpr int ExitAllLinesRead = 0;
constexpr int ExitBadLineOrFile = 1;
constexpr int ExitUsage = 2;

// A file is read whatever its size, a line as long as the file. Standard
// input has no size: there a line beyond LongestLogLine ends the reading.

// How often -f looks for new lines.
constexpr std::chrono::milliseconds FollowInterval{200};

constexpr std::string_view UsageText =
    "Usage: kllog [-f] FILE\n"
    "       kllog --help | --version\n"
    "\n"
    "Prints the plain text of an enciphered communication log (KL.log), one\n"
    "log line per output line, in UTF-8. FILE \"-\" reads standard input.\n"
    "When FILE.1 exists (the older lines, kept when the log is limited with\n"
    "LogMaxMB), it is printed first.\n"
    "\n"
    "  -f   follow: after the last line, wait for the lines the module appends\n"
    "       and print them, also after FILE is renamed to FILE.1, cut back or\n"
    "       replaced by a new file (then read from its start); only what was\n"
    "       added is read. Ctrl-C ends it.\n"
    "\n"
    "A line that cannot be deciphered is marked in the output with its line\n"
    "number, reported on standard error, and the other lines are still printed.\n"
    "\n"
    "On standard input, a line longer than 16 MiB is not a log line: reading\n"
    "stops there.\n"
    "\n"
    "Exit status: 0 every line was read, 1 a line was malformed or too long,\n"
    "the file could not be read or the output could not be written, 2 wrong\n"
    "usage.\n";

enum class LineRead { Line, End, TooLong };

// Reads up to and without the next "\n"; a CR before it is dropped as well.
// Bytes are taken as they are, NUL included; no more than `longest` + 1
// (for the CR) are read into one line.
LineRead ReadLine(std::FILE* input, std::string& line, std::size_t longest) {
  line.clear();
  int c = std::getc(input);
  if (c == EOF) return LineRead::End;
  for (; c != EOF && c != '\n'; c = std::getc(input)) {
    if (line.size() > longest) return LineRead::TooLong;
    line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line.size() > longest ? LineRead::TooLong : LineRead::Line;
}

class TLogPrinter {
public:
  // Deciphers and prints one line; reports it when it is malformed. False
  // for a malformed line.
  bool Print(std::string_view name, std::size_t number, std::string_view line) {
    try {
      std::cout << Cp1250ToUtf8(DecipherLogLine(line, cipher_)) << '\n';
      return true;
    } catch (const EMalformedLogLine& error) {
      std::cout << "[kllog: line " << number << " not deciphered]\n";
      std::cerr << "kllog: " << name << ": line " << number << ": malformed line: " << error.what() << '\n';
      return false;
    }
  }

private:
  TTextCipher cipher_{TextCipherKey};
};

// Prints every line it can decipher; reports the others. True when all were
// good and all were printed.
bool PrintLog(std::FILE* input, std::size_t longest, const std::string& name, TLogPrinter& printer) {
  bool allGood = true;
  std::string line;
  for (std::size_t number = 1; std::cout; ++number) {
    const LineRead read = ReadLine(input, line, longest);
    if (read == LineRead::End) break;
    if (read == LineRead::TooLong) {
      std::cerr << "kllog: " << name << ": line " << number << ": longer than " << longest << " bytes, reading stops\n";
      return false;
    }
    allGood = printer.Print(name, number, line) && allGood;
  }
  return allGood;
}

int PrintLogFile(const std::string& name, TLogPrinter& printer) {
  const bool fromStdin = name == "-";
  std::unique_ptr<TInputFile> file;
  if (!fromStdin) {
    try {
      file = std::make_unique<TInputFile>(name, AnyLogSize);
    } catch (const std::system_error& failure) {
      std::cerr << "kllog: cannot open " << name << ": " << failure.code().message() << '\n';
      return ExitBadLineOrFile;
    }
  }
  std::FILE* input = fromStdin ? stdin : file->Stream();
  const std::size_t longest =
      fromStdin ? LongestLogLine : static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), SIZE_MAX - 1));
  const bool allGood = PrintLog(input, longest, name, printer);
  const bool readFailed = std::ferror(input) != 0;
  const int readError = errno;
  file.reset();
  if (!std::cout.flush()) {
    std::cerr << "kllog: cannot write the output\n";
    return ExitBadLineOrFile;
  }
  if (readFailed) {
    std::cerr << "kllog: cannot read " << name << ": " << std::strerror(readError) << '\n';
    return ExitBadLineOrFile;
  }
  return allGood ? ExitAllLinesRead : ExitBadLineOrFile;
}

bool Exists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(PathFromName(name), error);
}

// The older file first, when there is one, then the file itself.
int PrintLogAndOlderFile(const std::string& name, TLogPrinter& printer) {
  const std::string older = name + std::string(TLogFollower::OlderFileSuffix);
  int status = ExitAllLinesRead;
  if (name != "-" && Exists(older)) status = PrintLogFile(older, printer);
  const int own = PrintLogFile(name, printer);
  return status != ExitAllLinesRead ? status : own;
}

// Prints the log's lines as the module appends them, looking every interval;
// Ctrl-C ends it.
[[noreturn]] void FollowLog(const std::string& name, TLogPrinter& printer) {
  TLogFollower follower(name, [&](std::size_t number, std::string_view line) { printer.Print(name, number, line); });
  for (;;) {
    follower.Poll();
    if (!std::cout.flush()) throw std::runtime_error("cannot write the output");
    std::this_thread::sleep_for(FollowInterval);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // The help and the version are answered whatever follows them.
  const bool follow = !arguments.empty() && arguments[0] == "-f";
  const std::size_t fileIndex = follow ? 1 : 0;
  const std::string given = arguments.size() > fileIndex ? arguments[fileIndex] : std::string();
  if (AnswerHelpOrVersion(given == "--help" || given == "-h", given == "--version", "kllog", UsageText)) {
    return ExitAllLinesRead;
  }
  const bool nameIsOption = given.size() > 1 && given.front() == '-';
  if (arguments.size() != fileIndex + 1 || nameIsOption || (follow && given == "-")) {
    std::cerr << UsageText;
    return ExitUsage;
  }
  try {
    TLogPrinter printer;
    if (!follow) return PrintLogAndOlderFile(given, printer);
    const std::string older = given + std::string(TLogFollower::OlderFileSuffix);
    if (Exists(older)) PrintLogFile(older, printer);
    FollowLog(given, printer);
  } catch (const std::exception& error) {
    std::cerr << "kllog: " << error.what() << '\n';
    return ExitBadLineOrFile;
  }
}
