#pragma once
// The platform half of TSafeOutputFile: opening by the rules of
// safe_output_file.h, writing, and putting the file in place. One
// implementation per platform: safe_output_file_posix.cpp and
// safe_output_file_win32.cpp. Failures are std::system_error.
#include <chrono>
#include <string>
#include <string_view>

struct TSafeOutputHandle;
enum class LinkRule;  // safe_output_file.h

namespace safe_output_platform {

/// Opens the target (a temporary file beside it, or the target in place).
TSafeOutputHandle* Open(const std::string& target, LinkRule links);

/// Writes all bytes or throws; a write in place gives up after `limit`.
void WriteAll(TSafeOutputHandle& handle, std::string_view bytes, std::chrono::milliseconds limit);

/// Appends in one write, by the rules of AppendToFile.
void Append(const std::string& path, std::string_view bytes);

/// Closes the file and, unless it was written in place, renames it over the
/// final path. The temporary file is removed when
/// any of it fails.
void Finish(TSafeOutputHandle& handle);

/// Closes the file and removes a temporary one; never throws.
void Abandon(TSafeOutputHandle& handle) noexcept;

/// Frees the handle (closing and removing what is still open).
void Release(TSafeOutputHandle* handle) noexcept;

bool InPlace(const TSafeOutputHandle& handle);
const std::string& WorkingPath(const TSafeOutputHandle& handle);
const std::string& FinalPath(const TSafeOutputHandle& handle);

/// A random part for a temporary file name: hexadecimal digits.
std::string RandomNamePart();

}  // namespace safe_output_platform
