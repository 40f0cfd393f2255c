// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#include "tools/mervsim/replay/replay_script.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <deque>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "base/ciphered_log_line.h"
#include "base/communication_log.h"
#include "base/input_file.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

constexpr std::string_view OpenMark = "Otevreni portu ";
constexpr std::string_view TcpMark = "TCPIP: ";
constexpr std::string_view TimeOutMark = "TimeOut \"";
constexpr std::string_view WriteMark = " write: ";
constexpr std::string_view ReadMark = "nacteno ";
constexpr std::string_view ReadStartMark = " cteni ";
constexpr std::string_view BytesMark = " bytu: ";
constexpr int SecondsPerDay = 24 * 60 * 60;
/// The longest log the replay reads; a module's log of many commands stays far below.
constexpr std::uintmax_t LongestLog = 1ull << 30;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The first number at `text`, or none.
std::optional<long> LeadingNumber(std::string_view text) {
  const auto end = std::find_if_not(text.begin(), text.end(), IsDigit);
  if (end == text.begin()) return std::nullopt;
  return std::stol(std::string(text.begin(), end));
}

// Seconds of the day of the first "H:MM:SS" in the line (the time stamp).
std::optional<int> SecondsOfDay(std::string_view line) {
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
    if (colon == 0 || colon + 6 > line.size() || line[colon + 3] != ':') continue;
    const std::string_view m = line.substr(colon + 1, 2), s = line.substr(colon + 4, 2);
    if (!IsDigit(m[0]) || !IsDigit(m[1]) || !IsDigit(s[0]) || !IsDigit(s[1]) || !IsDigit(line[colon - 1])) continue;
    std::size_t start = colon - 1;
    if (start > 0 && IsDigit(line[start - 1])) --start;
    const int hours = std::stoi(std::string(line.substr(start, colon - start)));
    return hours * 3600 + std::stoi(std::string(m)) * 60 + std::stoi(std::string(s));
  }
  return std::nullopt;
}

// Turns the lines into steps, one line at a time.
class LogReader {
public:
  explicit LogReader(std::vector<TReplayStep>& steps) : steps_(steps) {}

  void Take(std::string_view line, std::size_t number) {
    if (const auto at = line.find(OpenMark); at != std::string_view::npos) {
      steps_.push_back({TReplayStep::Kind::LineOpened, {}, number});
      tcp_ = false;
    } else if (line.find(TcpMark) != std::string_view::npos) {
      tcp_ = true;
    } else if (const auto timeOut = line.find(TimeOutMark); timeOut != std::string_view::npos) {
      timeOutMs_ = LeadingNumber(line.substr(timeOut + TimeOutMark.size())).value_or(0);
    } else if (const auto write = line.find(WriteMark); write != std::string_view::npos) {
      steps_.push_back({TReplayStep::Kind::ModuleSent, BytesOfHexDump(line.substr(write + WriteMark.size())), number});
    } else if (const auto start = line.find(ReadStartMark); start != std::string_view::npos) {
      if (line.find("dodatecne") != std::string_view::npos) return;
      wanted_ = LeadingNumber(line.substr(start + ReadStartMark.size())).value_or(0);
      readStart_ = SecondsOfDay(line);
    } else if (const auto read = line.find(ReadMark); read != std::string_view::npos) {
      TakeRead(line, read, number);
    }
  }

private:
  void TakeRead(std::string_view line, std::size_t at, std::size_t number) {
    const auto bytesAt = line.find(BytesMark, at);
    if (bytesAt == std::string_view::npos) return;
    std::string bytes = BytesOfHexDump(line.substr(bytesAt + BytesMark.size()));
    const bool shortRead = static_cast<long>(bytes.size()) < wanted_;
    steps_.push_back({TReplayStep::Kind::RegisterSent, std::move(bytes), number});
    if (tcp_ && shortRead && EndedBeforeTimeOut(line)) steps_.push_back({TReplayStep::Kind::LineClosed, {}, number});
  }

  // The stamps have whole seconds and enclose the read: a read that waited
  // for its time-out spans more than the time-out from the first stamp's
  // second, so stamps closer than that show a read that ended early.
  bool EndedBeforeTimeOut(std::string_view line) const {
    const auto end = SecondsOfDay(line);
    if (!readStart_ || !end || timeOutMs_ <= 0) return false;
    const int elapsed = (*end - *readStart_ + SecondsPerDay) % SecondsPerDay;
    return (elapsed + 1) * 1000L <= timeOutMs_;
  }

