#pragma once
// Writes laid-out pages as a PDF through libharu, in the standard Courier
// fonts with the library's code page 1250 encoding, so that the document's
// Czech letters print as they are without embedding a font. The file appears
// under its name only when it is complete.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/safe_output_file.h"
#include "tools/vyrnak/page_layout.h"

/// The PDF could not be made or saved; the message says why.
class EPdfError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TPdfWriter {
public:
  /// Throws EPdfError. `links` says what a link under the name means: the
  /// default name beside the document is replaced, a name given with /PDF=
  /// followed once (safe_output_file.h).
  static void Write(const std::vector<TLaidOutPage>& pages, const std::filesystem::path& file, LinkRule links);
};
