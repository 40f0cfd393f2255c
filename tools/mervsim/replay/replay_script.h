// mervsim replay/: the replay of a recorded conversation in place of the emulated register.
#pragma once
// TReplayScript: the register's side of a conversation that the module's
// communication log recorded, as steps for the replay to play. The log is
// the enciphered "KL.log" (read as kllog reads it) or the plain "/LOG="
// file; each of its lines is one log call of the module:
//   "Otevreni portu N"           the module opens its line      -> LineOpened
//   "write: E9 00 03 EA 2A "     a frame the module sent        -> ModuleSent
//   "nacteno    4 bytu: 12 .. "  bytes the register sent        -> RegisterSent
//                                (none: it was silent until the time-out)
// A TCP read that came back short well before the command's time-out
// ("TimeOut" of the logged parameters; the time stamps have whole seconds)
// means the register closed the connection: a LineClosed step follows it.
// The total of a modem line's extra reads ("celk.nact.") repeats bytes
// already logged and is left out. Lines the module left out because they
// repeated the lines before them (its note "Predchozi radek se opakoval
// jeste Nx" or "Predchozich P radku ...") are taken as if they had been
// written. Every step keeps its log line number.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TReplayStep {
  enum class Kind { LineOpened, ModuleSent, RegisterSent, LineClosed };
  Kind What = Kind::LineOpened;
  std::string Bytes;
  /// Line of the log, from 1.
  std::size_t LogLine = 0;
};

class TReplayScript {
public:
  /// The steps of the log text lines (plain, code page 1250), numbered from
  /// 1; only those from the first line opened at or after `fromLine` on.
  static TReplayScript FromLines(const std::vector<std::string>& lines, std::size_t fromLine = 1);
  /// Reads the log file, enciphered or plain. A line of an enciphered log
  /// that cannot be deciphered is skipped and counted. A file that cannot
  /// be read, or a log without any line opened from `fromLine` on, raises
  /// std::runtime_error.
  static TReplayScript FromFile(const std::string& path, std::size_t fromLine = 1);

  const std::vector<TReplayStep>& Steps() const { return steps_; }
  /// Frames the module sent in the steps.
  std::size_t ModuleFrames() const;
  /// Lines of an enciphered log that could not be deciphered.
  std::size_t SkippedLines() const { return skipped_; }

private:
  std::vector<TReplayStep> steps_;
  std::size_t skipped_ = 0;
};

/// The bytes of a hex dump as the log writes it ("E9 00 03 "); stops at the
/// first word that is not two hex digits.
std::string BytesOfHexDump(std::string_view text);
