#include "model/description_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "model/convert_error.h"
#include "model/model_layout.h"
#include "model/soubory.h"
#include "model/table_catalogue.h"
#include "model/tlumocnik_report.h"
#include "model/value_conversions.h"
#include "test_support.h"

namespace {

constexpr int LanguageFirst = 14000;
constexpr int CommonFirst = 2000;

// Description blocks held in memory: a block's first identifier holds the
// count of rows, the rows follow (given in UTF-8, kept in code page 1250).
class SyntheticBlocks {
public:
  void SetBlock(int first, std::initializer_list<const char*> rows) {
    strings_[first] = std::to_string(rows.size());
    int id = first;
    for (const char* row : rows) strings_[++id] = Cp(row);
  }
  void SetString(int id, std::string text) { strings_[id] = std::move(text); }
  void Remove(int id) { strings_.erase(id); }

  TDescriptionSource Source() {
    TDescriptionSource source;
    source.StringAt = [this](int id) {
      const auto found = strings_.find(id);
      return found == strings_.end() ? std::string{} : found->second;
    };
    source.LanguageBlock = LanguageFirst;
    source.CommonBlock = CommonFirst;
    source.Warn = [this](std::string_view caption, std::string_view text) {
      warnings.emplace_back(std::string(caption), std::string(text));
    };
    return source;
  }

  std::vector<std::pair<std::string, std::string>> warnings;

private:
  std::map<int, std::string> strings_;
};

class DescriptionReader : public ::testing::Test {
protected:
  void Language(std::initializer_list<const char*> rows) { blocks.SetBlock(LanguageFirst, rows); }
  void Common(std::initializer_list<const char*> rows) { blocks.SetBlock(CommonFirst, rows); }
  void Read() { ReadDescriptions(catalogue, blocks.Source()); }
  // The 2846X text layout after reading a common block of these rows.
  const TPopisText28Layout& ReadTextLayout2846X(std::initializer_list<const char*> rows) {
    Common(rows);
    Read();
    return catalogue.TextLayout2846X;
  }
  // The shape the catalogue has after the layout of a model.
  void UseModel(std::string_view name) {
    catalogue.ModelName = std::string(name);
    catalogue.ApplyModelLayout();
  }

