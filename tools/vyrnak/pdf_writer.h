#pragma once
// Writes laid-out pages as a PDF through libharu, in the standard Courier
// fonts with the library's code page 1250 encoding, so that the document's
// Czech letters print as they are without embedding a font. The file appears
// under its name only when it is complete.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/vyrnak/page_layout.h"

/// The PDF could not be made or saved; the message says why.
class EPdfError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TPdfWriter {
public:
  /// Throws EPdfError.
  static void Write(const std::vector<TLaidOutPage>& pages, const std::filesystem::path& file);
};
