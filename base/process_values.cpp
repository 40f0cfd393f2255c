#include "base/process_values.h"

std::string ProgramDir;
std::string ProgramCaption;
std::string ApplicationTitle;
int ErrorCode = 0;

std::string ChooseProgramDir(const char* named, const std::string& executableFolder, char separator) {
  if (named == nullptr || *named == '\0') return executableFolder;
  std::string folder(named);
  // Either separator may end the name on Windows; the platform's one is added when none does.
  if (folder.back() != separator && folder.back() != '/') folder += separator;
  return folder;
}
