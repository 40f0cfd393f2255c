#include "app/command_line.h"
#include "app/activity_table.h"
#include "app/register_activities.h"
#include "model/model_list.h"

#include <gtest/gtest.h>

#include "base/communication_log.h"
#include "base/kom_error.h"
#include "base/process_values.h"
#include "test_support.h"

namespace {

class CommandLine : public ::testing::Test {
protected:
  void Parse(const std::string& command) { ParseCommand(command, "/opt/merv/", settings, parameters); }

  // The error number that parsing the command raises, 0 when it passes.
  int ParseError(const std::string& command) {
    try {
      Parse(command);
    } catch (const EKomError& error) {
      return error.Number();
    }
    return 0;
  }

  int CheckError() {
    try {
      CheckConnectionParameters(settings, parameters);
    } catch (const EKomError& error) {
      return error.Number();
    }
    return 0;
  }

  TNastaveni settings = TNastaveni::CommandDefaults();
  CommandParameters parameters;

private:
};

TEST_F(CommandLine, SplitsActivityAndParametersAtSlashes) {
  Parse("PLU /COM=1 /BR=2 /FILE=plu.txt /");
  EXPECT_EQ(parameters.Activity, "PLU");
  EXPECT_EQ(settings.ComPort[1], 1);
  EXPECT_EQ(settings.BaudRate[1], 19200);
  EXPECT_EQ(parameters.DataFile, "/opt/merv/plu.txt");
}

TEST_F(CommandLine, TextAfterTheLastSlashIsNeverInterpreted) {
  Parse("R03 /COM=1 /BR=3");
  EXPECT_EQ(settings.ComPort[1], 1);
  EXPECT_EQ(settings.BaudRate[1], 0);
}

TEST_F(CommandLine, BlanksAroundTokensDoNotMatterButInsideValuesStay) {
  Parse("  R03   /EAN= 12 34  /PRODEJNA=Shop one /");
  EXPECT_EQ(parameters.Activity, "R03");
  EXPECT_EQ(parameters.Ean, " 12 34");
  EXPECT_EQ(parameters.ShopId, "Shop one");
}

TEST_F(CommandLine, LaterActivityWordReplacesEarlierOne) {
  Parse("R03 W05 /");
  EXPECT_EQ(parameters.Activity, "R03 W05");
  Parse("R03 /COM=1 /W05 /");
  EXPECT_EQ(parameters.Activity, "R03");
}

TEST_F(CommandLine, BaudRateCodesAndPlainSpeeds) {
  const std::pair<const char*, int> cases[] = {{"1", 9600},   {"2", 19200},   {"3", 38400}, {"4", 57600},
                                               {"5", 115200}, {"4800", 4800}, {"0", 0},     {"-7", -7}};
  for (const auto& [value, speed] : cases) {
    settings = TNastaveni::CommandDefaults();
    Parse(std::string("R03 /BR=") + value + " /");
    EXPECT_EQ(settings.BaudRate[1], speed) << value;
  }
}

TEST_F(CommandLine, EachBadIntegerGivesItsOwnNumber) {
  const std::pair<const char*, int> cases[] = {{"BR=x", 3},    {"BR=2x", 3},        {"BR=", 3},
                                               {"COM=one", 2}, {"IPPORT=40a1", 48}, {"TO=fast", 18},
                                               {"ID=1.5", 19}, {"ROW=last", 38},    {"COM=99999999999", 2}};
  for (const auto& [parameter, number] : cases) {
    EXPECT_EQ(ParseError(std::string("R03 /") + parameter + " /"), number) << parameter;
  }
}

TEST_F(CommandLine, ComPortKeepsLowEightBits) {
  Parse("R03 /COM=257 /");
  EXPECT_EQ(settings.ComPort[1], 1);
}

TEST_F(CommandLine, ParityTakesOnlyTheFirstCharacter) {
  Parse("R03 /PAR=Even /");
  EXPECT_EQ(settings.Parity[1], 'E');
  Parse("R03 /PAR= /");
  EXPECT_EQ(settings.Parity[1], 'E') << "an empty parity keeps what was there";
}

TEST_F(CommandLine, FormatAndCodePageAcceptOnlyTheirValues) {
  for (const char* format : {"3", "0", "two"}) {
    EXPECT_EQ(ParseError(std::string("R03 /FORMAT=") + format + " /"), 32) << format;
  }
  EXPECT_EQ(ParseError("R03 /CODE=437 /"), 25);
  EXPECT_EQ(ParseError("R03 /FORMAT=2 /CODE=1250 /"), 0);
  EXPECT_EQ(parameters.FileFormat, 2);
  EXPECT_EQ(parameters.CodePage, 1250);
}

TEST_F(CommandLine, ModelCodesCompareExactlyWithCase) {
  Parse("R03 /ECR=579E /");
  EXPECT_EQ(ModelNameOfCode(parameters.ModelCode), "ECR 579/579R");
  Parse("R03 /ECR=579 /");
  EXPECT_EQ(ModelNameOfCode(parameters.ModelCode), "ECR 579F");
  EXPECT_EQ(ParseError("R03 /ECR=579e /"), 23);
  EXPECT_EQ(ParseError("R03 /ECR=465T /"), 23);
  EXPECT_EQ(ParseError("R03 /ECR= /"), 23);
}

TEST_F(CommandLine, PathValuesAreNormalised) {
  Parse("R03 /FILE=\"C:\\Data\\plu.txt\" /");
  EXPECT_EQ(parameters.DataFile, WithPlatformSeparators("C:/Data/plu.txt"));
  Parse("R03 /FILE=\\srv\\shop\\plu.txt /");
  EXPECT_EQ(parameters.DataFile, WithPlatformSeparators("/srv/shop/plu.txt"));
  Parse("R03 /FILE=data\\plu.txt /");
  EXPECT_EQ(parameters.DataFile, WithPlatformSeparators("data/plu.txt"));
  Parse("R03 /FILE= /");
  EXPECT_EQ(parameters.DataFile, "/opt/merv/");
  Parse("R03 /ZURNAL=\"z.dat\" /");
  EXPECT_EQ(parameters.JournalFile, "/opt/merv/z.dat");
  Parse("R03 /FILE=\" /");
  EXPECT_EQ(parameters.DataFile, "/opt/merv/\"") << "a lone quote is not a pair of quotes";
}

TEST_F(CommandLine, ComparisonValues) {
  Parse("D03 /FILE=plu.txt /");
  EXPECT_EQ(parameters.DiffFile, "") << "the activity names the default file";
  EXPECT_FALSE(parameters.Strict);
  EXPECT_FALSE(parameters.Verify);
  Parse("D03 /DIFF=out\\d.txt /STRICTLY /VERIFYING /");
  EXPECT_EQ(parameters.DiffFile, WithPlatformSeparators("out/d.txt"));
  EXPECT_FALSE(parameters.Strict) << "switches are whole tokens";
  EXPECT_FALSE(parameters.Verify);
  Parse("W03 /DIFF=d.txt /STRICT /VERIFY /");
  EXPECT_EQ(parameters.DiffFile, "/opt/merv/d.txt");
  EXPECT_TRUE(parameters.Strict);
  EXPECT_TRUE(parameters.Verify);
}

TEST(ActivityWords, DAndTwoDigitsCompareWhileDeblockAndOtherWordsKeepTheirMeaning) {
  const TActivity* compare = FindActivity("D03");
  ASSERT_NE(compare, nullptr);
  EXPECT_EQ(compare->Run, &CompareTableWithFile);
  EXPECT_TRUE(compare->NeedsLine);
  ASSERT_NE(FindActivity("DEBLOCK"), nullptr);
  EXPECT_EQ(FindActivity("DEBLOCK")->Run, &BlockRegister);
  for (const char* word : {"D", "D3", "DOSMODE", "Dxy", "DE"}) EXPECT_EQ(FindActivity(word), nullptr) << word;
}

TEST_F(CommandLine, LogPathIsTakenAndNormalised) {
  Parse("R03 /LOG=trace.log /");
  EXPECT_EQ(parameters.PlainLogFile, "/opt/merv/trace.log");
}

TEST_F(CommandLine, IpPortAloneSwitchesTcpOnAndFailsForMissingAddress) {
  Parse("R03 /IPPORT=4001 /");
  EXPECT_TRUE(settings.UseTcp);
  EXPECT_EQ(settings.IpPort, 4001);
  EXPECT_EQ(CheckError(), 47);
}

TEST_F(CommandLine, ModemSwitchMatchesAnyTokenBeginningWithModem) {
  Parse("R03 /MODEMX /min /");
  EXPECT_TRUE(settings.UseModem);
  EXPECT_FALSE(parameters.Minimized) << "keys compare with case";
  Parse("R03 /MIN /");
  EXPECT_TRUE(parameters.Minimized);
}

TEST_F(CommandLine, DiallingSetsNumberAndMethod) {
  Parse("R03 /DIALTONE=123 /");
  EXPECT_EQ(settings.PhoneNumber, "123");
  EXPECT_TRUE(settings.ToneDialling);
  Parse("R03 /DIALPULS=456 /");
  EXPECT_EQ(settings.PhoneNumber, "456");
  EXPECT_FALSE(settings.ToneDialling);
}

TEST_F(CommandLine, UnknownAndLowerCaseKeysAreIgnored) {
  EXPECT_EQ(ParseError("R03 /com=x /XYZ=1 // /br=y /"), 0);
  EXPECT_EQ(settings.ComPort[1], 0);
}

TEST_F(CommandLine, BadFontSizeIsNoError) {
  Parse("R03 /FONT=big /");
  EXPECT_EQ(parameters.FontSize, 0);
  Parse("R03 /FONT=12 /");
  EXPECT_EQ(parameters.FontSize, 12);
}

TEST_F(CommandLine, ValueWithSlashIsCutAndTheRestBecomesAToken) {
  Parse("R03 /FILE=a/COM=4 /");
  EXPECT_EQ(parameters.DataFile, "/opt/merv/a");
  EXPECT_EQ(settings.ComPort[1], 4);
}

TEST_F(CommandLine, ExportValues) {
  Parse("EXPORTZ74 /PRODEJNA=12 /POKLADNA=3 /EXPORTDIR=\\data\\export /");
  EXPECT_EQ(parameters.ShopId, "12");
  EXPECT_EQ(parameters.RegisterId, "3");
  EXPECT_EQ(parameters.ExportDir, WithPlatformSeparators("/data/export"));
}

TEST_F(CommandLine, ChecksInOrder) {
  EXPECT_EQ(CheckError(), 1);
  parameters.Activity = "R03";
  EXPECT_EQ(CheckError(), 2);
  settings.ComPort[1] = 1;
  EXPECT_EQ(CheckError(), 3);
  settings.BaudRate[1] = 9600;
  EXPECT_EQ(CheckError(), 0);
  settings.UseTcp = true;
  EXPECT_EQ(CheckError(), 47);
  settings.IpAddress = "10.0.0.1";
  EXPECT_EQ(CheckError(), 48);
  settings.IpPort = 4001;
  EXPECT_EQ(CheckError(), 0);
}

TEST_F(CommandLine, TcpNeedsNoComLine) {
  Parse("R03 /IPADDR=127.0.0.1 /IPPORT=4001 /");
  EXPECT_EQ(CheckError(), 0);
}

TEST_F(CommandLine, StoredJournalActivitiesNeedNoConnection) {
  Parse("PRINTZUR /ZURNAL=z.dat /");
  EXPECT_EQ(CheckError(), 0);
  Parse("PRINTUCT /");
  EXPECT_EQ(CheckError(), 0);
  Parse("printzur /");
  EXPECT_EQ(CheckError(), 2);
}

TEST(LineMode, ParityDataBitsAndStopBits) {
  TNastaveni settings = TNastaveni::CommandDefaults();
  EXPECT_EQ(settings.LineMode(1), 0x08 + 3) << "odd parity, 8 data bits, 1 stop bit";
  EXPECT_EQ(settings.LineMode(3), 0x03);
  const std::pair<char, int> parities[] = {{'E', 0x18}, {'M', 0x28}, {'O', 0x08}, {'S', 0x38}, {'N', 0}, {'x', 0}};
  for (const auto& [parity, bits] : parities) {
    settings.Parity[2] = parity;
    settings.DataBits[2] = 5;
    settings.StopBits[2] = 1;
    EXPECT_EQ(settings.LineMode(2), bits) << parity;
  }
  settings.Parity[2] = 'N';
  const std::pair<int, int> dataBits[] = {{5, 0}, {6, 1}, {7, 2}, {8, 3}, {9, 3}, {0, 3}};
  for (const auto& [bits, added] : dataBits) {
    settings.DataBits[2] = static_cast<std::uint8_t>(bits);
    EXPECT_EQ(settings.LineMode(2), added) << bits;
  }
  settings.DataBits[2] = 5;
  settings.StopBits[2] = 2;
  EXPECT_EQ(settings.LineMode(2), 4);
  settings.StopBits[2] = 0;
  EXPECT_EQ(settings.LineMode(2), 4) << "anything but one stop bit adds 4";
}

}  // namespace
