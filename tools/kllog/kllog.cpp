// kllog: prints the plain text of an enciphered communication log ("KL.log"),
// one log line per output line, converted from code page 1250 to UTF-8. A line
// that cannot be deciphered is marked in its place in the output, reported on
// standard error with its number, and reading goes on; the exit status then
// says so. A line may be as long as its file; on standard input a line longer
// than StdinLongestLine ends the reading, and so does output that cannot be
// written.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <string_view>

#include "base/ciphered_log_line.h"
#include "base/code_page.h"
#include "base/input_file.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

constexpr int ExitAllLinesRead = 0;
constexpr int ExitBadLineOrFile = 1;
constexpr int ExitUsage = 2;

// A file is read whatever its size, a line as long as the file. Standard
// input has no size: a line beyond this (far beyond the module's longest,
// 16 KiB of text, once enciphered and encoded) is no log line.
constexpr std::size_t StdinLongestLine = 16u << 20;
constexpr std::uint64_t AnyFileSize = ~std::uint64_t{0} >> 1;

constexpr std::string_view UsageText =
    "Usage: kllog FILE\n"
    "       kllog --help\n"
    "\n"
    "Prints the plain text of an enciphered communication log (KL.log), one\n"
    "log line per output line, in UTF-8. FILE \"-\" reads standard input.\n"
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

// Prints every line it can decipher; reports the others. True when all were
// good and all were printed.
bool PrintLog(std::FILE* input, std::size_t longest) {
  TTextCipher cipher(TextCipherKey);
  bool allGood = true;
  std::string line;
  for (std::size_t number = 1; std::cout; ++number) {
    const LineRead read = ReadLine(input, line, longest);
    if (read == LineRead::End) break;
    if (read == LineRead::TooLong) {
      std::cerr << "kllog: line " << number << ": longer than " << longest << " bytes, reading stops\n";
      return false;
    }
    try {
      std::cout << Cp1250ToUtf8(DecipherLogLine(line, cipher)) << '\n';
    } catch (const EMalformedLogLine& error) {
      std::cout << "[kllog: line " << number << " not deciphered]\n";
      std::cerr << "kllog: line " << number << ": malformed line: " << error.what() << '\n';
      allGood = false;
    }
  }
  return allGood;
}

int PrintLogFile(const std::string& name) {
  const bool fromStdin = name == "-";
  std::unique_ptr<TInputFile> file;
  if (!fromStdin) {
    try {
      file = std::make_unique<TInputFile>(name, AnyFileSize);
    } catch (const std::system_error& failure) {
      std::cerr << "kllog: cannot open " << name << ": " << failure.code().message() << '\n';
      return ExitBadLineOrFile;
    }
  }
  std::FILE* input = fromStdin ? stdin : file->Stream();
  const std::size_t longest =
      fromStdin ? StdinLongestLine : static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), SIZE_MAX - 1));
  const bool allGood = PrintLog(input, longest);
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

}  // namespace

int main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::cout << UsageText;
    return ExitAllLinesRead;
  }
  if (argc != 2 || (first.size() > 1 && first.front() == '-')) {
    std::cerr << UsageText;
    return ExitUsage;
  }
  try {
    return PrintLogFile(argv[1]);
  } catch (const std::exception& error) {
    std::cerr << "kllog: " << error.what() << '\n';
    return ExitBadLineOrFile;
  }
}
