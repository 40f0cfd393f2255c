// The token file on Windows: it lies in the service's data folder, whose
// permissions (the service account and the administrators) it inherits.
#include "base/safe_output_file.h"
#include "tools/mervd/access_token.h"

void WriteGroupOnlyFile(const std::string& path, std::string_view contents) {
  TSafeOutputFile file(path);
  file.Write(contents);
  file.CommitAsNew();
}
