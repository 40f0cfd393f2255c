#pragma once
// The check of a table of cases that each give one text and expect one text
// back from the function under test.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

/// Expects `convert(given)` to be `expected` for each {given, expected}.
template <typename Convert>
void ExpectTexts(const Convert& convert, std::initializer_list<std::pair<std::string, std::string>> cases) {
  for (const auto& [given, expected] : cases) EXPECT_EQ(convert(given), expected) << "given \"" << given << "\"";
}
