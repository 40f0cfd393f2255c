#include "base/split_text.h"

#include <gtest/gtest.h>

#include <string>

#include "text_cases.h"

namespace {

std::string Joined(const std::vector<std::string_view>& parts) {
  std::string text;
  for (const auto part : parts) text += "[" + std::string(part) + "]";
  return text;
}

TEST(SplitText, KeepsEveryPartEmptyOnesIncluded) {
  ExpectTexts([](const std::string& text) { return Joined(SplitText(text, ':')); },
              {
                  {"", "[]"},
                  {"a", "[a]"},
                  {":", "[][]"},
                  {"a:b", "[a][b]"},
                  {"a::b", "[a][][b]"},
                  {":a:", "[][a][]"},
                  {"record:2:GG", "[record][2][GG]"},
              });
  EXPECT_EQ(Joined(SplitText("a:b;c", ';')), "[a:b][c]");
}

}  // namespace
