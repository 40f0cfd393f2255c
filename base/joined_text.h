#pragma once
// JoinedText: pieces of text joined into one string, sized once. Used where
// a literal is put before a temporary string ("T" + Name()): GCC 12 at -O3
// takes that operator+ for an overlapping copy and reports -Wrestrict, a
// false report that fails a warnings-as-errors release build.
#include <initializer_list>
#include <string>
#include <string_view>

std::string JoinedText(std::initializer_list<std::string_view> pieces);
