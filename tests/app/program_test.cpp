#include "app/program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/about_mode.h"
#include "app/command_file_mode.h"
#include "app/error_explanation.h"
#include "app/information_options.h"
#include "base/ini_file.h"
#include "base/platform.h"
#include "test_support.h"

namespace {

TEST(CommandString, ArgumentsAreJoinedWithBlanksAndEndInSlash) {
  EXPECT_EQ(BuildCommandString({"PLU", "/COM=1"}), "PLU /COM=1 /");
  EXPECT_EQ(BuildCommandString({"PLU", "/COM=1", "/BR=2"}), "PLU /COM=1 /BR=2 /");
  EXPECT_EQ(BuildCommandString({}), "");
}

TEST(InformationOption, OnlyAnOptionAsTheFirstArgument) {
  const auto help = RunInformationOption({"--help", "/COM=1"}, "/opt/merv/");
  ASSERT_TRUE(help);
  EXPECT_EQ(help->Status, 0);
  EXPECT_NE(help->Output.find("DOSMODE"), std::string::npos);
  EXPECT_EQ(RunInformationOption({"-h"}, "")->Output, help->Output);
  EXPECT_EQ(RunInformationOption({"--version", "R03"}, "")->Output, "mervmodul " MERV_VERSION_TEXT "\n");
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{}, {"R03", "--version"}, {"/COM=1", "--help"}, {"-"}, {""}}) {
    EXPECT_FALSE(RunInformationOption(command, "")) << command.size();
  }
  const auto wrong = RunInformationOption({"--HELP"}, "");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->Status, UsageFailure);
  EXPECT_EQ(wrong->Output, "");
  EXPECT_NE(wrong->Errors.find("unknown option '--HELP'"), std::string::npos);
}

TEST(InformationOption, ExplainReadsTheOutcomeOfTheFolderGiven) {
  TempDir folder;
  const std::string dir = folder.path().string() + "/";
  EXPECT_EQ(RunInformationOption({"--explain"}, dir)->Status, 1);
  WriteFileBytes(folder / "error.dat", "48\r\n3.02F\r\n");
  const auto explained = RunInformationOption({"--explain"}, dir);
  EXPECT_EQ(explained->Status, 0);
  EXPECT_EQ(explained->Output, dir + "error.dat:\n" + ExplanationText(48));
  WriteFileBytes(folder / "error.dat", " 0\r\n3.02F\r\n");
  EXPECT_EQ(RunInformationOption({"--explain"}, dir)->Output, dir + "error.dat:\nError 0: the command succeeded.\n");
  WriteFileBytes(folder / "error.dat", "");
  EXPECT_EQ(RunInformationOption({"--explain"}, dir)->Status, 1);
}

TEST(Mode, ChosenFromTheCommandString) {
  EXPECT_EQ(ModeOf(""), ProgramMode::About);
  EXPECT_EQ(ModeOf(BuildCommandString({"DOSMODE", "C:\\kom\\prikaz.txt"})), ProgramMode::CommandFile);
  EXPECT_EQ(ModeOf(BuildCommandString({"dosmode", "C:\\kom\\prikaz.txt"})), ProgramMode::Command);
  EXPECT_EQ(ModeOf(BuildCommandString({"DOSMODEX"})), ProgramMode::CommandFile)
      << "only the first seven characters count";
  EXPECT_EQ(ModeOf(BuildCommandString({"R03"})), ProgramMode::Command);
}

TEST(Mode, CommandFilePathIsTheTrimmedRest) {
  EXPECT_EQ(CommandFilePathOf(BuildCommandString({"DOSMODE", "C:\\kom\\prikaz.txt"})), "C:\\kom\\prikaz.txt");
  EXPECT_EQ(CommandFilePathOf(BuildCommandString({"DOSMODE", "/var/spool/merv cmd.txt"})), "/var/spool/merv cmd.txt");
  EXPECT_EQ(CommandFilePathOf(BuildCommandString({"DOSMODE"})), "");
}

TEST(Mode, CommandFileModeAnnouncesThePath) {
  const std::string line = CommandFileModeStartLine("/var/spool/prikaz.txt");
  EXPECT_NE(line.find(Cp(" spuštěno v režimu DOSMODE pro příkazový soubor \"/var/spool/prikaz.txt\"")),
            std::string::npos)
      << line;
}

TEST(ProgramDir, FolderOfTheExecutableWithItsSeparator) {
  EXPECT_EQ(DirectoryOfExecutable(WithPlatformSeparators("/opt/merv/mervmodul")), WithPlatformSeparators("/opt/merv/"));
  EXPECT_EQ(DirectoryOfExecutable(WithPlatformSeparators("/mervmodul")), WithPlatformSeparators("/"));
  EXPECT_EQ(DirectoryOfExecutable("mervmodul"), "");
}

