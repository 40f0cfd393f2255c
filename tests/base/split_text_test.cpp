#include "base/split_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Joined(const std::vector<std::string_view>& parts) {
  std::string text;
  for (const auto part : parts) text += "[" + std::string(part) + "]";
  return text;
}

TEST(SplitText, KeepsEveryPartEmptyOnesIncluded) {
  const struct {
    const char* text;
    const char* parts;
  } cases[] = {
      {"", "[]"},
      {"a", "[a]"},
      {":", "[][]"},
      {"a:b", "[a][b]"},
      {"a::b", "[a][][b]"},
      {":a:", "[][a][]"},
      {"record:2:GG", "[record][2][GG]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Joined(SplitText(c.text, ':')), c.parts) << c.text;
  EXPECT_EQ(Joined(SplitText("a:b;c", ';')), "[a:b][c]");
}

}  // namespace
