#include "base/safe_output_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/durable_file.h"
#include "base/safe_output_file_platform.h"
#include "base/file_name.h"
#include "base/run_context.h"

namespace {

// Bytes gathered before they are handed to the system.
constexpr std::size_t BufferLimit = 1 << 16;

// What marks a temporary file beside its target, before its random part.
constexpr std::string_view TemporaryMark = ".~mervtmp";

// A character of UTF-8 is one leading byte and at most three that continue it.
constexpr int MostContinuingBytes = 3;

bool ContinuesACharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Closes the file and, unless it was written in place, renames it over the
// final path.
void FinishOutput(TSafeOutputHandle& handle) {
  safe_output_platform::Close(handle);
  TSafeOutputPlace& place = safe_output_platform::PlaceOf(handle);
  if (place.inPlace) return;
  safe_output_platform::RenameOver(place.workingPath, place.finalPath);
  place.workingPath.clear();
}

}  // namespace

namespace safe_output_platform {

void Abandon(TSafeOutputHandle& handle) noexcept {
  CloseQuietly(handle);
  TSafeOutputPlace& place = PlaceOf(handle);
  if (!place.inPlace && !place.workingPath.empty()) RemoveQuietly(place.workingPath);
  place.workingPath.clear();
}

std::string RandomNamePart() {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string part;
  for (int word = 0; word < 2; ++word) {
    std::uint32_t bits = RandomWord();
    for (int digit = 0; digit < 6; ++digit, bits >>= 4) part += Digits[bits & 0xF];
  }
  return part;
}

}  // namespace safe_output_platform

std::string TemporaryNameBeside(const std::string& target) {
  const std::string random = safe_output_platform::RandomNamePart();
  const std::size_t nameLength = NameFromPath(PathFromName(target).filename()).size();
  const std::size_t room = LongestFileName - TemporaryMark.size() - random.size();
  const std::size_t nameStart = target.size() - nameLength;
  std::size_t kept = target.size();
  if (nameLength > room) {
    kept = nameStart + room;
    // Not inside a character (Windows takes UTF-8 names only); bytes that
    // are no UTF-8 (POSIX) are cut where they fall.
    for (int step = 0; step < MostContinuingBytes && kept > nameStart && ContinuesACharacter(target[kept]); ++step) {
      --kept;
    }
  }
  return target.substr(0, kept) + std::string(TemporaryMark) + random;
}

void TSafeOutputFile::HandleDeleter::operator()(Handle* handle) const noexcept {
  if (handle == nullptr) return;
  safe_output_platform::Abandon(*handle);
  safe_output_platform::Delete(handle);
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
    FinishOutput(*handle_);
  } catch (...) {
    Discard();
    throw;
  }
  committed_ = true;
}

bool TSafeOutputFile::CommitAsNew() {
  try {
    Flush();
    safe_output_platform::Close(*handle_);
    TSafeOutputPlace& place = safe_output_platform::PlaceOf(*handle_);
    if (place.inPlace || !RenameWithoutReplacing(place.workingPath, place.finalPath)) {
      Discard();
      return false;
    }
    place.workingPath.clear();
  } catch (...) {
    Discard();
    throw;
  }
  committed_ = true;
  return true;
}

void TSafeOutputFile::MakeExecutable() { safe_output_platform::MakeExecutable(*handle_); }

void TSafeOutputFile::Discard() noexcept {
  buffer_.clear();
  if (handle_) safe_output_platform::Abandon(*handle_);
}

bool TSafeOutputFile::WritesInPlace() const { return safe_output_platform::PlaceOf(*handle_).inPlace; }

const std::string& TSafeOutputFile::WorkingPath() const { return safe_output_platform::PlaceOf(*handle_).workingPath; }

const std::string& TSafeOutputFile::FinalPath() const { return safe_output_platform::PlaceOf(*handle_).finalPath; }

void WriteFileSafely(const std::string& target, std::string_view contents, LinkRule links) {
  TSafeOutputFile file(target, links);
  file.Write(contents);
  file.Commit();
}