  TSoubory catalogue;
  SyntheticBlocks blocks;
};

// --- Blocks -----------------------------------------------------------------

TEST_F(DescriptionReader, ReadsTheLanguageBlockAndTheCommonBlock) {
  Language({"~SOUBOR 02", "Hlavní skupiny ZS (02)"});
  Common({"~DEF360T", "#2", "1", "1|POTRAVINY|"});
  Read();
  EXPECT_EQ(catalogue.Table(2)->Name, Cp("Hlavní skupiny ZS (02)"));
  ASSERT_EQ(catalogue.DefaultContents.size(), 1u);
  EXPECT_EQ(catalogue.DefaultContents[0].ModelKey, "360T");
  EXPECT_EQ(catalogue.DefaultContents[0].Rows, (std::vector<std::string>{"#2", "1", "1|POTRAVINY|"}));
}

TEST_F(DescriptionReader, CountThatIsNoNumberReadsOnlyTheFirstString) {
  Language({"~SOUBOR 02", "Jméno"});
  blocks.SetString(LanguageFirst, "dva");
  Read();
  EXPECT_EQ(catalogue.Table(2)->Name, "");
}

TEST_F(DescriptionReader, CountLimitsTheBlockAndMissingIdentifiersAreSkipped) {
  Language({"~SOUBOR 02", "Jméno", "Číslo", "Název"});
  blocks.Remove(LanguageFirst + 3);  // an identifier without a string
  blocks.SetString(LanguageFirst, "3");
  Read();
  EXPECT_EQ(catalogue.Table(2)->Name, Cp("Jméno"));
  EXPECT_EQ(catalogue.Table(2)->Columns[0].Heading, "");  // id 14004 is beyond the count
}

TEST_F(DescriptionReader, RowsBeforeTheFirstKeywordAreIgnored) {
  Language({"Programování", "~SKUPINA 1", "Programování"});
  Read();
  EXPECT_EQ(catalogue.GroupNames[0], Cp("Programování"));
  EXPECT_EQ(catalogue.GroupNames[1], "");
}

TEST_F(DescriptionReader, SectionsDoNotReachIntoTheNextBlock) {
  Language({"~NAPOVEDA 09", "Nápověda"});
  Common({"~UNKNOWN", "Do not append"});
  Read();
  EXPECT_EQ(catalogue.Table(9)->HelpLines, (std::vector<std::string>{Cp("Nápověda")}));
}

TEST_F(DescriptionReader, UnknownKeywordLeavesTheCurrentSectionOpen) {
  Language({"~NAPOVEDA 09", "první", "~NEZNAMY", "druhý"});
  Read();
  EXPECT_EQ(catalogue.Table(9)->HelpLines, (std::vector<std::string>{Cp("první"), Cp("druhý")}));
}

TEST(DescriptionWarning, GoesToTheCommunicationLog) {
  const LogCapture capture;
  ReportDescriptionWarning(LoadText(227), LoadText(226) + "'x9' is not a valid integer value");
  const std::string log = capture.Text();
  EXPECT_NE(log.find(LoadText(227) + ": " + LoadText(226) + "'x9' is not a valid integer value\r\n"), std::string::npos)
      << log;
}

// --- Tables -----------------------------------------------------------------

TEST_F(DescriptionReader, TableSectionGivesNameGroupAndHeadings) {
  Language({"~SKUPINA 2", "Zprávy", "~SOUBOR 09", "Slevy (09)", "Číslo", "Částka", "Typ", "Navíc", "~SOUBOR 10",
            "Procenta (10)"});
  Read();
  const TSoubor& discounts = *catalogue.Table(9);
  EXPECT_EQ(discounts.Name, Cp("Slevy (09)"));
  EXPECT_EQ(discounts.Group, 2);
  EXPECT_EQ(discounts.Columns[0].Heading, Cp("Číslo"));
  EXPECT_EQ(discounts.Columns[2].Heading, "Typ");
  EXPECT_EQ(discounts.Columns.size(), 3u);   // the fourth heading had no column
  EXPECT_EQ(catalogue.Table(10)->Group, 2);  // the group holds across tables
  EXPECT_EQ(catalogue.GroupNames[1], Cp("Zprávy"));
}

TEST_F(DescriptionReader, FewerHeadingRowsKeepTheEarlierHeadings) {
  catalogue.Table(9)->Columns[2].Heading = "Typ";
  Language({"~SOUBOR 09", "Slevy", "Číslo"});
  Read();
  EXPECT_EQ(catalogue.Table(9)->Columns[0].Heading, Cp("Číslo"));
  EXPECT_EQ(catalogue.Table(9)->Columns[2].Heading, "Typ");
}

TEST_F(DescriptionReader, TextHeadingsOfReceiptTablesTakeTheModelsTextWidth) {
  Language({"~SOUBOR 31", "Záhlaví", "Číslo", "Text záhlaví", "~SOUBOR 42", "SLIP", "Číslo",
            "Text tištěný na SLIP tiskárně se všemi podrobnostmi účtenky navíc"});
  Read();
  EXPECT_EQ(catalogue.Table(31)->Columns[1].Heading, FitText(Cp("Text záhlaví"), 48));
  EXPECT_EQ(catalogue.Table(42)->Columns[1].Heading.size(), 48u);
  EXPECT_EQ(catalogue.Table(31)->Columns[0].Heading, Cp("Číslo"));

  UseModel(ModelName::Ecr360);  // 24 characters
  Read();
  EXPECT_EQ(catalogue.Table(31)->Columns[1].Heading, FitText(Cp("Text záhlaví"), 24));
}

TEST_F(DescriptionReader, JournalNameTablesTakeTheDescriptionOfTheirNumber) {
  Language({"~SOUBOR 01", "Zbožní skupiny (01)", "Číslo", "Název", "~SOUBOR 03", "PLU (03)", "Číslo", "Kód"});
  Read();
  EXPECT_EQ(catalogue.JournalDepartments().Name, Cp("Zbožní skupiny (01)"));
  EXPECT_EQ(catalogue.JournalDepartments().Columns[1].Heading, Cp("Název"));
  EXPECT_EQ(catalogue.JournalPlu().Name, LoadText(223));  // keeps its own name
  EXPECT_EQ(catalogue.JournalPlu().Columns[1].Heading, Cp("Kód"));
  EXPECT_EQ(catalogue.NewPlu().Columns[1].Heading, Cp("Kód"));
}

TEST_F(DescriptionReader, TablesTheModelLacksOrOutOfRangeAreSkipped) {
  UseModel(ModelName::Ecr39);  // no table 7
  Language({"~SOUBOR 07", "Vrchní", "~NAPOVEDA 07", "pomoc", "~SOUBOR 100", "Sto", "~SOUBOR 0", "Nula", "~SOUBOR 12",
            "Číslo pokladny"});
  Read();
  EXPECT_EQ(catalogue.Table(7), nullptr);
  EXPECT_EQ(catalogue.Table(12)->Name, Cp("Číslo pokladny"));
  EXPECT_TRUE(blocks.warnings.empty());
}

TEST_F(DescriptionReader, BadSectionNumberWarnsAndReadingGoesOn) {
  Language({"~SKUPINA 2", "Zprávy", "~SOUBOR x9", "Slevy", "Číslo", "~SOUBOR 10", "Procenta", "~NAPOVEDA 1O", "text",
            "~SKUPINA ?", "Skupina"});
  Read();
  ASSERT_EQ(blocks.warnings.size(), 3u);
  EXPECT_EQ(blocks.warnings[0].first, LoadText(227));
  EXPECT_EQ(blocks.warnings[0].second, LoadText(226) + "'x9' is not a valid integer value");
  EXPECT_EQ(blocks.warnings[1].second, LoadText(226) + "'1O' is not a valid integer value");
  // The rows after the bad number reach no table, and the group is gone.
  EXPECT_EQ(catalogue.Table(9)->Name, "");
  EXPECT_EQ(catalogue.Table(10)->Name, "Procenta");
  EXPECT_EQ(catalogue.Table(10)->Group, 0);
  EXPECT_TRUE(catalogue.Table(1)->HelpLines.empty());
  EXPECT_EQ(catalogue.GroupNames[1], Cp("Zprávy"));
}

TEST_F(DescriptionReader, HelpLinesAreReplacedByTheSecondPass) {
  Language({"~NAPOVEDA 01", "první", "druhá"});
  Read();
  Read();
  EXPECT_EQ(catalogue.Table(1)->HelpLines, (std::vector<std::string>{Cp("první"), Cp("druhá")}));
}

// --- Report row names ---------------------------------------------------------

const TTlumocnikReport& Report(const TSoubory& catalogue, int number) {
  return dynamic_cast<const TTlumocnikReport&>(*catalogue.Table(number)->Interpreter);
}

TEST_F(DescriptionReader, ModelRowsReachOnlyTheirModelWithoutTheFilter) {
  Language({"~SOUBOR 70", "Finanční denní (70)", "~RADKY", "00 00 OSTATNI", "03 32 - 03 60 Platba",
            "#14ECR 466T/466TF:03 33 X", "#11ECR 40T/42T:03 34 Y", "#14ECR 466T/466TF:04 74 STORNO VYBER"});
  UseModel(ModelName::Ecr466);
  Read();
  const auto& report = Report(catalogue, 70);
  EXPECT_EQ(report.RowName(3, 33), "X");
  EXPECT_EQ(report.RowName(3, 34), "Platba");
  EXPECT_EQ(report.RowName(4, 74), "STORNO VYBER");
  EXPECT_EQ(report.RowName(9, 9), "OSTATNI");
  EXPECT_EQ(report.RowNames().size(), 3u);
}

TEST_F(DescriptionReader, WithoutAModelEveryModelRowIsDropped) {
  Language({"~SOUBOR 70", "Finanční denní (70)", "~RADKY", "03 32 - 03 60 Platba", "#14ECR 466T/466TF:03 33 X",
            "#99ECR:03 33 Y"});
  Read();
  EXPECT_EQ(Report(catalogue, 70).RowName(3, 33), "Platba");
  EXPECT_EQ(Report(catalogue, 70).RowNames().size(), 1u);
}

TEST_F(DescriptionReader, RowNamesAreClearedByEachPass) {
  Language({"~SOUBOR 79", "Obsluha denní (79)", "~RADKY", "00 01 PRODEJ", "00 02 CISTY PRODEJ"});
  Read();
  Read();
  EXPECT_EQ(Report(catalogue, 79).RowNames().size(), 2u);
}

TEST_F(DescriptionReader, RowNamesWithoutATableAreIgnored) {
  Language({"~SOUBOR 55", "Nic", "~RADKY", "00 01 PRODEJ"});
  EXPECT_NO_THROW(Read());
}

// --- Registers ----------------------------------------------------------------

TEST_F(DescriptionReader, RegisterRowsFillTheTablesList) {
  Language({"~REGISTRY 13", "11;1357;Tisk účtenky zapnut", "111;2367;Heslo"});
  Read();
  const auto& entries = catalogue.Table(13)->Registers->Entries;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].RegisterNumber, 11);
  EXPECT_EQ(entries[1].HalfByte, 1);
  EXPECT_EQ(entries[1].OnValues, 0b11001100);
  EXPECT_EQ(entries[0].Text, Cp("Tisk účtenky zapnut"));
}

