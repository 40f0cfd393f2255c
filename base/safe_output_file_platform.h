#pragma once
// The platform half of TSafeOutputFile: opening by the rules of
// safe_output_file.h, writing, closing, renaming and removing. One
// implementation per platform: safe_output_file_posix.cpp and
// safe_output_file_win32.cpp; the steps both share (finishing, abandoning,
// the random name) are in safe_output_file.cpp. Failures are
// std::system_error.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

enum class LinkRule;  // safe_output_file.h

/// Where an output goes and where it is written meanwhile (the same path
/// when it is written in place). Each platform's TSafeOutputHandle is one of
/// these with the platform's open file.
struct TSafeOutputPlace {
  std::string finalPath;
  std::string workingPath;
  bool inPlace = false;
};

struct TSafeOutputHandle;

namespace safe_output_platform {

/// Opens the target (a temporary file beside it, or the target in place).
TSafeOutputHandle* Open(const std::string& target, LinkRule links);

TSafeOutputPlace& PlaceOf(TSafeOutputHandle& handle);

/// Writes all bytes or throws; a write in place gives up after `limit`.
void WriteAll(TSafeOutputHandle& handle, std::string_view bytes, std::chrono::milliseconds limit);

/// Opens a file for appending by the rules of AppendToFile (created when
/// missing; a FIFO or device written in place).
TSafeOutputHandle* OpenForAppending(const std::string& path);

/// True when the file opened for appending is still the one `path` names,
/// and its only name: an append may go on in it without opening again.
bool StillNamedAlone(TSafeOutputHandle& handle, const std::string& path);

/// Whether a file opened for appending may stay open between appends
/// (StillNamedAlone can tell when it must not).
bool KeepsAppendingOpen();

/// Makes the open file runnable by everyone (nothing where there is no such bit).
void MakeExecutable(TSafeOutputHandle& handle);

/// Closes the open file; throws when the close reports a failure.
void Close(TSafeOutputHandle& handle);

/// Closes the open file if there is one; never throws.
void CloseQuietly(TSafeOutputHandle& handle) noexcept;

/// Renames `from` over `to`, replacing it.
void RenameOver(const std::string& from, const std::string& to);

/// Removes a file; a failure is ignored.
void RemoveQuietly(const std::string& path) noexcept;

/// Clears a read-only mark on the file (or link) named `path`, where the
/// platform has one (Windows); nothing elsewhere. A failure shows in the
/// removal or replacement that follows.
void ClearReadOnlyMark(const std::string& path) noexcept;
/// Whether a removed name can stay until the last holder closes the file
/// (Windows, a file held open with delete sharing); on POSIX it goes at once.
bool NameLingersAfterRemoval() noexcept;

/// Frees the handle's memory (what is open is closed first by the caller).
void Delete(TSafeOutputHandle* handle) noexcept;

/// A word from the system's unpredictable random source.
std::uint32_t RandomWord();

/// Closes the file and removes a temporary one; never throws. Shared by both
/// platforms (safe_output_file.cpp).
void Abandon(TSafeOutputHandle& handle) noexcept;

/// A random part for a temporary file name: hexadecimal digits
/// (safe_output_file.cpp).
std::string RandomNamePart();

}  // namespace safe_output_platform