  std::vector<TReplayStep>& steps_;
  bool tcp_ = false;
  long timeOutMs_ = 0;
  long wanted_ = 0;
  std::optional<int> readStart_;
};

// The module writes a line that repeats (or a cycle of such lines) once and
// then a note of how many lines it left out; they are taken here as if they
// had been written, each the line one cycle before it, under the note's number.
class RepeatedLines {
public:
  explicit RepeatedLines(LogReader& reader) : reader_(reader) {}

  void Take(const std::string& line, std::size_t number) {
    const auto repetition = RepetitionOfLogLine(line);
    if (!repetition) {
      TakeOne(line, number);
      return;
    }
    if (repetition->CycleLength > recent_.size()) return;  // the log begins after the repeated lines
    told_ += repetition->LeftOut;
    if (told_ > MostRepeatedLines) {
      throw std::runtime_error("the log's line " + std::to_string(number) + " repeats more than " +
                               std::to_string(MostRepeatedLines) + " lines in all");
    }
    for (std::uintmax_t i = 0; i < repetition->LeftOut; ++i) {
      TakeOne(std::string(recent_[recent_.size() - repetition->CycleLength]), number);
    }
  }

private:
  /// Lines told back in all: a flood of a register's bytes of 90 s, many times over.
  static constexpr std::uintmax_t MostRepeatedLines = 50'000'000;

  void TakeOne(const std::string& line, std::size_t number) {
    reader_.Take(line, number);
    recent_.push_back(line);
    if (recent_.size() > LongestRepeatedLogCycle) recent_.pop_front();
  }

  LogReader& reader_;
  std::deque<std::string> recent_;
  std::uintmax_t told_ = 0;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// Read through the file door: a FIFO, a device or a folder under the name is
// refused at once instead of blocking the emulator, and the size is bounded.
std::string ReadLogFile(const std::string& path) {
  try {
    return ReadInputFile(path, LongestLog);
  } catch (const std::system_error& failure) {
    if (failure.code() == std::errc::file_too_large) {
      throw std::runtime_error("the log " + path + " is larger than 1 GiB");
    }
    throw std::runtime_error("cannot read the log " + path + ": " + failure.what());
  }
}

bool Enciphered(const std::vector<std::string>& lines, TTextCipher& cipher) {
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); });
  if (first == lines.end()) return false;
  try {
    DecipherLogLine(*first, cipher);
    return true;
  } catch (const EMalformedLogLine&) {
    return false;
  }
}

}  // namespace

std::string BytesOfHexDump(std::string_view text) {
  std::string bytes;
  for (std::size_t at = 0; at + 2 <= text.size(); at += 3) {
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0 || (at + 2 < text.size() && text[at + 2] != ' ')) break;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

TReplayScript TReplayScript::FromLines(const std::vector<std::string>& lines, std::size_t fromLine) {
  TReplayScript script;
  LogReader reader(script.steps_);
  RepeatedLines repeated(reader);
  for (std::size_t index = 0; index < lines.size(); ++index) repeated.Take(lines[index], index + 1);
  const auto first = std::find_if(script.steps_.begin(), script.steps_.end(), [fromLine](const TReplayStep& step) {
    return step.What == TReplayStep::Kind::LineOpened && step.LogLine >= fromLine;
  });
  script.steps_.erase(script.steps_.begin(), first);
  return script;
}

TReplayScript TReplayScript::FromFile(const std::string& path, std::size_t fromLine) {
  std::vector<std::string> lines = SplitLines(ReadLogFile(path));
  TTextCipher cipher(TextCipherKey);
  std::size_t skipped = 0;
  if (Enciphered(lines, cipher)) {
    for (std::string& line : lines) {
      try {
        line = DecipherLogLine(line, cipher);
      } catch (const EMalformedLogLine&) {
        line.clear();
        ++skipped;
      }
    }
  }
  TReplayScript script = FromLines(lines, fromLine);
  script.skipped_ = skipped;
  if (script.steps_.empty()) {
    throw std::runtime_error("the log " + path + " opens no line from line " + std::to_string(fromLine) + " on");
  }
  return script;
}

std::size_t TReplayScript::ModuleFrames() const {
  return static_cast<std::size_t>(std::count_if(steps_.begin(), steps_.end(), [](const TReplayStep& step) {
    return step.What == TReplayStep::Kind::ModuleSent;
  }));
}