TEST_F(DescriptionReader, FiscalRegistersReplaceOnlyInCommandLineMode) {
  Language({"~REGISTRY 13", "11;1357;Obecný", "~FISKALREGISTRY 13", "12;1357;Fiskální"});
  Read();
  EXPECT_EQ(catalogue.Table(13)->Registers->Entries.back().Text, Cp("Obecný"));
  catalogue.CommandLineMode = true;
  Read();
  ASSERT_EQ(catalogue.Table(13)->Registers->Entries.size(), 1u);
  EXPECT_EQ(catalogue.Table(13)->Registers->Entries[0].Text, Cp("Fiskální"));
}

TEST_F(DescriptionReader, RegisterRowsOfATableWithoutRegistersAreIgnored) {
  Language({"~REGISTRY 02", "11;1357;Nic"});
  Read();
  EXPECT_EQ(catalogue.Table(2)->Registers, nullptr);
}

TEST_F(DescriptionReader, SpareRegisterListsAreKeptApartAndRefilled) {
  Language({"~REG13460", "11;1357;A", "12;1357;B", "~OLMREGISTRY 8", "11;4567;C", "~REG0640", "11;1357;D"});
  Read();
  Read();
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Settings460).Entries.size(), 2u);
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Settings460).RegisterCount, 16);
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::CmPayments).Entries.at(0).Text, "C");
  EXPECT_EQ(catalogue.SpareRegisters(SpareRegisterList::Operators40).Entries.at(0).Text, "D");
  EXPECT_TRUE(catalogue.SpareRegisters(SpareRegisterList::Operators360).Entries.empty());
}

