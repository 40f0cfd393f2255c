#include "tools/mervfleet/small_file.h"

#include <cstdint>
#include <limits>
#include <system_error>

#include "base/input_file.h"

namespace {

constexpr std::size_t LongestOutcomeFile = 256;

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  try {
    TInputFile file(path, std::numeric_limits<std::uint64_t>::max() >> 1);
    return file.ReadUpTo(limit);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
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
