// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#include "tools/mervsim/line/wire_log.h"

#include <cerrno>
#include <system_error>

TWireLog::TWireLog(const std::string& path) {
  if (path.empty()) return;
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_) throw std::system_error(errno, std::generic_category(), "wire log " + path);
}

// Without a file the frames are not even formatted: the emulator answers
// every frame of a transfer, and should answer as promptly as a register.
void TWireLog::Received(std::string_view frame) {
  if (file_.is_open()) Write("recv", Hex(frame));
}

void TWireLog::Sent(std::string_view frame) {
  if (file_.is_open()) Write("send", Hex(frame));
}

void TWireLog::Note(std::string_view text) { Write("note", text); }

std::string TWireLog::Hex(std::string_view bytes) {
  static constexpr char HexDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char byte : bytes) {
    if (!text.empty()) text += ' ';
    const auto code = static_cast<unsigned char>(byte);
    text += HexDigits[code >> 4];
    text += HexDigits[code & 0x0F];
  }
  return text;
}

void TWireLog::Write(std::string_view tag, std::string_view text) {
  if (!file_.is_open()) return;
  file_ << tag << ' ' << text << '\n';
  file_.flush();
}