TEST_F(DescriptionReader, RegisterRowWithABadNumberEndsTheReading) {
  Language({"~REGISTRY 13", "1x;1357;Chyba", "~SOUBOR 12", "Nedočteno"});
  EXPECT_EQ(MessageRaisedBy<EConvertError>([this] { Read(); }), "'1x' is not a valid integer value");
  EXPECT_EQ(catalogue.Table(12)->Name, "");
}

// --- Keys ---------------------------------------------------------------------

TEST_F(DescriptionReader, KeyGroupTitlesLeaveTheFunctionRowsOpen) {
  Language({"~KLAVESY FUNKCNI:FUNKČNÍ|", "0;0;Num. klávesa 0;Š;P", "~KLAVESY PLATEBNI:PLATEBNÍ|",
            "26;HOTOV.;Platba hotově;Z", "~KLAVESY OBSLUHY:OBSLUHA|", "~KLAVESY HSPLU:HS PLU|", "~KLAVESY PLU:PLU|",
            "~KLAVESY ZS:ZS|", "~KLAVESA BON:BON|", "~KLAVESA ZURNAL:ŽURNÁL|"});
  Read();
  const auto& keys = catalogue.KeyFunctions;
  ASSERT_EQ(keys.Functions.size(), 2u);
  EXPECT_EQ(keys.Functions[1].Code, 26);
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Func], Cp("FUNKČNÍ|"));
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Tend], Cp("PLATEBNÍ|"));
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Clerk], "OBSLUHA|");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::GrPlu], "HS PLU|");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Plu], "PLU|");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Dept], "ZS|");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Bon], "BON|");
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Zurnal], Cp("ŽURNÁL|"));
  EXPECT_EQ(keys.GroupTitles[KeyGroup::Cook], "COOK");
}

