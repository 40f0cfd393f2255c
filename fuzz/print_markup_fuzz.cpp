// The print-document mark-up as the viewer reads it.
#include <cstdint>
#include <string_view>

#include "tools/vyrnak/document_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    TDocumentParser::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const EMalformedDocument&) {
    // The viewer reports a malformed document and shows nothing.
  }
  return 0;
}
