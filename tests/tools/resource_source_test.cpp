// The reader of the resource source files that the resource compiler runs.
#include "tools/rescomp/resource_source.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

ResourceStrings Read(std::string_view content, std::string_view fileName = "t.txt") {
  ResourceStrings strings;
  ReadResourceSource(content, fileName, strings);
  return strings;
}

// The message of the ResourceSourceError that reading `content` raises.
std::string ReadError(std::string_view content, std::string_view fileName = "t.txt") {
  ResourceStrings strings;
  try {
    ReadResourceSource(content, fileName, strings);
  } catch (const ResourceSourceError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no error for: " << content;
  return {};
}

TEST(ResourceSourceTexts, NumbersAreAddedToTheBase) {
  const auto strings = Read("%texts 12000\n134=OK\n156=Kč\n");
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings.at(12134), "OK");
  EXPECT_EQ(strings.at(12156), Cp("Kč"));
}

TEST(ResourceSourceTexts, TextIsEverythingAfterTheFirstEqualsSign) {
  const auto strings = Read("%texts 0\n1=a=b\n2=trailing  \n3=\n4=ends with colon:");
  EXPECT_EQ(strings.at(1), "a=b");
  EXPECT_EQ(strings.at(2), "trailing  ");
  EXPECT_EQ(strings.at(3), "");
  EXPECT_EQ(strings.at(4), "ends with colon:");
}

TEST(ResourceSourceTexts, CommentsAndEmptyLinesAreSkipped) {
  const auto strings = Read("%% head\n\n%texts 100\n\n%% 1=not a text\n1=one\n\n2=two\n");
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings.at(101), "one");
  EXPECT_EQ(strings.at(102), "two");
}

TEST(ResourceSourceTexts, LaterDirectiveChangesTheBase) {
  const auto strings = Read("%texts 1000\n1=a\n%texts 2000\n1=b\n");
  EXPECT_EQ(strings.at(1001), "a");
  EXPECT_EQ(strings.at(2001), "b");
}

TEST(ResourceSourceTexts, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Read("%texts 0\n1=ñ中\n").at(1), "??");
}

TEST(ResourceSourceBlocks, EachLineIsTheNextIdentifierAndFirstHoldsTheCount) {
  const auto strings = Read("%block 2000\nfirst\nsecond\n");
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings.at(2000), "2");
  EXPECT_EQ(strings.at(2001), "first");
  EXPECT_EQ(strings.at(2002), "second");
}

TEST(ResourceSourceBlocks, EmptyLinesCountButDefineNoString) {
  const auto strings = Read("%block 10\nA\n\n\nB\n\n");
  EXPECT_EQ(strings.at(10), "5");
  EXPECT_EQ(strings.at(11), "A");
  EXPECT_FALSE(strings.contains(12));
  EXPECT_FALSE(strings.contains(13));
  EXPECT_EQ(strings.at(14), "B");
  EXPECT_FALSE(strings.contains(15));
}

TEST(ResourceSourceBlocks, FinalLineWithoutNewlineCountsOnce) {
  EXPECT_EQ(Read("%block 10\nA\nB").at(10), "2");
  EXPECT_EQ(Read("%block 10\nA\nB\n").at(10), "2");
}

TEST(ResourceSourceBlocks, EmptyBlocksReadZero) {
  const auto strings = Read("%block 2000\n%block 14000\n%% comment inside\n%block 29000");
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings.at(2000), "0");
  EXPECT_EQ(strings.at(14000), "0");
  EXPECT_EQ(strings.at(29000), "0");
}

TEST(ResourceSourceBlocks, CommentLinesAreNotCounted) {
  const auto strings = Read("%block 10\nA\n%% note\nB\n");
  EXPECT_EQ(strings.at(10), "2");
  EXPECT_EQ(strings.at(12), "B");
}

TEST(ResourceSourceBlocks, BlockAndTextsSectionsAlternate) {
  const auto strings = Read("%block 10\nA\n%texts 100\n1=x\n%block 20\n\nB\n");
  EXPECT_EQ(strings.at(10), "1");
  EXPECT_EQ(strings.at(11), "A");
  EXPECT_EQ(strings.at(101), "x");
  EXPECT_EQ(strings.at(20), "2");
  EXPECT_EQ(strings.at(22), "B");
}

TEST(ResourceSourceBlocks, BlockTextsAreUnescapedAndConverted) {
  const auto strings = Read("%block 10\nčást\\tdva\n");
  EXPECT_EQ(strings.at(11), Cp("část\tdva"));
}

TEST(ResourceSourceEscapes, KnownEscapesAreReplaced) {
  EXPECT_EQ(UnescapeResourceText("a\\nb\\rc\\td\\\\e"), "a\nb\rc\td\\e");
  EXPECT_EQ(UnescapeResourceText("\\\\n"), "\\n");  // an escaped backslash, then a plain n
  EXPECT_EQ(UnescapeResourceText(""), "");
}

