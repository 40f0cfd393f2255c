#include "base/final_path_win32.h"

namespace {

constexpr std::string_view LongPathPrefix = "\\\\?\\";
constexpr std::string_view NetworkPrefix = "\\\\?\\UNC\\";

bool IsDriveLetter(char letter) { return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'); }

// "C:\..." or "C:" alone.
bool StartsWithDrive(std::string_view path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':' && (path.size() == 2 || path[2] == '\\');
}

}  // namespace

std::optional<std::string> OpenablePathOfFinalPath(std::string_view finalPath) {
  if (finalPath.starts_with(NetworkPrefix)) return "\\\\" + std::string(finalPath.substr(NetworkPrefix.size()));
  if (!finalPath.starts_with(LongPathPrefix)) return std::string(finalPath);
  const std::string_view rest = finalPath.substr(LongPathPrefix.size());
  if (!StartsWithDrive(rest)) return std::nullopt;
  return std::string(rest);
}