TEST_F(DescriptionReader, FunctionAndKitchenListsAreReplacedByTheSecondPass) {
  Language({"~KLAVESY FUNKCNI:F|", "1;1;Jedna;Š;P", "2;2;Dva;Š;P", "~KLAVESY KUCHYN:KUCHYŇ|", "IHNED", "POZDĚJI"});
  Read();
  Read();
  EXPECT_EQ(catalogue.KeyFunctions.Functions.size(), 2u);
  EXPECT_EQ(catalogue.KeyFunctions.KitchenTexts, (std::vector<std::string>{"IHNED", Cp("POZDĚJI")}));
  EXPECT_EQ(catalogue.KeyFunctions.GroupTitles[KeyGroup::Cook], Cp("KUCHYŇ|"));
}

TEST_F(DescriptionReader, KeyGroupKeywordWithoutTitleGivesAnEmptyTitle) {
  Language({"~KLAVESA BON"});
  Read();
  EXPECT_EQ(catalogue.KeyFunctions.GroupTitles[KeyGroup::Bon], "");
}

// --- Resets -------------------------------------------------------------------

TEST_F(DescriptionReader, ResetNamesAreNumberedAcrossTheResetKeywords) {
  Language({"~RESETY Resety",
            "~RESET1 Systémové resety",
            "R0",
            "R1",
            "R2",
            "~RESET2 Resety zpráv",
            "R3",
            "R4",
            "R5",
            "R6",
            "R7",
            "R8",
            "R9",
            "R10",
            "R11",
            "R12",
            "R13",
            "R14",
            "R15",
            "R16",
            "R17",
            "R18",
            "R19"});
  Read();
  Read();  // the counter starts again with each pass
  EXPECT_EQ(catalogue.ResetPageTitle, "Resety");
  EXPECT_EQ(catalogue.ResetGroupTitles[0], Cp("Systémové resety"));
  EXPECT_EQ(catalogue.ResetGroupTitles[1], Cp("Resety zpráv"));
  EXPECT_EQ(catalogue.Reset(0)->Name, "R0");
  EXPECT_EQ(catalogue.Reset(3)->Name, "R3");
  EXPECT_EQ(catalogue.Reset(18)->Name, "R18");
}

// --- Model-specific and command-line sections -----------------------------------

TEST_F(DescriptionReader, ModelSpecificListsApplyOnlyToTheirModels) {
  Language({"~POPIS14", "obecný", "~CM840POPIS14", "CM", "~POPIS23", "obecný port", "~CM840POPIS23", "CM port",
            "~ECR46xPOPIS23", "46x port"});
  Read();
  EXPECT_EQ(catalogue.SRegisterTexts, (std::vector<std::string>{Cp("obecný")}));
  EXPECT_EQ(catalogue.PortSettingTexts, (std::vector<std::string>{Cp("obecný port")}));

  UseModel(ModelName::Cm840);
  Read();
  EXPECT_EQ(catalogue.SRegisterTexts, (std::vector<std::string>{"CM"}));
  EXPECT_EQ(catalogue.PortSettingTexts, (std::vector<std::string>{"CM port"}));
}

