#include "model/check_bytes.h"

std::uint8_t CheckXor(std::string_view bytes) {
  std::uint8_t result = 0;
  for (const char byte : bytes) result ^= static_cast<std::uint8_t>(byte);
  return result;
}

std::uint8_t CheckNeg(std::string_view bytes) {
  std::uint8_t sum = CheckXor(bytes);
  for (const char byte : bytes) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(byte));
  return static_cast<std::uint8_t>(-sum);
}

void AddCheckBytes(std::string& bytes) {
  const auto xorByte = CheckXor(bytes);
  const auto negByte = CheckNeg(bytes);
  bytes += static_cast<char>(xorByte);
  bytes += static_cast<char>(negByte);
}

bool VerifyCheckBytes(std::string_view frame) {
  if (frame.size() < 2) return false;
  const auto body = frame.substr(0, frame.size() - 2);
  return static_cast<std::uint8_t>(frame[frame.size() - 2]) == CheckXor(body) &&
         static_cast<std::uint8_t>(frame[frame.size() - 1]) == CheckNeg(body);
}
