#pragma once
// Shared helpers of the test programs.
#include <filesystem>
#include <string>
#include <string_view>

/// A UTF-8 literal in the program's code page 1250, for comparing texts.
std::string Cp(std::string_view utf8);

/// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);