TEST_F(DescriptionReader, LastApplyingPortTextSectionWins) {
  Language({"~POPIS23", "obecný port", "~ECR46xPOPIS23", "46x port", "~POPISPORTY23", "COM1"});
  catalogue.ModelName = std::string(ModelName::Ecr460);
  Read();
  EXPECT_EQ(catalogue.PortSettingTexts, (std::vector<std::string>{"46x port"}));
  EXPECT_EQ(catalogue.PortNames, (std::vector<std::string>{"COM1"}));
}

TEST_F(DescriptionReader, DescriptiveTextSectionsFollowModelAndMode) {
  Language({"~POPIS24", "0;OBECNÝ;18", "~FISKALPOPIS24", "0;FISKÁLNÍ;18", "~POP24CM840", "0;CM;12", "~POP24ECR40",
            "0;ECR40;18"});
  Read();
  ASSERT_EQ(catalogue.DescriptiveTexts.size(), 1u);
  EXPECT_EQ(catalogue.DescriptiveTexts[0].Text, Cp("OBECNÝ"));

  catalogue.CommandLineMode = true;
  Read();
  EXPECT_EQ(catalogue.DescriptiveTexts.at(0).Text, Cp("FISKÁLNÍ"));

  catalogue.ModelName = std::string(ModelName::Ecr465);
  Read();
  EXPECT_EQ(catalogue.DescriptiveTexts.at(0).Text, "ECR40");
  ASSERT_EQ(catalogue.DescriptiveTexts.size(), 1u);
}

// --- Row grammars -------------------------------------------------------------

TEST_F(DescriptionReader, DescriptiveTextsLieInTheFortyColumnGrid) {
  Language({"~POPIS24", "0;A;18", "1;B;18", "2;C;18", ";LNG305;0;G", "4;D;40", "5;LNG305;3;N", "6;E;2"});
  Read();
  const auto& texts = catalogue.DescriptiveTexts;
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(std::pair(texts[0].Line, texts[0].Column), std::pair(0, 1));
  EXPECT_EQ(std::pair(texts[1].Line, texts[1].Column), std::pair(0, 19));
  EXPECT_EQ(std::pair(texts[2].Line, texts[2].Column), std::pair(0, 37));
  EXPECT_EQ(std::pair(texts[3].Line, texts[3].Column), std::pair(1, 15));  // 37 + 18 - 40
  EXPECT_EQ(texts[3].Text, LoadText(305));
  EXPECT_EQ(texts[3].Flag, "G");
  EXPECT_EQ(std::pair(texts[4].Line, texts[4].Column), std::pair(1, 15));  // a title takes no room
  EXPECT_EQ(std::pair(texts[5].Line, texts[5].Column), std::pair(2, 15));
  EXPECT_EQ(texts[5].Text, "LNG305");  // only an empty index makes a reference
  EXPECT_EQ(texts[5].Flag, "N");
  EXPECT_EQ(std::pair(texts[6].Line, texts[6].Column), std::pair(2, 18));
}

TEST_F(DescriptionReader, DescriptiveTextWithABadWidthOrTextNumberEndsTheReading) {
  Language({"~POPIS24", "0;A;x8"});
  EXPECT_THROW(Read(), EConvertError);
  Language({"~POPIS24", ";LNG3O5;0;G"});
  EXPECT_THROW(Read(), EConvertError);
}

