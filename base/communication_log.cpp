#include "base/communication_log.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "base/ciphered_log_line.h"
#include "base/local_clock.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

std::string PlainLogPath;
std::string CipheredLogPath;

namespace {

constexpr std::string_view LineEnd = "\r\n";

// Keying costs 521 block encryptions; the log keys once per process and only
// resets the chaining register for each line, which gives the same output.
TTextCipher& LogCipher() {
  static TTextCipher cipher(TextCipherKey);
  return cipher;
}

[[noreturn]] void ThrowLogFileError(int error, std::string_view path) {
  throw std::system_error(error, std::generic_category(), "log file " + std::string(path));
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens for appending (creating the file when missing), writes one CR LF line
// and closes. Buffered data reaches the file at fclose, so its result counts.
void AppendLine(const std::string& path, std::string_view line) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "ab"));
  if (!file) ThrowLogFileError(errno, path);
  // One write of the whole line: no stream buffer to allocate and copy into.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  std::string record;
  record.reserve(line.size() + LineEnd.size());
  record.append(line).append(LineEnd);
  if (std::fwrite(record.data(), 1, record.size(), file.get()) != record.size()) {
    ThrowLogFileError(errno, path);
  }
  if (std::fclose(file.release()) != 0) ThrowLogFileError(errno, path);
}

std::string CurrentLogText(std::string_view message, std::string_view data) {
  return BuildLogText(FormatLogTimeStamp(LocalTimeNow()), message, data);
}

}  // namespace

void LogLine(std::string_view message, std::string_view data, int delayMs) {
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  if (!PlainLogPath.empty()) AppendLine(PlainLogPath, CurrentLogText(message, data));
  if (!CipheredLogPath.empty()) {
    AppendLine(CipheredLogPath, EncipherLogLine(CurrentLogText(message, data), LogCipher()));
  }
}

std::string FormatLogTimeStamp(const std::tm& localTime) {
  // The format holds a blank, so a result of 0 can only mean "too small".
  for (std::size_t size = 64; size <= 4096; size *= 4) {
    std::string stamp(size, '\0');
    const std::size_t length = std::strftime(stamp.data(), stamp.size(), "%x %X", &localTime);
    if (length > 0) {
      stamp.resize(length);
      return stamp;
    }
  }
  throw std::runtime_error("the date and time of the log do not fit 4096 characters");
}

std::string BuildLogText(std::string_view timeStamp, std::string_view message, std::string_view data) {
  std::string text;
  text.reserve(timeStamp.size() + 1 + message.size() + data.size() * 3);
  text.append(timeStamp).append(" ").append(message).append(HexDump(data));
  return text;
}
