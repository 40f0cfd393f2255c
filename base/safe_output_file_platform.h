#pragma once
// The platform half of TSafeOutputFile: opening by the rules of
// safe_output_file.h, writing, and putting the file in place. One
// implementation per platform: safe_output_file_posix.cpp and
// safe_output_file_win32.cpp. Failures are std::system_error.
#include <string>
#include <string_view>

#include "base/safe_output_file.h"

namespace safe_output_platform {

/// Opens the target (a temporary file beside it, or the target in place).
TSafeOutputFile::Handle* Open(const std::string& target);

/// Writes all bytes or throws.
void WriteAll(TSafeOutputFile::Handle& handle, std::string_view bytes);

/// Closes the file and, unless it was written in place, renames it over the
/// final path. The temporary file is removed when
/// any of it fails.
void Finish(TSafeOutputFile::Handle& handle);

/// Closes the file and removes a temporary one; never throws.
void Abandon(TSafeOutputFile::Handle& handle) noexcept;

/// Frees the handle (closing and removing what is still open).
void Release(TSafeOutputFile::Handle* handle) noexcept;

bool InPlace(const TSafeOutputFile::Handle& handle);
const std::string& WorkingPath(const TSafeOutputFile::Handle& handle);
const std::string& FinalPath(const TSafeOutputFile::Handle& handle);

/// A random part for a temporary file name: hexadecimal digits.
std::string RandomNamePart();

}  // namespace safe_output_platform
