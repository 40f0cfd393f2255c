// The daily sales export: file name, line format, the ".bak" chain, and
// "EXPORTZ74" against the register emulator.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <ctime>
#include <filesystem>

#include "app/daily_sales_export.h"
#include "app/decimal_separator.h"
#include "base/kom_error.h"
#include "base/process_values.h"
#include "emulated_register.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "test_support.h"
#include "base/communication_log.h"

namespace {

std::tm Day(int year, int month, int day) {
  std::tm date{};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  return date;
}

TEST(DailySalesExportTest, FileNameFromFolderDateShopAndRegister) {
  CommandParameters parameters;
  parameters.ShopId = "12";
  parameters.RegisterId = "3";
  const struct {
    const char* folder;
    std::tm day;
    const char* name;
  } cases[] = {
      {"/export", Day(2026, 3, 15), "/export/20260315_12_3.csv"},
      {"/export/", Day(2026, 3, 15), "/export/20260315_12_3.csv"},
      {"relative", Day(2026, 1, 5), "relative/20260105_12_3.csv"},
      {"", Day(2026, 12, 31), "/opt/merv/20261231_12_3.csv"},
  };
  for (const auto& c : cases) {
    parameters.ExportDir = c.folder;
    EXPECT_EQ(ComposeExportFileName("/opt/merv/", parameters, c.day), c.name) << c.folder;
  }
}

struct SalesRow {
  const char* amount;
  const char* quantity;
  char separator;
  const char* line;
  const char* logged;  // the complaint about a bad number, or none
};

TEST(DailySalesExportTest, LinesOfTheSalesFile) {
  const SalesRow rows[] = {
      {"12550", "5.000", '.', "859;;859;25.10;0;0;125.50;5.00;0", nullptr},
      {"12550", "5.000", ',', "859;;859;25,10;0;0;125,50;5,00;0", nullptr},
      {"12550", "0.000", '.', "859;;859;0.00;0;0;125.50;0.00;0", nullptr},
      {"-300", "2.000", '.', "859;;859;-1.50;0;0;-3.00;2.00;0", nullptr},
      {"1000", "0.003", '.', "859;;859;3333.33;0;0;10.00;0.00;0", nullptr},
      {"1", "0.005", '.', "859;;859;2.00;0;0;0.01;0.01;0", nullptr},
      {"5", "12.345", '.', "859;;859;0.00;0;0;0.05;12.35;0", nullptr},
      {"12345678901234", "1.000", '.', "859;;859;123456789012.34;0;0;123456789012.34;1.00;0", nullptr},
      {"1x", "1.000", '.', "859;;859;0.00;0;0;0.00;1.00;0", "Chybny udaj o trzbe: EAN 859  = 1x"},
      {"100", "1.5x0", '.', "859;;859;0.00;0;0;1.00;0.00;0", "Chybny udaj o mnozstvi: EAN 859  = 1.5x0"},
  };
  const LogCapture log;
  const auto catalogue = BuildCatalogue("ECR 465T/465TF");
  TSoubor& table = *catalogue->Table(74);
  for (const auto& row : rows) {
    table.Rows.clear();
    table.AddRow(-1, std::string("1|1|") + row.amount + "|859|" + row.quantity + "|");
    log.Clear();
    EXPECT_EQ(DailySalesLine(table, 0, row.separator), row.line) << row.amount << " " << row.quantity;
    const std::string text = log.Text();
    if (row.logged != nullptr) {
      EXPECT_NE(text.find(row.logged), std::string::npos) << text;
    } else {
      EXPECT_EQ(text, "");
    }
  }
}

TEST(DailySalesExportTest, SeparatorIsThePointWithoutARegionalOne) {
  for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    ASSERT_EQ(setenv("LC_ALL", locale, 1), 0);
    EXPECT_EQ(DecimalSeparator(), '.') << locale;
  }
  unsetenv("LC_ALL");
}

