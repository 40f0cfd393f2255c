#pragma once
// TRegistersFile: the registers file of mervfleet, read one register at a
// time, so that a file of any length takes the memory of one line.
//
// The file is CSV with a header line naming its columns: "name", "line" and
// "model" are needed, "folder" may be there, other columns are ignored (a
// column that splits the file among hosts, for example). Blank lines are
// skipped; lines end in LF or CR LF.
//   name    letters, digits, ".", "_" and "-", at most 64, not starting with
//           "."; it names the line folder and replaces "{name}" in the
//           command's parameters
//   line    see TRegisterLine
//   model   an /ECR= code of the module (465, 579E, ...)
//   folder  the register's line folder; empty: OUT/<name>
//
// A name comes once: a file that gives it again (or again in other letter
// case, which names the same folder on Windows) is refused, naming both
// lines, since the two rows would share a line folder and a row of the
// results.
//
// Reading is through a plain stream of the C library; the file is only read.
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/input_file.h"
#include "tools/mervfleet/register_line.h"

struct TRegisterEntry {
  std::string Name;
  TRegisterLine Line;
  std::string Model;
  /// The line folder, as given or OUT/<name>.
  std::string Folder;
  /// Line number in the registers file, from 1 (the header is line 1).
  int FileLine = 0;
};

class TRegistersFile {
public:
  /// Opens the file and reads its header. Throws std::invalid_argument
  /// ("FILE:LINE: why") for a header without the needed columns or a file
  /// that cannot be read.
  TRegistersFile(std::string path, std::string outFolder);
  ~TRegistersFile();
  TRegistersFile(const TRegistersFile&) = delete;
  TRegistersFile& operator=(const TRegistersFile&) = delete;

  /// The next register; none at the end of the file. Throws
  /// std::invalid_argument ("FILE:LINE: why") for a line that is not one or
  /// that repeats a name.
  std::optional<TRegisterEntry> Next();

  /// Reads the rest of the file, checking every line; returns how many
  /// registers it holds.
  int CountRest();

private:
  bool ReadLine(std::string& line);
  [[noreturn]] void Refuse(const std::string& why) const;
  TRegisterEntry EntryOf(const std::string& line) const;
  void CheckNameIsNew(const TRegisterEntry& entry);

  std::string path_;
  std::string outFolder_;
  std::unique_ptr<TInputFile> file_;
  int lineNumber_ = 0;
  std::size_t columns_ = 0;
  std::size_t nameColumn_ = 0;
  std::size_t lineColumn_ = 0;
  std::size_t modelColumn_ = 0;
  std::optional<std::size_t> folderColumn_;
  /// Each name read so far, in lower case, with its line.
  std::map<std::string, int> nameLines_;
};
