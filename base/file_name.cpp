#include "base/file_name.h"

#include <system_error>

namespace {

// The path made absolute, "." and ".." resolved and the links of its
// existing folders followed; only made absolute and tidied when the file
// system cannot be asked.
std::filesystem::path ResolvedPath(const std::string& name) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromName(name), error);
  if (error) return PathFromName(name).lexically_normal();
  std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : resolved;
}

}  // namespace

bool NameTheSameFile(const std::string& first, const std::string& second) {
  std::error_code missing;
  if (std::filesystem::equivalent(PathFromName(first), PathFromName(second), missing)) return true;
  return SpelledAlike(ResolvedPath(first), ResolvedPath(second));
}

// A separator or ".." at the end stays in a path the file system cannot
// resolve yet; the paths of one name inside the two folders compare alike.
bool NameTheSameFolder(const std::string& first, const std::string& second) {
  const auto inside = [](const std::string& folder) { return NameFromPath(PathFromName(folder) / "x"); };
  return NameTheSameFile(inside(first), inside(second));
}
