#include "base/safe_output_file.h"

#include <atomic>
#include <filesystem>

#include "base/safe_output_file_platform.h"

namespace {

// Bytes gathered before they are handed to the system.
constexpr std::size_t BufferLimit = 1 << 16;

constexpr std::chrono::milliseconds DefaultInPlaceWriteLimit{10000};
std::atomic<std::chrono::milliseconds::rep> inPlaceWriteLimit{DefaultInPlaceWriteLimit.count()};

}  // namespace

void TSafeOutputFile::HandleDeleter::operator()(Handle* handle) const noexcept {
  safe_output_platform::Release(handle);
}

TSafeOutputFile::TSafeOutputFile(const std::string& target, LinkRule links)
    : handle_(safe_output_platform::Open(target, links)) {
  buffer_.reserve(BufferLimit);
}

TSafeOutputFile::~TSafeOutputFile() {
  if (!committed_) Discard();
}

void TSafeOutputFile::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > BufferLimit) Flush();
  if (bytes.size() >= BufferLimit) {
    safe_output_platform::WriteAll(*handle_, bytes, InPlaceWriteLimit());
  } else {
    buffer_.append(bytes);
  }
}

void TSafeOutputFile::Flush() {
  if (buffer_.empty()) return;
  safe_output_platform::WriteAll(*handle_, buffer_, InPlaceWriteLimit());
  buffer_.clear();
}

void TSafeOutputFile::Commit() {
  try {
    Flush();
    safe_output_platform::Finish(*handle_);
  } catch (...) {
    Discard();
    throw;
  }
  committed_ = true;
}

void TSafeOutputFile::Discard() noexcept {
  buffer_.clear();
  if (handle_) safe_output_platform::Abandon(*handle_);
}

bool TSafeOutputFile::WritesInPlace() const { return safe_output_platform::InPlace(*handle_); }

const std::string& TSafeOutputFile::WorkingPath() const { return safe_output_platform::WorkingPath(*handle_); }

const std::string& TSafeOutputFile::FinalPath() const { return safe_output_platform::FinalPath(*handle_); }

void WriteFileSafely(const std::string& target, std::string_view contents, LinkRule links) {
  TSafeOutputFile file(target, links);
  file.Write(contents);
  file.Commit();
}

bool RemoveFileIfPresent(const std::string& path) noexcept {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (error || status.type() == std::filesystem::file_type::directory) return false;
  std::filesystem::remove(path, error);
  return !error;
}

void AppendToFile(const std::string& path, std::string_view bytes) { safe_output_platform::Append(path, bytes); }

std::chrono::milliseconds InPlaceWriteLimit() { return std::chrono::milliseconds(inPlaceWriteLimit.load()); }

void SetInPlaceWriteLimit(std::chrono::milliseconds limit) { inPlaceWriteLimit.store(limit.count()); }

void MoveFileReplacing(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(from, to, error);
  if (error) throw std::system_error(error, "renaming " + from);
}
