#pragma once
// Reading a small file whole, up to a bound: the outcome file of a module
// and, with --copy-module, the module itself. The one place where mervfleet
// reads a file other than the registers file.
#include <cstddef>
#include <optional>
#include <string>

/// The first `limit` bytes of the regular file at `path` (all of it when it
/// is shorter); none when it is missing, not a regular file or unreadable.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit);

/// The number on the first line of a module's outcome file (" 0", "31");
/// none when the file is missing or says no number.
std::optional<int> ReadOutcomeNumber(const std::string& path);
