#include "base/file_name.h"

std::filesystem::path PathFromName(const std::string& name) { return std::filesystem::path(name); }

std::string NameFromPath(const std::filesystem::path& path) { return path.string(); }

bool SpelledAlike(const std::filesystem::path& first, const std::filesystem::path& second) {
  return first.native() == second.native();
}
