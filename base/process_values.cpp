#include "base/process_values.h"

#include <filesystem>

#include "base/code_page.h"
#include "base/platform.h"
#include "base/file_name.h"

std::string ProgramCaption() { return Utf8ToCp1250("MERV Modul Fiskální") + " 9, verze " + ProgramVersion; }

std::string DirectoryOfExecutable(const std::string& executablePath) {
  const auto separator = executablePath.find_last_of(PathSeparator());
  return separator == std::string::npos ? std::string() : executablePath.substr(0, separator + 1);
}

// A relative folder is taken against the working directory at start-up, so
// that the folder stays the same whatever a command does later.
std::string ProgramDirFor(const std::string& executablePath, const std::string& namedFolder) {
  if (namedFolder.empty()) return DirectoryOfExecutable(executablePath);
  std::string folder = NameFromPath(std::filesystem::absolute(PathFromName(namedFolder)).make_preferred());
  if (folder.back() != PathSeparator()) folder += PathSeparator();
  return folder;
}