TEST(DailySalesExportTest, EarlierFilesMoveAsideAlongABakChain) {
  TempDir folder;
  const std::string file = (folder / "sales.csv").string();
  MoveAside(file);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "nothing to move";
  for (const char* content : {"first", "second", "third"}) {
    WriteFileBytes(file, content);
    MoveAside(file);
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  EXPECT_EQ(ReadFileBytes(file + ".bak"), "first");
  EXPECT_EQ(ReadFileBytes(file + ".bak.bak"), "second");
  EXPECT_EQ(ReadFileBytes(file + ".bak.bak.bak"), "third");
}

// A link at the day's name is moved aside itself, never followed; once the
// ".bak" names reach the longest file name (59 exports of one day), the
// export is refused with 07, naming the file and what to clear.
TEST(DailySalesExportTest, ALinkMovesAsideAsItIsAndAFullBakChainIsRefusedWithWhatToClear) {
  TempDir folder;
  WriteFileBytes(folder / "victim", "theirs");
  const std::string file = (folder / "20240101_7_8.csv").string();
  std::filesystem::create_symlink(folder / "victim", file);
  MoveAside(file);
  EXPECT_TRUE(std::filesystem::is_symlink(file + ".bak"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(file)));
  EXPECT_EQ(ReadFileBytes(folder / "victim"), "theirs");

  std::string last = file + ".bak";
  int backups = 1;
  while (std::filesystem::path(last + ".bak").filename().string().size() <= 255) {
    last += ".bak";
    WriteFileBytes(last, "old");
    ++backups;
  }
  EXPECT_EQ(backups, 59);
  WriteFileBytes(file, "today");
  try {
    MoveAside(file);
    ADD_FAILURE() << "a chain at the name limit was not refused";
  } catch (const EKomError& refusal) {
    const std::string message = refusal.what();
    EXPECT_EQ(refusal.Number(), 7);
    EXPECT_NE(message.find(file), std::string::npos) << message;
    EXPECT_NE(message.find(".bak*"), std::string::npos) << message;
  }
  EXPECT_EQ(ReadFileBytes(file), "today");
}

#ifdef MERVSIM_EXE

class DailySalesRunTest : public EmulatedRegisterTest {
protected:
  std::vector<std::string> ExportParameters() const {
    return {"/PRODEJNA=12", "/POKLADNA=3", "/EXPORTDIR=" + CommandPath(exportDir_)};
  }

  std::string TodaysName() const {
    char date[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y%m%d", std::localtime(&now));
    return std::string(date) + "_12_3.csv";
  }

  std::filesystem::path exportDir_ = folder_ / "export";
};

TEST_F(DailySalesRunTest, WritesTheDaysFileAndKeepsEarlierOnesAsBak) {
  std::filesystem::create_directory(exportDir_);
  StartRegister();
  const std::string before = TodaysName();
  ASSERT_EQ(Run("EXPORTZ74", ExportParameters()), " 0");
  const std::string name = std::filesystem::exists(exportDir_ / before) ? before : TodaysName();
  const auto file = exportDir_ / name;
  const auto lines = TextLines(ReadFileBytes(file));
  ASSERT_FALSE(lines.empty());
  for (const auto& line : lines) {
    const auto fields = Fields(line);
    ASSERT_EQ(fields.size(), 9u) << line;
    EXPECT_EQ(fields[0], fields[2]);
    EXPECT_EQ(fields[1], "");
    EXPECT_EQ(fields[4] + fields[5] + fields[8], "000");
    const double price = std::stod(fields[3]);
    const double amount = std::stod(fields[6]);
    const double quantity = std::stod(fields[7]);
    EXPECT_NEAR(price * quantity, amount, 0.005 * (quantity + price) + 0.01) << line;
  }
  EXPECT_EQ(ReadFileBytes(file).size(), [&] {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    return size;
  }()) << "every line ends in CR LF";

  const std::string first = ReadFileBytes(file);
  ASSERT_EQ(Run("exportz74", ExportParameters()), " 0");
  EXPECT_EQ(ReadFileBytes(file.string() + ".bak"), first);
  ASSERT_EQ(Run("EXPORTZ74", ExportParameters()), " 0");
  EXPECT_TRUE(std::filesystem::exists(file.string() + ".bak.bak"));
  EXPECT_EQ(ReadFileBytes(file), first) << "the same day's sales again";

  StartRegister({"--silent-after", "0"});
  EXPECT_NE(Run("EXPORTZ74", ExportParameters()), " 0");
  EXPECT_FALSE(std::filesystem::exists(file)) << "a failed read writes no new file";
  EXPECT_EQ(ReadFileBytes(file.string() + ".bak.bak.bak"), first) << "the old one keeps its .bak name";
  for (const auto& entry : std::filesystem::directory_iterator(exportDir_)) {
    EXPECT_TRUE(entry.path().filename().string().starts_with(name)) << entry.path();
    EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
    EXPECT_EQ(entry.path().filename().string().find("mervtmp"), std::string::npos) << "no temporary file is left";
  }
}

TEST_F(DailySalesRunTest, NumbersTakeTheDecimalSeparatorOfTheLocale) {
  // A Czech locale of our own: the machine need not have one installed.
  const auto locales = folder_ / "locales";
  std::filesystem::create_directory(locales);
  const auto built =
      RunProcess("/usr/bin/localedef", {"-i", "cs_CZ", "-f", "UTF-8", (locales / "cs_CZ.UTF-8").string()});
  ASSERT_TRUE(std::filesystem::exists(locales / "cs_CZ.UTF-8" / "LC_NUMERIC")) << built.standardError;
  // glibc keeps the LOCPATH list it parsed for good; the leak checker of the
  // sanitizer build is told so.
  WriteFileBytes(folder_ / "lsan.supp", "leak:argz_add_sep\n");
  environment_ = {{"LOCPATH", locales.string()},
                  {"LC_ALL", "cs_CZ.UTF-8"},
                  {"LSAN_OPTIONS", "suppressions=" + (folder_ / "lsan.supp").string()}};

  std::filesystem::create_directory(exportDir_);
  StartRegister();
  ASSERT_EQ(Run("EXPORTZ74", ExportParameters()), " 0");
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(exportDir_), {}), 1);
  const auto file = std::filesystem::directory_iterator(exportDir_)->path();
  for (const auto& line : TextLines(ReadFileBytes(file))) {
    const auto fields = Fields(line);
    ASSERT_EQ(fields.size(), 9u) << line;
    for (const int number : {3, 6, 7}) {
      EXPECT_EQ(fields[static_cast<std::size_t>(number)].find('.'), std::string::npos) << line;
      EXPECT_EQ(fields[static_cast<std::size_t>(number)].size() - fields[static_cast<std::size_t>(number)].find(','),
                3u)
          << line;
    }
  }
}

// An export that cannot be written is the output file's failure (07), as for
// the other files a command writes, and leaves no file behind: in a folder
// where not even root creates a file, and where a folder holds the day's name.
TEST_F(DailySalesRunTest, AnExportThatCannotBeWrittenGivesSevenAndNoFile) {
  std::filesystem::create_directories(exportDir_ / TodaysName());
  StartRegister();
  for (const std::filesystem::path& place : {std::filesystem::path("/proc/self"), exportDir_}) {
    EXPECT_EQ(Run("EXPORTZ74", {"/PRODEJNA=12", "/POKLADNA=3", "/EXPORTDIR=" + CommandPath(place)}), " 7") << place;
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path())) {
    EXPECT_FALSE(entry.is_regular_file() && entry.path().extension() == ".csv") << entry.path();
    EXPECT_EQ(entry.path().filename().string().find("mervtmp"), std::string::npos) << entry.path();
  }
}

#endif  // MERVSIM_EXE

}  // namespace
