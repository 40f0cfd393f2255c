#include "tools/mervd/access_token.h"

#include <random>
#include <stdexcept>

#include "base/input_file.h"

namespace {

constexpr std::size_t TokenBytes = 32;
constexpr std::uint64_t MaxTokenFileSize = 4096;
constexpr std::string_view BearerPrefix = "Bearer ";

std::string NewTokenText() {
  std::random_device random;
  std::string text;
  constexpr char Digits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < TokenBytes; ++i) {
    const unsigned byte = random() & 0xFFu;
    text += Digits[byte >> 4];
    text += Digits[byte & 0xF];
  }
  return text;
}

std::string TrimmedLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

TAccessToken TAccessToken::LoadOrCreate(const std::string& path) {
  if (LookAtEntry(path).kind == TFileEntry::Kind::Missing) {
    WriteGroupOnlyFile(path, NewTokenText() + "\n");
  }
  std::string text = TrimmedLine(ReadInputFile(path, MaxTokenFileSize));
  if (text.size() < 16) throw std::runtime_error(path + ": the token is shorter than 16 characters");
  return TAccessToken(std::move(text));
}

bool TAccessToken::Admits(std::string_view authorization) const {
  if (authorization.substr(0, BearerPrefix.size()) != BearerPrefix) return false;
  const std::string_view given = authorization.substr(BearerPrefix.size());
  if (given.size() != text_.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ text_[i]);
  }
  return difference == 0;
}
