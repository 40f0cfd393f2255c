#pragma once
// SplitText: a text cut at every separator, each part kept, empty ones
// included: n separators give n + 1 parts ("a::b" -> "a", "", "b"; "" -> "").
// The parts are views into the text, which must outlive them.
#include <string_view>
#include <vector>

std::vector<std::string_view> SplitText(std::string_view text, char separator);