TEST_F(DescriptionReader, OperatorAccessTextsAreStoredByRowAndColumn) {
  Language({"~POPIS26", "1;1;první", "2;3;jedenáctý", "7;8;poslední", "8;1;mimo", "0;8;mimo", "1;9;devátý"});
  Read();
  const auto& texts = catalogue.OperatorAccessTexts;
  EXPECT_EQ(texts[0], Cp("první"));
  EXPECT_EQ(texts[10], Cp("jedenáctý"));
  EXPECT_EQ(texts[55], Cp("poslední"));
  EXPECT_EQ(texts[8], Cp("devátý"));  // column 9 of row 1 is entry 8
  EXPECT_EQ(std::count(texts.begin(), texts.end(), Cp("mimo")), 0);

  Language({"~POPIS26", "2;1;jiný"});
  Read();
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[8], Cp("jiný"));
}

TEST_F(DescriptionReader, StatusRowsKeepKeyAndText) {
  Language({"~STATUSY", "ZSS4;30 - jednopoložková záporná ZS", "KT1;0-8: číslo kuchyňské tiskárny"});
  Read();
  ASSERT_EQ(catalogue.Statuses.size(), 2u);
  EXPECT_EQ(catalogue.Statuses[0].Key, "ZSS4");
  EXPECT_EQ(catalogue.Statuses[0].Text, Cp("30 - jednopoložková záporná ZS"));
  EXPECT_EQ(catalogue.Statuses[1].Key, "KT1");
}

TEST_F(DescriptionReader, PlainTextListsOfTheDescriptions) {
  Language({"~POPIS18", "a18", "~POPIS87", "a87", "b87", "~POPIS72", "a72", "~POPIS74", "a74"});
  Read();
  EXPECT_EQ(catalogue.Table18Texts, (std::vector<std::string>{"a18"}));
  EXPECT_EQ(catalogue.JournalActions, (std::vector<std::string>{"a87", "b87"}));
  EXPECT_EQ(catalogue.Report72Texts, (std::vector<std::string>{"a72"}));
  EXPECT_EQ(catalogue.Report74Texts, (std::vector<std::string>{"a74"}));
}

TEST_F(DescriptionReader, DefaultContentsAreNamedAndReadOncePerModel) {
  Common({"~DEF360T", "#31", "1", "1|OBCHOD|", "~DEF465TFO", "#13", "0"});
  Read();
  Read();
  ASSERT_EQ(catalogue.DefaultContents.size(), 2u);
  EXPECT_EQ(catalogue.DefaultContents[0].Rows.size(), 3u);
  EXPECT_EQ(catalogue.DefaultContents[1].ModelKey, "465TFO");
  EXPECT_EQ(catalogue.DefaultContents[1].Rows, (std::vector<std::string>{"#13", "0"}));
}

// --- 2846X text layout ----------------------------------------------------------

TEST_F(DescriptionReader, TextLayout2846XNumbersEntriesAndRegistersStarts) {
  const auto& layout = ReadTextLayout2846X({"~TISK2846X", "1;;ZÁHLAVÍ;", "1;32;****;N", "1;0;LNG305;EN", "1;;POLOŽKY;",
                                            "1;16;OBSLUHA;N", "~LCD2846X", "1;16;VÍTEJTE;N", "1;20;POKLADNA;N"});
  ASSERT_EQ(layout.Entries.size(), 7u);
  const auto& title = layout.Entries[0];
  EXPECT_EQ(title.Width, -1);
  EXPECT_EQ(title.Flag, "G");
  EXPECT_EQ(title.Number, 0);
  EXPECT_EQ(layout.Entries[1].Number, 1);
  EXPECT_EQ(layout.Entries[2].Text, LoadText(305));
  EXPECT_TRUE(layout.Entries[2].Extra);
  EXPECT_EQ(layout.Entries[2].Flag, "N");
  EXPECT_EQ(layout.Entries[3].Number, 2);  // a title keeps the number before it
  EXPECT_EQ(layout.Entries[4].Number, 3);
  EXPECT_EQ(layout.Entries[5].Kind, 2);
  EXPECT_EQ(layout.Entries[5].Number, 1);

  ASSERT_EQ(layout.Start(1, 1), &layout.Entries[0]);
  EXPECT_EQ(std::pair(title.PairFirst, title.PairSecond), std::pair(0, 1));
  ASSERT_EQ(layout.Start(2, 1), &layout.Entries[5]);
  EXPECT_EQ(std::pair(layout.Entries[5].PairFirst, layout.Entries[5].PairSecond), std::pair(742, 17));
  EXPECT_EQ(layout.Start(1, 2), nullptr);
  EXPECT_EQ(layout.Start(3, 1), nullptr);
}

