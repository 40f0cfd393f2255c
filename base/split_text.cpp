#include "base/split_text.h"

std::vector<std::string_view> SplitText(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const auto found = text.find(separator, start);
    if (found == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, found - start));
    start = found + 1;
  }
}
