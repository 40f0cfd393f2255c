#pragma once
// TOutputFile: a file the module writes for the caller, which appears under
// its name only when complete. The bytes go to a temporary file beside the
// target; Commit renames it over the target. A file dropped without Commit
// (a failure, a crash) leaves the target as it was and removes the temporary.
#include <fstream>
#include <string>
#include <string_view>

class TOutputFile {
public:
  /// Creates the temporary file; raises std::runtime_error when it cannot.
  explicit TOutputFile(std::string target);
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void Write(std::string_view bytes);
  /// Flushes, closes and renames the file into place; raises
  /// std::runtime_error when any of it fails.
  void Commit();

  const std::string& Target() const { return target_; }

private:
  std::string target_;
  std::string temporary_;
  std::ofstream out_;
  bool committed_ = false;
};
