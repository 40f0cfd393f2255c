// mervsim line/: the line the emulator serves (TCP or a pseudo-terminal), its serial pacing and its wire log.
#pragma once
// TWireLog: the emulator's own trace of the line, one line per frame, so that
// tests and integrators can see exactly what went over the wire:
//   "recv E9 00 03 EA 2A"   a frame the register received,
//   "send 12 10 F3 DB"      a frame it sent,
//   "note <text>"           what the register made of it (connections,
//                           faults applied, tables stored), in UTF-8.
// Bytes are the frames' own bytes, before the doubling of FFh bytes that
// some TCP ports add. Every line is flushed at once, so the file can be read
// while the emulator runs. Without a file name nothing is written.
#include <fstream>
#include <string>
#include <string_view>

class TWireLog {
public:
  /// Creates (or empties) the file; an empty path writes nothing.
  explicit TWireLog(const std::string& path);

  void Received(std::string_view frame);
  void Sent(std::string_view frame);
  void Note(std::string_view text);

  /// "E9 00 03 EA 2A": each byte as two capital hex digits, blank-separated.
  static std::string Hex(std::string_view bytes);

private:
  void Write(std::string_view tag, std::string_view text);
  std::ofstream file_;
};
