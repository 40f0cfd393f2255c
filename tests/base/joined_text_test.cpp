#include "base/joined_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JoinedText, JoinsThePiecesInOrderEmptyOnesIncluded) {
  EXPECT_EQ(JoinedText({}), "");
  EXPECT_EQ(JoinedText({"", ""}), "");
  EXPECT_EQ(JoinedText({"#", std::string("07"), ":", "text"}), "#07:text");
  const std::string embedded("a\0b", 3);
  EXPECT_EQ(JoinedText({embedded, "c"}), std::string("a\0bc", 4)) << "a piece is its bytes, not a C string";
}

}  // namespace
