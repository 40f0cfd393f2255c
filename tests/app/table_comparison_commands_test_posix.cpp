// "Dnn" and "Wnn /VERIFY" against the register emulator: the differences
// file, and "error.dat" with and without /STRICT, after a read that fails or
// cannot connect and against a register that stores a record wrongly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/emulated_register.h"
#include "test_support.h"

#ifdef MERVSIM_EXE

namespace {

class TableComparisonCommand : public EmulatedRegisterTest {
protected:
  /// The register's PLU table as R03 writes it, one line a row.
  std::vector<std::string> ReadPlu() {
    EXPECT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
    return FileLines("plu.txt");
  }

  void WriteLines(const std::string& name, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    WriteFileBytes(folder_ / name, text);
  }
};

TEST_F(TableComparisonCommand, NamesTheChangedTheAddedAndTheRemovedRow) {
  StartRegister();
  std::vector<std::string> file = ReadPlu();
  ASSERT_EQ(file.size(), static_cast<std::size_t>(PluCount));
  std::vector<std::string> changed = Fields(file[4]);
  const std::string oldPrice = changed[2];
  changed[2] = "12345";
  std::string changedLine;
  for (std::size_t i = 0; i + 1 < changed.size(); ++i) changedLine += changed[i] + ";";
  file[4] = changedLine;
  const std::string removed = file[9];
  file.erase(file.begin() + 9);
  std::vector<std::string> added = Fields(file.back());
  added[0] = "8599999999994";
  std::string addedLine;
  for (std::size_t i = 0; i + 1 < added.size(); ++i) addedLine += added[i] + ";";
  file.push_back(addedLine);
  WriteLines("changed.txt", file);

  EXPECT_EQ(Run("D03", {"/FILE=changed.txt"}), " 0") << "differences are no failure without /STRICT";
  const auto lines = FileLines("DIFF03.txt");
  ASSERT_EQ(lines.size(), 3u) << File("DIFF03.txt");
  EXPECT_TRUE(lines[0].starts_with("~ " + changed[0] + ";")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(": 12345 -> " + oldPrice)) << lines[0];
  EXPECT_EQ(lines[1], "+ " + removed);
  EXPECT_EQ(lines[2], "- " + addedLine);

  EXPECT_EQ(Run("D03", {"/FILE=changed.txt", "/STRICT", "/DIFF=" + CommandPath(folder_ / "strict.txt")}), "60");
  EXPECT_EQ(File("strict.txt"), File("DIFF03.txt"));
}

TEST_F(TableComparisonCommand, AnEqualTableGivesAnEmptyDifferencesFileEvenWhenStrict) {
  StartRegister();
  ReadPlu();
  WriteFileBytes(folder_ / "DIFF03.txt", "from an earlier run\r\n");
  EXPECT_EQ(Run("D03", {"/FILE=plu.txt", "/STRICT"}), " 0");
  EXPECT_EQ(File("DIFF03.txt"), "");
  EXPECT_EQ(Run("D03", {"/FILE=missing.txt"}), " 6") << "the file is read before the register";
}

TEST_F(TableComparisonCommand, AReportComparesWithTheFileItsReadWrote) {
  StartRegister();
  ASSERT_EQ(Run("R70", {"/FILE=r70.txt"}), " 0");
  ASSERT_FALSE(File("r70.txt").empty());
  EXPECT_EQ(Run("D70", {"/FILE=r70.txt", "/STRICT"}), " 0");
  EXPECT_EQ(File("DIFF70.txt"), "");
  EXPECT_EQ(Run("W70", {"/FILE=r70.txt", "/VERIFY"}), " 1") << "a report is still not written";
}

TEST_F(TableComparisonCommand, AReadThatFailsIsComparedAsFarAsItWentAndReportsItsFailure) {
  StartRegister();
  const auto file = ReadPlu();
  StartRegister({"--drop-after", "10"});
  EXPECT_EQ(Run("D03", {"/FILE=plu.txt", "/STRICT"}), " 5");
  const auto lines = FileLines("DIFF03.txt");
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(PluCount - 10)) << File("DIFF03.txt");
  EXPECT_EQ(lines.front(), "- " + file[10]);
  EXPECT_EQ(lines.back(), "- " + file.back());
}

// The register takes the write's connection and refuses the read-back's: no
// row was read back, so every row sent is listed as missing from the register.
TEST_F(TableComparisonCommand, VerifiedWriteWhoseReadBackCannotConnectListsEveryRowSent) {
  StartRegister();
  const auto file = ReadPlu();
  StartRegister({"--once"});
  EXPECT_EQ(Run("W03", {"/FILE=plu.txt", "/VERIFY"}), " 9");
  const auto lines = FileLines("DIFF03.txt");
  ASSERT_EQ(lines.size(), file.size()) << File("DIFF03.txt");
  for (std::size_t row = 0; row < file.size(); ++row) EXPECT_EQ(lines[row], "- " + file[row]);
}

TEST_F(TableComparisonCommand, VerifiedWriteNamesTheRowTheRegisterStoredWrongly) {
  StartRegister();
  const auto file = ReadPlu();
  EXPECT_EQ(Run("W03", {"/FILE=plu.txt", "/VERIFY"}), " 0");
  EXPECT_EQ(File("DIFF03.txt"), "");

  StartRegister({"--store-wrong", "7"});
  EXPECT_EQ(Run("W03", {"/FILE=plu.txt"}), " 0") << "without /VERIFY nothing is read back";
  std::filesystem::remove(folder_ / "DIFF03.txt");
  EXPECT_EQ(Run("W03", {"/FILE=plu.txt", "/VERIFY"}), "60");
  const auto lines = FileLines("DIFF03.txt");
  ASSERT_EQ(lines.size(), 1u) << File("DIFF03.txt");
  const auto row = Fields(file[6]);
  const std::string renamed = (row[1].starts_with("X") ? "Y" : "X") + row[1].substr(1);
  EXPECT_TRUE(lines[0].starts_with("~ " + row[0] + ";")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(": " + row[1] + " -> " + renamed)) << lines[0];
}

}  // namespace

#endif  // MERVSIM_EXE
