// The token file on POSIX: created under a mask that leaves others no
// access, so it is never readable by them, not even for a moment.
#include <sys/stat.h>

#include "base/safe_output_file.h"
#include "tools/mervd/access_token.h"

void WriteGroupOnlyFile(const std::string& path, std::string_view contents) {
  const mode_t previous = ::umask(027);
  try {
    TSafeOutputFile file(path);
    file.Write(contents);
    file.CommitAsNew();
  } catch (...) {
    ::umask(previous);
    throw;
  }
  ::umask(previous);
}
