#include "base/communication_log.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "base/ciphered_log_line.h"
#include "base/local_clock.h"
#include "base/safe_output_file.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

std::string PlainLogPath;
std::string CipheredLogPath;

namespace {

constexpr std::string_view LineEnd = "\r\n";

// One log line stays within 16 KiB of text, so that every reader of the log
// (kllog included) takes it whole: a longer message is cut to this many
// bytes, and so are the data bytes (three characters each in the line); the
// cut says how long the whole was.
constexpr std::size_t LongestLoggedMessage = 12 * 1024;
constexpr std::size_t LongestLoggedData = 1024;

std::string CutMark(std::size_t wholeLength, std::string_view unit) {
  return "... (" + std::to_string(wholeLength) + " " + std::string(unit) + ")";
}

// Keying costs 521 block encryptions; the log keys once per process and only
// resets the chaining register for each line, which gives the same output.
TTextCipher& LogCipher() {
  static TTextCipher cipher(TextCipherKey);
  return cipher;
}

// Opens for appending (creating the file when missing), writes one CR LF line
// in one write and closes. A link under the log's name is never followed.
void AppendLine(const std::string& path, std::string_view line) {
  std::string record;
  record.reserve(line.size() + LineEnd.size());
  record.append(line).append(LineEnd);
  try {
    AppendToFile(path, record);
  } catch (const std::system_error& failure) {
    throw std::system_error(failure.code(), "log file " + path);
  }
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
  text.reserve(timeStamp.size() + 1 + std::min(message.size(), LongestLoggedMessage) +
               std::min(data.size(), LongestLoggedData) * 3 + 64);
  text.append(timeStamp.substr(0, 256)).append(" ");
  if (message.size() > LongestLoggedMessage) {
    text.append(message.substr(0, LongestLoggedMessage)).append(CutMark(message.size(), "znaku"));
  } else {
    text.append(message);
  }
  if (data.size() > LongestLoggedData) {
    text.append(HexDump(data.substr(0, LongestLoggedData))).append(CutMark(data.size(), "bytu"));
  } else {
    text.append(HexDump(data));
  }
  return text;
}
