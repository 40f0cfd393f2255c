#include "transport/ff_doubling.h"

std::string TFfDoubling::Double(std::string_view bytes) {
  std::string doubled;
  doubled.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    doubled += byte;
    if (byte == Ff) doubled += Ff;
  }
  return doubled;
}

std::string TFfDoubling::Undouble(std::string_view piece) {
  std::string bytes;
  bytes.reserve(piece.size());
  for (const char byte : piece) {
    if (copyExpected_) {
      copyExpected_ = false;
      continue;
    }
    bytes += byte;
    copyExpected_ = byte == Ff;
  }
  return bytes;
}
