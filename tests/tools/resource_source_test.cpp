// The reader of the resource source files that the resource compiler runs.
#include "tools/rescomp/resource_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The test name of a case: its Name.
template <typename Case>
std::string NameOfCase(const ::testing::TestParamInfo<Case>& tested) {
  return tested.param.Name;
}

// A source and every string it defines (written in UTF-8; the reader keeps
// them in the register's code page).
struct SourceCase {
  const char* Name;
  const char* Source;
  ResourceStrings Strings;
};

class ResourceSourceReading : public ::testing::TestWithParam<SourceCase> {};

TEST_P(ResourceSourceReading, DefinesExactlyTheseStrings) {
  ResourceStrings expected;
  for (const auto& [identifier, text] : GetParam().Strings) expected[identifier] = Cp(text);
  EXPECT_EQ(Read(GetParam().Source), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ResourceSourceReading,
    ::testing::Values(
        SourceCase{"NumbersAreAddedToTheBase", "%texts 12000\n134=OK\n156=Kč\n", {{12134, "OK"}, {12156, "Kč"}}},
        SourceCase{"TextIsEverythingAfterTheFirstEqualsSign",
                   "%texts 0\n1=a=b\n2=trailing  \n3=\n4=ends with colon:",
                   {{1, "a=b"}, {2, "trailing  "}, {3, ""}, {4, "ends with colon:"}}},
        SourceCase{"CommentsAndEmptyLinesAreSkipped",
                   "%% head\n\n%texts 100\n\n%% 1=not a text\n1=one\n\n2=two\n",
                   {{101, "one"}, {102, "two"}}},
        SourceCase{"LaterDirectiveChangesTheBase", "%texts 1000\n1=a\n%texts 2000\n1=b\n", {{1001, "a"}, {2001, "b"}}},
        SourceCase{"UnmappableCharactersBecomeQuestionMarks", "%texts 0\n1=ñ中\n", {{1, "??"}}},
        SourceCase{"HighestIdentifierIsTaken", "%texts 65000\n535=last\n", {{65535, "last"}}},
        SourceCase{"OnlyCommentsDefineNothing", "%% only comments\n\n", {}},
        SourceCase{"EmptySourceDefinesNothing", "", {}}),
    NameOfCase<SourceCase>);

INSTANTIATE_TEST_SUITE_P(
    Blocks, ResourceSourceReading,
    ::testing::Values(
        SourceCase{"EachLineIsTheNextIdentifierAndFirstHoldsTheCount",
                   "%block 2000\nfirst\nsecond\n",
                   {{2000, "2"}, {2001, "first"}, {2002, "second"}}},
        SourceCase{"EmptyLinesCountButDefineNoString", "%block 10\nA\n\n\nB\n\n", {{10, "5"}, {11, "A"}, {14, "B"}}},
        SourceCase{"FinalLineWithoutNewlineCountsOnce", "%block 10\nA\nB", {{10, "2"}, {11, "A"}, {12, "B"}}},
        SourceCase{"FinalLineWithNewlineCountsOnce", "%block 10\nA\nB\n", {{10, "2"}, {11, "A"}, {12, "B"}}},
        SourceCase{"EmptyBlocksReadZero",
                   "%block 2000\n%block 14000\n%% comment inside\n%block 29000",
                   {{2000, "0"}, {14000, "0"}, {29000, "0"}}},
        SourceCase{"CommentLinesAreNotCounted", "%block 10\nA\n%% note\nB\n", {{10, "2"}, {11, "A"}, {12, "B"}}},
        SourceCase{"BlockAndTextsSectionsAlternate",
                   "%block 10\nA\n%texts 100\n1=x\n%block 20\n\nB\n",
                   {{10, "1"}, {11, "A"}, {101, "x"}, {20, "2"}, {22, "B"}}},
        SourceCase{"BlockTextsAreUnescapedAndConverted", "%block 10\nčást\\tdva\n", {{10, "1"}, {11, "část\tdva"}}}),
    NameOfCase<SourceCase>);

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ResourceSourceReading,
    ::testing::Values(SourceCase{"TextLinesAreUnescaped", "%texts 0\n1=line\\r\\nnext\n", {{1, "line\r\nnext"}}},
                      SourceCase{"CrLfSourcesReadLikeLf",
                                 "%% c\r\n%texts 100\r\n1=one\r\n\r\n%block 10\r\nA\r\n\r\nB\r\n",
                                 {{101, "one"}, {10, "3"}, {11, "A"}, {13, "B"}}},
                      SourceCase{"OnlyOneCarriageReturnIsALineEnd", "%texts 0\r\n1=x\r\r\n", {{1, "x\r"}}}),
    NameOfCase<SourceCase>);

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

// Sources the reader refuses, and a part of the message each refusal gives.
struct RefusalCase {
  const char* Name;
  std::vector<const char*> Sources;
  const char* Said;
};

class ResourceSourceRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ResourceSourceRefusal, NamesWhatIsWrong) {
  for (const char* source : GetParam().Sources) {
    EXPECT_NE(ReadError(source).find(GetParam().Said), std::string::npos) << source;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ResourceSourceRefusal,
    ::testing::Values(
        RefusalCase{"TextCollidingWithABlockNamesItsLine", {"%block 100\nA\n%texts 100\n1=x\n"}, ":4:"},
        RefusalCase{"BlockCollidingWithATextIsDefinedTwice", {"%texts 0\n100=x\n%block 100\n"}, "defined twice"},
        RefusalCase{"IdentifierAboveSixteenBitsNamesItsLine", {"%texts 65000\n536=x\n"}, "t.txt:2:"},
        RefusalCase{"IdentifiersOutsideSixteenBitsAreOutOfRange",
                    {"%texts 0\n-1=x\n", "%texts 2147483647\n1=x\n", "%texts -2147483648\n-1=x\n",
                     // The 32-bit sum of these two would wrap around to 65535.
                     "%texts -2147483648\n-2147418113=x\n", "%block 65535\nA\n", "%block 2147483647\nA\n",
                     "%block 70000\n"},
                    "out of range"},
        RefusalCase{"TextBeforeAnyDirectiveNamesItsLine", {"%% fine\n\n1=x\n"}, "t.txt:3:"},
        RefusalCase{"LineWithoutEqualsSignNamesItsLine", {"%texts 0\nno equals sign\n"}, "t.txt:2:"},
        RefusalCase{"IdentifiersAndBasesThatAreNoNumbers",
                    {"%texts 0\nx1=a\n", "%texts 0\n 1=a\n", "%texts\n", "%texts 12x\n"},
                    "not a number"},
        RefusalCase{"UnknownDirective", {"%text 0\n"}, "unknown directive"},
        RefusalCase{"BareDirectiveNamesItsLine", {"%\n"}, "t.txt:1:"}),
    NameOfCase<RefusalCase>);

}  // namespace