std::string WriteNewFileUniquely(const std::string& stem, const std::string& extension, std::string_view contents) {
  constexpr int Attempts = 16;
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    std::string target = stem + safe_output_platform::RandomNamePart() + extension;
    TSafeOutputFile file(target, LinkRule::Replace);
    file.Write(contents);
    if (file.CommitAsNew()) return target;
  }
  throw std::system_error(std::make_error_code(std::errc::file_exists), "create " + stem + "*" + extension);
}

bool RemoveFileIfPresent(const std::string& name) noexcept {
  std::filesystem::path path;
  try {
    path = PathFromName(name);
  } catch (const std::exception&) {
    return false;  // a name no file can have: there is nothing to remove
  }
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (error || status.type() == std::filesystem::file_type::directory) return false;
  const bool removed = std::filesystem::remove(path, error);
  if (error) return false;
  // A file held open with delete sharing (Windows) keeps its name until it
  // is closed. Where a name goes at once, a file found under it afterwards
  // is a new one (a caller's next command file) and must not count as this
  // removal's failure.
  if (!removed || !safe_output_platform::NameLingersAfterRemoval()) return true;
  return std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::not_found;
}

bool RemoveOwnFileIfPresent(const std::string& path) noexcept {
  safe_output_platform::ClearReadOnlyMark(path);
  return RemoveFileIfPresent(path);
}

namespace {

struct TStreamCloser {
  void operator()(std::FILE* file) const noexcept { static_cast<void>(std::fclose(file)); }
};

void WriteAndSync(const std::string& path, std::string_view contents) {
  const std::unique_ptr<std::FILE, TStreamCloser> file(CreateNewFile(path));
  if (std::fwrite(contents.data(), 1, contents.size(), file.get()) != contents.size()) {
    throw std::system_error(errno, std::generic_category(), "write " + path);
  }
  const int error = SyncFileToDisk(file.get());
  if (error != 0) throw std::system_error(error, std::generic_category(), "sync " + path);
}

}  // namespace

void WriteFileDurably(const std::string& target, std::string_view contents) {
  const std::string temporary = TemporaryNameBeside(target);
  try {
    WriteAndSync(temporary, contents);
    MoveFileReplacing(temporary, target);
  } catch (...) {
    RemoveFileIfPresent(temporary);
    throw;
  }
  SyncFolderOf(target);
}

void AppendToFile(const std::string& path, std::string_view bytes) {
  TSafeOutputHandle* handle = safe_output_platform::OpenForAppending(path);
  try {
    safe_output_platform::WriteAll(*handle, bytes, std::chrono::milliseconds(0));
    safe_output_platform::Close(*handle);
  } catch (...) {
    safe_output_platform::CloseQuietly(*handle);
    safe_output_platform::Delete(handle);
    throw;
  }
  safe_output_platform::Delete(handle);
}

void TAppendingFile::HandleCloser::operator()(TSafeOutputHandle* handle) const noexcept {
  if (handle == nullptr) return;
  safe_output_platform::CloseQuietly(*handle);
  safe_output_platform::Delete(handle);
}

TAppendingFile::TAppendingFile() = default;

TAppendingFile::~TAppendingFile() = default;

void TAppendingFile::Append(const std::string& path, std::string_view bytes) {
  if (handle_ && (path != path_ || !safe_output_platform::StillNamedAlone(*handle_, path))) Close();
  if (!handle_) {
    handle_.reset(safe_output_platform::OpenForAppending(path));
    path_ = path;
  }
  try {
    safe_output_platform::WriteAll(*handle_, bytes, std::chrono::milliseconds(0));
  } catch (...) {
    Close();
    throw;
  }
  if (!safe_output_platform::KeepsAppendingOpen()) {
    TSafeOutputHandle& handle = *handle_;
    try {
      safe_output_platform::Close(handle);
    } catch (...) {
      Close();
      throw;
    }
    Close();
  }
}

void TAppendingFile::Close() noexcept {
  handle_.reset();
  path_.clear();
}

std::chrono::milliseconds InPlaceWriteLimit() {
  const TRunContext* run = RunContextInUse();
  return run != nullptr ? run->InPlaceWriteLimit() : DefaultInPlaceWriteLimit;
}

void MoveFileReplacing(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(PathFromName(from), PathFromName(to), error);
  if (error) throw std::system_error(error, "renaming " + from);
}
