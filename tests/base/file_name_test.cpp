// Names in any language go through the file door and std::filesystem as
// given: written, read back and listed under exactly the bytes the caller
// named (UTF-8 on Windows, whatever its ANSI code page).
#include "base/file_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/input_file.h"
#include "base/safe_output_file.h"
#include "tests/test_support.h"

namespace {

// Letters of the Czech and the western ANSI code pages, of neither, and one
// beyond the 16-bit plane (a surrogate pair in UTF-16).
const std::vector<std::string> NamesInLanguages = {
    "stav\xC4\x8D\xC5\x99.txt",              // stavčř.txt
    "\xE2\x82\xAC-caf\xC3\xA9.txt",          // €-café.txt
    "\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD.txt",  // журн.txt
    "\xF0\x9F\x98\x80 smile.txt",            // an emoji
};

TEST(FileName, NamesInAnyLanguageAreWrittenReadAndListedExactly) {
  TempDir temp;
  const std::string folder = NameFromPath(temp.path());
  for (const std::string& name : NamesInLanguages) {
    const std::string path = folder + "/" + name;
    WriteFileSafely(path, "contents of " + name);
    EXPECT_EQ(ReadInputFile(path, 1024), "contents of " + name) << name;
    EXPECT_EQ(NameFromPath(PathFromName(path)), path) << name;
  }
  std::set<std::string> listed;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
    listed.insert(NameFromPath(entry.path().filename()));
  }
  EXPECT_EQ(listed, std::set<std::string>(NamesInLanguages.begin(), NamesInLanguages.end()));
  MoveFileReplacing(folder + "/" + NamesInLanguages[0], folder + "/" + NamesInLanguages[1]);
  EXPECT_EQ(ReadInputFile(folder + "/" + NamesInLanguages[1], 1024), "contents of " + NamesInLanguages[0]);
  EXPECT_TRUE(RemoveFileIfPresent(folder + "/" + NamesInLanguages[1]));
  EXPECT_FALSE(std::filesystem::exists(PathFromName(folder + "/" + NamesInLanguages[1])));
}

}  // namespace