TEST(ProgramDir, NamedFolderWinsOverTheExecutablesFolder) {
  const std::string executable = WithPlatformSeparators("/usr/lib/mervmodul/mervmodul");
  const std::string here = std::filesystem::current_path().make_preferred().string() + PathSeparator();
  const std::pair<std::string, std::string> cases[] = {
      {"", WithPlatformSeparators("/usr/lib/mervmodul/")},
      {WithPlatformSeparators("/var/lib/mervmodul/line1"), WithPlatformSeparators("/var/lib/mervmodul/line1/")},
      {WithPlatformSeparators("/var/lib/mervmodul/line1/"), WithPlatformSeparators("/var/lib/mervmodul/line1/")},
      {"line2", here + "line2" + PathSeparator()},
  };
  for (const auto& [named, expected] : cases) {
    std::string folder = ProgramDirFor(executable, named);
#ifdef _WIN32
    // An absolute POSIX-looking path gains the current drive on Windows.
    if (!named.empty() && named.front() == '\\') folder = folder.substr(2);
#endif
    EXPECT_EQ(folder, expected) << named;
  }
}

TEST(AboutDialogue, WithoutATerminalOnlyShowsTheState) {
  EXPECT_EQ(ProgramCaption(), Cp("MERV Modul Fiskální 9, verze ") + ProgramVersion);
  std::istringstream in("a\na\n");
  std::ostringstream out;
  EXPECT_EQ(RunAboutDialogue(in, out, false, true, "/nonexistent/readme.txt"), std::nullopt) << "nobody answered";
  EXPECT_NE(out.str().find(std::string("MERV Modul Fiskální 9, verze ") + ProgramVersion), std::string::npos);
  EXPECT_EQ(out.str().find("?"), std::string::npos) << "no question without a terminal";
}

TEST(AboutDialogue, AnswersSwitchTheLogAndShowTheDescription) {
  TempDir dir;
  WriteFileBytes(dir / "readme.txt", Cp("Popis modulu\r\nDruhý řádek\r\n"));
  std::istringstream in("a\nn\n");
  std::ostringstream out;
  EXPECT_EQ(RunAboutDialogue(in, out, true, true, (dir / "readme.txt").string()), false);
  EXPECT_NE(out.str().find("Druhý řádek\n"), std::string::npos) << out.str();
}

TEST(AboutDialogue, EmptyAnswersKeepTheCurrentStateAndNoAnswerChoosesNothing) {
  std::istringstream in("\n\n");
  std::ostringstream out;
  EXPECT_EQ(RunAboutDialogue(in, out, true, true, "/nonexistent/readme.txt"), true);
  std::istringstream closed("");
  EXPECT_EQ(RunAboutDialogue(closed, out, true, false, "/nonexistent/readme.txt"), std::nullopt);
  std::istringstream closedAfterTheFirst("n\n");
  EXPECT_EQ(RunAboutDialogue(closedAfterTheFirst, out, true, true, "/nonexistent/readme.txt"), std::nullopt);
}

TEST(IniFile, ReadsEntriesOfASectionWithoutCase) {
  const auto ini = TIniFile::FromText("[Ver2]\r\nLogSouborSifra = 1\r\n[Ports]\nCOM1=/dev/pts/4\n");
  EXPECT_EQ(ini.Value("ver2", "logsouborsifra"), "1");
  EXPECT_EQ(ini.Value("Ports", "COM1"), "/dev/pts/4");
  EXPECT_FALSE(ini.Value("Ports", "LogSouborSifra"));
  EXPECT_FALSE(ini.Value("Other", "COM1"));
}

TEST(IniFile, WritingKeepsEverythingElse) {
  auto ini = TIniFile::FromText("; settings\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[Ver2]\nOther=x\n");
  ini.SetValue("Ver2", "LogSouborSifra", "1");
  ini.SetValue("Ports", "COM2", "/dev/ttyUSB1");
  EXPECT_EQ(ini.ToText(),
            "; settings\n[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\n\n[Ver2]\nOther=x\nLogSouborSifra=1\n");
  ini.SetValue("VER2", "logsouborsifra", "0");
  EXPECT_EQ(ini.Value("Ver2", "LogSouborSifra"), "0");
}

TEST(IniFile, AByteOrderMarkHidesNoSectionAndIsWrittenBack) {
  auto ini = TIniFile::FromText("\xEF\xBB\xBF[Ver2]\r\nLogSouborSifra=1\r\n");
  EXPECT_EQ(ini.Value("Ver2", "LogSouborSifra"), "1");
  ini.SetValue("Ver2", "LogSouborSifra", "0");
  EXPECT_EQ(ini.ToText(), "\xEF\xBB\xBF[Ver2]\nLogSouborSifra=0\n");
}

TEST(IniFile, MissingSectionIsAppended) {
  auto ini = TIniFile::FromText("");
  ini.SetValue("Ver2", "LogSouborSifra", "0");
  EXPECT_EQ(ini.ToText(), "[Ver2]\nLogSouborSifra=0\n");
}

}  // namespace
