#pragma once
// File names as the module keeps them: a std::string of the bytes the caller
// gave (POSIX) or of UTF-8 (Windows, whose programs run with UTF-8 as their
// code page and whose file system speaks UTF-16). These functions are the one
// bridge between such a name and std::filesystem, whose narrow strings on
// Windows are not UTF-8. One implementation per platform: file_name_posix.cpp,
// file_name_win32.cpp.
#include <filesystem>
#include <string>

/// The path of a name. On Windows a name that is not UTF-8 cannot be
/// represented and is refused (std::system_error naming it), never mapped to
/// another name.
std::filesystem::path PathFromName(const std::string& name);

/// The name of a path, as PathFromName takes it.
std::string NameFromPath(const std::filesystem::path& path);

/// Whether two names lead to one file: the same existing file, or the same
/// path once made absolute, "." and ".." resolved and the links of its
/// existing folders followed (a file that does not exist yet). Letter case
/// tells names apart on POSIX, not on Windows.
bool NameTheSameFile(const std::string& first, const std::string& second);
/// NameTheSameFile for folders, whether they exist yet or not: "a", "a/",
/// "a/./" and "a/b/.." name one folder.
bool NameTheSameFolder(const std::string& first, const std::string& second);

/// Whether two paths are spelled alike as the file system compares names:
/// byte for byte on POSIX, letter case aside on Windows.
bool SpelledAlike(const std::filesystem::path& first, const std::filesystem::path& second);

/// The last part of a name, without its folder ("KL.log" of "/srv/line1/KL.log").
inline std::string FileNameOf(const std::string& name) { return NameFromPath(PathFromName(name).filename()); }
