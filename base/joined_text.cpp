#include "base/joined_text.h"

std::string JoinedText(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const auto piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (const auto piece : pieces) text.append(piece);
  return text;
}
