#include "tools/kllog/log_follower.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "base/file_name.h"
#include "base/input_file.h"

namespace {

constexpr std::size_t ChunkBytes = 64 * 1024;

// What `path` names, a link followed to its target.
TFileEntry LookThroughLink(const std::string& path) {
  const TFileEntry entry = LookAtEntry(path);
  if (entry.kind != TFileEntry::Kind::Link) return entry;
  std::error_code error;
  const auto target = std::filesystem::canonical(PathFromName(path), error);
  return error ? TFileEntry{} : LookAtEntry(NameFromPath(target));
}

// The stream's offset in steps a long can hold, wherever long is 32 bits.
void SeekTo(std::FILE* stream, std::uint64_t offset, const std::string& path) {
  bool moved = std::fseek(stream, 0, SEEK_SET) == 0;
  while (moved && offset > 0) {
    const auto step = std::min<std::uint64_t>(offset, std::numeric_limits<long>::max());
    moved = std::fseek(stream, static_cast<long>(step), SEEK_CUR) == 0;
    offset -= step;
  }
  if (!moved) throw std::system_error(errno, std::generic_category(), "seek " + path);
}

// The file at `path`; none when it is not there (a renamed log before its
// successor is made).
std::unique_ptr<TInputFile> OpenIfThere(const std::string& path) {
  if (LookThroughLink(path).kind == TFileEntry::Kind::Missing) return nullptr;
  try {
    return std::make_unique<TInputFile>(path, AnyLogSize);
  } catch (const std::system_error&) {
    if (LookThroughLink(path).kind == TFileEntry::Kind::Missing) return nullptr;  // gone since the look
    throw;
  }
}

}  // namespace

TLogFollower::TLogFollower(std::string path, LineSink sink, std::size_t longestLine)
    : path_(std::move(path)), sink_(std::move(sink)), longestLine_(longestLine) {}

void TLogFollower::Poll() {
  const TIdentity before = IdentityOf(path_);
  const auto file = OpenIfThere(path_);
  if (!file) return;
  TIdentity now = IdentityOf(path_);
  if (!SameFile(before, now)) return;  // replaced while being opened: the next look takes the new file
  now.head = ReadHead(*file);
  if (!started_) {
    started_ = true;
    Restart(std::move(now));
  } else if (!SameFile(followed_, now) || file->Size() < offset_) {
    FinishOlderFile();
    Restart(std::move(now));
  } else if (now.head.size() > followed_.head.size()) {
    followed_.head = std::move(now.head);
  }
  ReadOn(*file);
}

TLogFollower::TIdentity TLogFollower::IdentityOf(const std::string& path) {
  const TFileEntry entry = LookThroughLink(path);
  TIdentity identity;
  identity.device = entry.device;
  identity.inode = entry.inode;
  return identity;
}

// The same file: the same numbers where both are known, and the first
// bytes alike as far as both were seen.
bool TLogFollower::SameFile(const TIdentity& seen, const TIdentity& now) {
  if (seen.inode != 0 && now.inode != 0 && (seen.device != now.device || seen.inode != now.inode)) return false;
  const std::size_t common = std::min(seen.head.size(), now.head.size());
  return seen.head.compare(0, common, now.head, 0, common) == 0;
}

std::string TLogFollower::ReadHead(TInputFile& file) {
  SeekTo(file.Stream(), 0, file.Path());
  std::string head = file.ReadUpTo(HeadBytes);
  bytesRead_ += head.size();
  return head;
}

// When the followed file is now FILE.1, the lines it got after the last look
// are read from it before the new file.
void TLogFollower::FinishOlderFile() {
  const std::string olderPath = path_ + std::string(OlderFileSuffix);
  const auto older = OpenIfThere(olderPath);
  if (!older) return;
  TIdentity identity = IdentityOf(olderPath);
  identity.head = ReadHead(*older);
  // Without file numbers only the first bytes tell; an empty start tells nothing.
  const bool told = followed_.inode != 0 || !followed_.head.empty();
  if (told && SameFile(followed_, identity) && older->Size() >= offset_) ReadOn(*older);
}

void TLogFollower::ReadOn(TInputFile& file) {
  SeekTo(file.Stream(), offset_, file.Path());
  for (;;) {
    const std::string chunk = file.ReadUpTo(ChunkBytes);
    if (chunk.empty()) return;
    bytesRead_ += chunk.size();
    offset_ += chunk.size();
    Take(chunk);
  }
}

// Completes lines with the bytes read; a CR before the "\n" is dropped.
void TLogFollower::Take(std::string_view bytes) {
  const std::size_t kept = longestLine_ + 1;  // and its CR
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    const std::size_t room = kept - std::min(kept, pending_.size());
    pending_.append(bytes.substr(start, std::min(room, end - start)));
    if (end == bytes.size()) return;
    std::string_view line = pending_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    sink_(++lineNumber_, line.substr(0, longestLine_));
    pending_.clear();
    start = end + 1;
  }
}

// A line the old file never finished is dropped with it.
void TLogFollower::Restart(TIdentity identity) {
  followed_ = std::move(identity);
  offset_ = 0;
  pending_.clear();
  lineNumber_ = 0;
}
