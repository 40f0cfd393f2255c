// Windows: a name that UTF-16 cannot carry is refused, never opened under
// another name; a command file line in the ANSI code page keeps its letters.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <system_error>

#include "base/file_name.h"
#include "base/final_path_win32.h"
#include "base/input_file.h"
#include "base/platform.h"
#include "base/safe_output_file.h"
#include "base/wide_name_win32.h"
#include "tests/test_support.h"

namespace {

TEST(WideName, LoneSurrogatesSurviveAsBytesThatNoFileNameAccepts) {
  const std::wstring lone =
      L"a\xD800"
      L"b";
  const std::string kept = NameFromWide(lone);
  EXPECT_EQ(kept,
            "a\xED\xA0\x80"
            "b");
  EXPECT_THROW(WideName(kept), std::system_error);
  const std::wstring pair = L"\xD83D\xDE00";
  EXPECT_EQ(NameFromWide(pair), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideName(NameFromWide(pair)), pair);
}

TEST(WideName, NamesThatAreNotUtf8AreRefusedByEveryDoorAndLeaveNoFile) {
  TempDir temp;
  const std::string folder = NameFromPath(temp.path());
  for (const std::string& bad : {std::string("lone\xED\xA0\x80.txt"), std::string("cp1250 \xE8.txt")}) {
    const std::string path = folder + "\\" + bad;
    EXPECT_THROW(WriteFileSafely(path, "x"), std::system_error) << bad;
    EXPECT_THROW(AppendToFile(path, "x"), std::system_error) << bad;
    EXPECT_THROW(ReadInputFile(path, 16), std::system_error) << bad;
    EXPECT_THROW(PathFromName(path), std::system_error) << bad;
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

TEST(CommandText, UTF8StaysAndTheAnsiCodePageIsConvertedLetterForLetter) {
  EXPECT_EQ(CommandTextFromFile("STS /FILE=stav\xC4\x8D.txt"), "STS /FILE=stav\xC4\x8D.txt");
  // E9 is é in the Czech and in the western ANSI code page alike.
  EXPECT_EQ(CommandTextFromFile("STS /FILE=caf\xE9.txt"), "STS /FILE=caf\xC3\xA9.txt");
  EXPECT_EQ(CommandTextFromFile(""), "");
}

TEST(FinalPath, DrivesAndSharesBecomeOpenablePathsAndOtherFormsAreRefused) {
  const struct {
    const char* finalPath;
    std::optional<std::string> openable;
  } cases[] = {
      {"\\\\?\\C:\\a", "C:\\a"},
      {"\\\\?\\d:\\data\\plu.txt", "d:\\data\\plu.txt"},
      {"\\\\?\\UNC\\s\\sh\\f", "\\\\s\\sh\\f"},
      {"\\\\?\\Volume{3f2504e0-4f89-11d3-9a0c-0305e82c3301}\\f", std::nullopt},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\f", std::nullopt},
      {"\\\\?\\1:\\f", std::nullopt},
      {"C:\\a", "C:\\a"},
  };
  for (const auto& [finalPath, openable] : cases) EXPECT_EQ(OpenablePathOfFinalPath(finalPath), openable) << finalPath;
}

}  // namespace
