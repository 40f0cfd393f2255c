#include "tools/mervfleet/small_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr std::size_t ReadChunk = 64 * 1024;

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
