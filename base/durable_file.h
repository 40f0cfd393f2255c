#pragma once
// What it takes to make a written file durable and to put it in place without
// ever replacing another file: the data forced to the disk, a rename that
// refuses an existing target, and the folder entry forced to the disk.
// One implementation per platform: durable_file_posix.cpp, durable_file_win32.cpp.
#include <cstdio>
#include <string>

/// Creates a new file at `path` for writing, exclusively: a file or a link
/// already under the name is never opened (EEXIST). Throws std::system_error.
std::FILE* CreateNewFile(const std::string& path);

/// Writes out the stream's buffer and asks the system to put the file's data
/// on the disk. Returns 0, or the errno value of the failure.
int SyncFileToDisk(std::FILE* file);

/// Renames `from` to `to` unless `to` exists, in one step, so that of two
/// writers racing for the same name exactly one wins. Returns false when `to`
/// exists (`from` is left as it was); throws std::system_error on any other
/// failure.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

/// Asks the system to put the folder entries of the folder holding `path` on
/// the disk, so that a completed rename survives a power failure. Failures
/// are ignored: some file systems cannot sync a folder.
void SyncFolderOf(const std::string& path);