TEST_F(DescriptionReader, EndOf2846XCopiesTheLayoutForGroupsTwoToFour) {
  Common({"~TISK2846X", "1;;ZÁHLAVÍ;", "1;32;****;N", "~LCD2846X", "1;16;VÍTEJTE;N", "~ENDOF2846X", "1;1;ignored;N"});
  Read();
  Read();
  const auto& layout = catalogue.TextLayout2846X;
  ASSERT_EQ(layout.Entries.size(), 12u);
  const std::pair<int, int> pairs[] = {{185, 25}, {371, 9}, {556, 33}};
  for (int group = 2; group <= 4; ++group) {
    const TPopisText28* printer = layout.Start(1, group);
    ASSERT_NE(printer, nullptr) << group;
    EXPECT_EQ(printer->Group, group);
    EXPECT_EQ(printer->Text, Cp("ZÁHLAVÍ"));
    EXPECT_EQ(std::pair(printer->PairFirst, printer->PairSecond), pairs[group - 2]);
    const TPopisText28* display = layout.Start(2, group);
    ASSERT_NE(display, nullptr) << group;
    EXPECT_EQ(display->Text, Cp("VÍTEJTE"));
    EXPECT_EQ(display->Group, group);
  }
}

// Each end of the section copied every entry present, copies included: a
// block repeating the end multiplied the layout by four each time, until
// memory ran out. Entries are copied once; rows after an end are copied by
// the next end.
TEST_F(DescriptionReader, RepeatedEndOf2846XCopiesEachEntryOnce) {
  const auto& layout = ReadTextLayout2846X({"~TISK2846X", "1;32;****;N", "~ENDOF2846X", "~ENDOF2846X", "~ENDOF2846X",
                                            "~LCD2846X", "1;16;VÍTEJTE;N", "~ENDOF2846X", "~ENDOF2846X"});
  ASSERT_EQ(layout.Entries.size(), 8u);
  for (int group = 1; group <= 4; ++group) {
    const auto inGroup = std::count_if(layout.Entries.begin(), layout.Entries.end(),
                                       [group](const TPopisText28& entry) { return entry.Group == group; });
    EXPECT_EQ(inGroup, 2) << group;
    ASSERT_NE(layout.Start(2, group), nullptr) << group;
    EXPECT_EQ(layout.Start(2, group)->Text, Cp("VÍTEJTE"));
  }
}

TEST_F(DescriptionReader, TextLayout2846XRowWithABadGroupEndsTheReading) {
  Common({"~TISK2846X", "A;32;****;N"});
  EXPECT_THROW(Read(), EConvertError);
}

// --- Descriptive text read from a downloaded table 24 ---------------------------

TEST(TPopisText, TextInTable24FollowsTheGridAcrossRows) {
  auto table24 = CreateCatalogueTable(24);
  table24->AddRow(-1, "1|" + std::string(36, 'x') + "ABCD|");
  table24->AddRow(-1, "2|EFGH  |");  // the decoding dropped the trailing blanks
  TPopisText spanning;
  spanning.Line = 0;
  spanning.Column = 37;
  spanning.Width = 10;
  EXPECT_EQ(spanning.TextIn(*table24), "ABCDEFGH");
  TPopisText inside{"", 4, "", 1, 1};
  EXPECT_EQ(inside.TextIn(*table24), "EFGH");
  TPopisText lastRow{"", 10, "", 1, 37};
  EXPECT_EQ(lastRow.TextIn(*table24), "");  // blanks of a row without a next one
  TPopisText beyond{"", 4, "", 2, 1};
  EXPECT_EQ(beyond.TextIn(*table24), "");
}

}  // namespace
