#include "tools/mervfleet/small_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr std::size_t ReadChunk = 64 * 1024;
constexpr std::size_t LongestOutcomeFile = 256;

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::string bytes;
  while (bytes.size() < limit) {
    const std::size_t wanted = std::min(ReadChunk, limit - bytes.size());
    const std::size_t start = bytes.size();
    bytes.resize(start + wanted);
    const std::size_t got = std::fread(bytes.data() + start, 1, wanted, file.get());
    bytes.resize(start + got);
    if (got < wanted) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return bytes;
}

std::optional<int> ReadOutcomeNumber(const std::string& path) {
  const auto read = ReadSmallFile(path, LongestOutcomeFile);
  if (!read) return std::nullopt;
  const std::string& text = *read;
  const auto first = text.find_first_not_of(' ');
  const auto end = text.find_first_of("\r\n");
  if (first == std::string::npos || end == std::string::npos || first >= end) return std::nullopt;
  const std::string digits = text.substr(first, end - first);
  if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoi(digits);
}