TEST(ResourceSourceEscapes, UnknownEscapesAndATrailingBackslashStay) {
  EXPECT_EQ(UnescapeResourceText("C:\\kom\\q"), "C:\\kom\\q");
  EXPECT_EQ(UnescapeResourceText("end\\"), "end\\");
  EXPECT_EQ(UnescapeResourceText("\\\""), "\\\"");
}

TEST(ResourceSourceEscapes, TextLinesAreUnescaped) {
  EXPECT_EQ(Read("%texts 0\n1=line\\r\\nnext\n").at(1), "line\r\nnext");
}

TEST(ResourceSourceLineEnds, CrLfSourcesReadLikeLf) {
  const auto strings = Read("%% c\r\n%texts 100\r\n1=one\r\n\r\n%block 10\r\nA\r\n\r\nB\r\n");
  EXPECT_EQ(strings.at(101), "one");
  EXPECT_EQ(strings.at(10), "3");
  EXPECT_EQ(strings.at(11), "A");
  EXPECT_EQ(strings.at(13), "B");
}

TEST(ResourceSourceLineEnds, OnlyOneCarriageReturnIsALineEnd) {
  EXPECT_EQ(Read("%texts 0\r\n1=x\r\r\n").at(1), "x\r");
}

TEST(ResourceSourceErrors, DuplicateIdentifierNamesFileAndLine) {
  const auto message = ReadError("%texts 12000\n134=OK\n\n134=again\n", "texts_cs.txt");
  EXPECT_NE(message.find("texts_cs.txt:4:"), std::string::npos) << message;
  EXPECT_NE(message.find("12134"), std::string::npos) << message;
}

TEST(ResourceSourceErrors, DuplicateAcrossFilesNamesTheSecondFile) {
  ResourceStrings strings;
  ReadResourceSource("%texts 12000\n156=Kč\n", "texts_cs.txt", strings);
  try {
    ReadResourceSource("%% other\n%texts 0\n12156=Kc\n", "texts_xx.txt", strings);
    FAIL() << "duplicate accepted";
  } catch (const ResourceSourceError& error) {
    EXPECT_NE(std::string(error.what()).find("texts_xx.txt:3:"), std::string::npos) << error.what();
  }
  EXPECT_EQ(strings.at(12156), Cp("Kč"));
}

TEST(ResourceSourceErrors, TextCollidingWithABlockIsADuplicate) {
  EXPECT_NE(ReadError("%block 100\nA\n%texts 100\n1=x\n").find(":4:"), std::string::npos);
  EXPECT_NE(ReadError("%texts 0\n100=x\n%block 100\n").find("defined twice"), std::string::npos);
}

TEST(ResourceSourceErrors, IdentifiersOutsideSixteenBitsAreRefused) {
  EXPECT_EQ(Read("%texts 65000\n535=last\n").at(65535), "last");
  EXPECT_NE(ReadError("%texts 65000\n536=x\n").find("t.txt:2:"), std::string::npos);
  EXPECT_NE(ReadError("%texts 0\n-1=x\n").find("out of range"), std::string::npos);
  EXPECT_NE(ReadError("%texts 2147483647\n1=x\n").find("out of range"), std::string::npos);
  EXPECT_NE(ReadError("%texts -2147483648\n-1=x\n").find("out of range"), std::string::npos);
  // The 32-bit sum of these two would wrap around to 65535.
  EXPECT_NE(ReadError("%texts -2147483648\n-2147418113=x\n").find("out of range"), std::string::npos);
  EXPECT_NE(ReadError("%block 65535\nA\n").find("out of range"), std::string::npos);
  EXPECT_NE(ReadError("%block 2147483647\nA\n").find("out of range"), std::string::npos);
  EXPECT_NE(ReadError("%block 70000\n").find("out of range"), std::string::npos);
}

TEST(ResourceSourceErrors, TextBeforeAnyDirectiveIsRefused) {
  EXPECT_NE(ReadError("%% fine\n\n1=x\n").find("t.txt:3:"), std::string::npos);
  EXPECT_NO_THROW(Read("%% only comments\n\n"));
  EXPECT_TRUE(Read("").empty());
}

TEST(ResourceSourceErrors, MalformedLinesAndDirectivesAreRefused) {
  EXPECT_NE(ReadError("%texts 0\nno equals sign\n").find("t.txt:2:"), std::string::npos);
  EXPECT_NE(ReadError("%texts 0\nx1=a\n").find("not a number"), std::string::npos);
  EXPECT_NE(ReadError("%texts 0\n 1=a\n").find("not a number"), std::string::npos);
  EXPECT_NE(ReadError("%texts\n").find("not a number"), std::string::npos);
  EXPECT_NE(ReadError("%texts 12x\n").find("not a number"), std::string::npos);
  EXPECT_NE(ReadError("%text 0\n").find("unknown directive"), std::string::npos);
  EXPECT_NE(ReadError("%\n").find("t.txt:1:"), std::string::npos);
}

}  // namespace
