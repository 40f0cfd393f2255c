#pragma once
// TAccessToken: the bearer token every API call must carry. It is made at
// the first start (32 random bytes in hexadecimal) and kept in the token
// file, which only the service's account and group may read; later starts
// read it back, so clients keep working across restarts.
#include <string>
#include <string_view>

class TAccessToken {
public:
  /// Reads the token file, or makes the token and writes the file when it is missing.
  static TAccessToken LoadOrCreate(const std::string& path);

  /// True when `authorization` is "Bearer <the token>" (compared in constant time).
  bool Admits(std::string_view authorization) const;

  const std::string& Text() const { return text_; }

private:
  explicit TAccessToken(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

/// Writes `contents` as the new file `path`, readable by the owner and its
/// group only (POSIX: mode 0640 from the start; Windows: the folder's
/// permissions); nothing when a file of that name appeared meanwhile (a
/// second mervd starting at the same time: the first file is kept).
void WriteGroupOnlyFile(const std::string& path, std::string_view contents);
