#include "base/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

void TInputFile::Fail(int error, const std::string& step) const {
  throw std::system_error(error, std::generic_category(), step + " " + path_);
}

TInputFile::~TInputFile() {
  if (stream_ != nullptr) std::fclose(stream_);
}

std::string TInputFile::ReadUpTo(std::size_t count) {
  std::string bytes;
  char buffer[8192];
  while (bytes.size() < count) {
    const std::size_t wanted = std::min(sizeof buffer, count - bytes.size());
    const std::size_t got = std::fread(buffer, 1, wanted, stream_);
    bytes.append(buffer, got);
    if (got < wanted) {
      if (std::ferror(stream_)) Fail(errno, "read");
      break;
    }
  }
  return bytes;
}

std::string TInputFile::ReadAll() {
  // One byte beyond the bound tells a file that grew after it was opened.
  const std::uint64_t limit = maxSize_ + 1;
  std::string bytes = ReadUpTo(limit > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(limit));
  if (bytes.size() > maxSize_) Fail(EFBIG, "larger than " + std::to_string(maxSize_) + " bytes:");
  return bytes;
}

std::string ReadInputFile(const std::string& path, std::uint64_t maxSize, InputLinks links) {
  TInputFile file(path, maxSize, links);
  return file.ReadAll();
}
