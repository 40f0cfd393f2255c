#include "model/description_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "base/code_page.h"
#include "base/communication_log.h"
#include "base/localized_texts.h"
#include "base/platform.h"
#include "model/convert_error.h"
#include "model/description_fields.h"
#include "model/model_layout.h"
#include "model/soubory.h"
#include "model/table_numbers.h"
#include "model/value_conversions.h"

enum class TDescriptionReader::Keyword {
  Group,
  Table,
  RowNames,
  Help,
  Registers,
  FiscalRegisters,
  FunctionKeys,
  KeyGroupTitle,
  KitchenKeys,
  Resets,
  ResetGroup1,
  ResetGroup2,
  DefaultContent,
  SRegisterTexts,
  Cm840SRegisterTexts,
  Table18Texts,
  PortTexts,
  Cm840PortTexts,
  Ecr46xPortTexts,
  PortNames,
  JournalActions,
  Report72Texts,
  Report74Texts,
  OperatorAccess,
  DescriptiveTexts,
  Cm840DescriptiveTexts,
  Ecr40DescriptiveTexts,
  FiscalDescriptiveTexts,
  Statuses,
  SpareRegisters,
  PrinterTexts2846X,
  DisplayTexts2846X,
  End2846X,
};

namespace {

using Keyword = TDescriptionReader::Keyword;
using Section = TDescriptionReader::Section;

constexpr int CommonBlockFirst = 2000;
constexpr int LanguageBlockOffset = 2000;
constexpr int HighestIdentifier = 65535;

constexpr int WarningText = 226;
constexpr int WarningCaption = 227;

constexpr std::size_t WholeString = 0;

struct KeywordEntry {
  std::string_view Text;
  /// Characters compared; the whole keyword when it equals its length,
  /// the whole string for WholeString.
  std::size_t Compared;
  Keyword Id;
  /// The key group of a KeyGroupTitle keyword.
  int Group = 0;
  /// The spare register list of a SpareRegisters keyword.
  SpareRegisterList Spare = SpareRegisterList::Operators360;
};

std::vector<KeywordEntry> BuildKeywords() {
  std::vector<KeywordEntry> keywords = {
      {"~SKUPINA ", 9, Keyword::Group},
      {"~SOUBOR ", 8, Keyword::Table},
      {"~RADKY", 6, Keyword::RowNames},
      {"~NAPOVEDA ", 10, Keyword::Help},
      {"~REGISTRY ", 10, Keyword::Registers},
      {"~FISKALREGISTRY ", 16, Keyword::FiscalRegisters},
      {"~KLAVESY FUNKCNI:", 17, Keyword::FunctionKeys},
      {"~KLAVESY PLATEBNI", 17, Keyword::KeyGroupTitle, KeyGroup::Tend},
      {"~KLAVESY OBSLUHY", 16, Keyword::KeyGroupTitle, KeyGroup::Clerk},
      {"~KLAVESY HSPLU", 14, Keyword::KeyGroupTitle, KeyGroup::GrPlu},
      {"~KLAVESY KUCHYN", 15, Keyword::KitchenKeys},
      {"~KLAVESY PLU", 12, Keyword::KeyGroupTitle, KeyGroup::Plu},
      {"~KLAVESY ZS", 11, Keyword::KeyGroupTitle, KeyGroup::Dept},
      {"~KLAVESA BON", 12, Keyword::KeyGroupTitle, KeyGroup::Bon},
      {"~KLAVESA ZURNAL", 15, Keyword::KeyGroupTitle, KeyGroup::Zurnal},
      {"~RESETY ", 8, Keyword::Resets},
      {"~RESET1 ", 8, Keyword::ResetGroup1},
      {"~RESET2 ", 8, Keyword::ResetGroup2},
      {"~DEF", 4, Keyword::DefaultContent},
      {"~POPIS14", 8, Keyword::SRegisterTexts},
      {"~CM840POPIS14", 13, Keyword::Cm840SRegisterTexts},
      {"~POPIS18", 8, Keyword::Table18Texts},
      {"~POPIS23", 8, Keyword::PortTexts},
      {"~CM840POPIS23", 13, Keyword::Cm840PortTexts},
      {"~ECR46xPOPIS23", 14, Keyword::Ecr46xPortTexts},
      {"~POPISPORTY23", 13, Keyword::PortNames},
      {"~POPIS87", 8, Keyword::JournalActions},
      {"~POPIS72", 8, Keyword::Report72Texts},
      {"~POPIS74", 8, Keyword::Report74Texts},
      {"~POPIS26", 8, Keyword::OperatorAccess},
      {"~POPIS24", 8, Keyword::DescriptiveTexts},
      {"~POP24CM840", 11, Keyword::Cm840DescriptiveTexts},
      {"~POP24ECR40", 11, Keyword::Ecr40DescriptiveTexts},
      {"~FISKALPOPIS24", 14, Keyword::FiscalDescriptiveTexts},
      {"~STATUSY", 8, Keyword::Statuses},
      {"~TISK2846X", 10, Keyword::PrinterTexts2846X},
      {"~LCD2846X", 9, Keyword::DisplayTexts2846X},
      {"~ENDOF2846X", WholeString, Keyword::End2846X},
  };
  for (const auto& spare : SpareRegisterLists) {
    keywords.push_back({spare.Keyword, spare.Keyword.size(), Keyword::SpareRegisters, 0, spare.List});
  }
  return keywords;
}

const std::vector<KeywordEntry>& Keywords() {
  static const std::vector<KeywordEntry> keywords = BuildKeywords();
  return keywords;
}

bool Matches(const KeywordEntry& keyword, std::string_view line) {
  if (keyword.Compared == WholeString) return line == keyword.Text;
  return line.size() >= keyword.Compared && line.compare(0, keyword.Compared, keyword.Text, 0, keyword.Compared) == 0;
}

const KeywordEntry* FindKeyword(std::string_view line) {
  for (const auto& keyword : Keywords()) {
    if (Matches(keyword, line)) return &keyword;
  }
  return nullptr;
}

std::string_view Rest(std::string_view line, std::size_t from) {
  return from < line.size() ? line.substr(from) : std::string_view{};
}

// The count string of a block; 0 when it is not a number.
int BlockCount(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc{} || end != text.data() + text.size()) return 0;
  return count;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A report row name for one model only: "#" + two digits L + a model name
// of L characters + one separator + the row. Gives the row when it applies
// to the model, none when it is for another one; other rows pass unchanged.
std::optional<std::string_view> RowForModel(std::string_view row, std::string_view modelName) {
  if (row.size() < 3 || row[0] != '#' || !IsDigit(row[1]) || !IsDigit(row[2])) return row;
  const auto length = static_cast<std::size_t>((row[1] - '0') * 10 + (row[2] - '0'));
  if (row.size() < length + 4 || row.substr(3, length) != modelName) return std::nullopt;
  return row.substr(length + 4);
}

// Tables whose text column heading is as wide as the text the model prints.
bool HeadingFitsTextWidth(int tableNumber, int column) {
  return column == TextColumn && (tableNumber == TableNumber::Header || tableNumber == TableNumber::Footer ||
                                  tableNumber == TableNumber::OrderName || tableNumber == TableNumber::Slip);
}

}  // namespace

TDescriptionSource ResourceDescriptions() {
  TDescriptionSource source;
  source.StringAt = LoadResourceString;
  source.LanguageBlock = LanguageBase() + LanguageBlockOffset;
  source.CommonBlock = CommonBlockFirst;
  source.Warn = ReportDescriptionWarning;
  return source;
}

void ReadDescriptions(TSoubory& catalogue) { ReadDescriptions(catalogue, ResourceDescriptions()); }

void ReadDescriptions(TSoubory& catalogue, const TDescriptionSource& source) {
  TDescriptionReader(catalogue, source).Read();
}

void ReportDescriptionWarning(std::string_view caption, std::string_view text) {
  std::string line(caption);
  line += ": ";
  line += text;
  LogLine(line);
  if (!StandardErrorIsTerminal()) return;
  // Through C's streams: <iostream> would build its streams at every start of
  // the module. Standard output first, as a stream tied to it would.
  std::fflush(stdout);
  const std::string shown = Cp1250ToUtf8(line) + "\n";
  std::fwrite(shown.data(), 1, shown.size(), stderr);
}

TDescriptionReader::TDescriptionReader(TSoubory& catalogue, const TDescriptionSource& source)
    : catalogue_(catalogue), source_(source) {}

void TDescriptionReader::Read() {
  ReadBlock(source_.LanguageBlock);
  ReadBlock(source_.CommonBlock);
}

void TDescriptionReader::ReadBlock(int first) {
  section_ = Section::None;
  table_ = nullptr;
  const int last = std::min(first + std::max(BlockCount(source_.StringAt(first)), 0), HighestIdentifier);
  for (int id = first; id <= last; ++id) {
    const std::string line = source_.StringAt(id);
    if (!line.empty()) HandleLine(line);
  }
}

void TDescriptionReader::HandleLine(const std::string& line) {
  if (line.front() != '~') {
    HandleRow(line);
    return;
  }
  // A "~" string that is no keyword leaves the current section open.
  if (const KeywordEntry* keyword = FindKeyword(line)) {
    if (keyword->Id == Keyword::SpareRegisters) {
      registers_ = &catalogue_.SpareRegisters(keyword->Spare);
      registers_->Clear();
      section_ = Section::RegisterRows;
      return;
    }
    // The title follows the keyword after one separator.
    if (keyword->Id == Keyword::KeyGroupTitle) {
      SetKeyGroupTitle(keyword->Group, line, keyword->Compared + 1);
      return;
    }
    HandleKeyword(keyword->Id, line, keyword->Compared);
  }
}

void TDescriptionReader::HandleKeyword(Keyword keyword, std::string_view line, std::size_t prefixLength) {
  const std::string_view model = catalogue_.ModelName;
  const std::string_view rest = Rest(line, prefixLength);
  switch (keyword) {
    case Keyword::Group:
      StartGroup(rest);
      break;
    case Keyword::Table:
      StartTable(rest);
      break;
    case Keyword::RowNames:
      StartRowNames();
      break;
    case Keyword::Help:
      StartHelp(rest);
      break;
    case Keyword::Registers:
      StartRegisters(rest);
      break;
    case Keyword::FiscalRegisters:
      catalogue_.CommandLineMode ? StartRegisters(rest) : Ignore();
      break;
    case Keyword::FunctionKeys:
      SetKeyGroupTitle(KeyGroup::Func, line, prefixLength);
      catalogue_.KeyFunctions.Functions.clear();
      section_ = Section::FunctionKeys;
      break;
    case Keyword::KitchenKeys:
      SetKeyGroupTitle(KeyGroup::Cook, line, prefixLength + 1);
      StartTextList(catalogue_.KeyFunctions.KitchenTexts);
      break;
    case Keyword::Resets:
      catalogue_.ResetPageTitle = std::string(rest);
      section_ = Section::ResetNames;
      break;
    case Keyword::ResetGroup1:
      catalogue_.ResetGroupTitles[0] = std::string(rest);
      section_ = Section::ResetNames;
      break;
    case Keyword::ResetGroup2:
      catalogue_.ResetGroupTitles[1] = std::string(rest);
      section_ = Section::ResetNames;
      break;
    case Keyword::DefaultContent:
      StartDefaultContent(rest);
      break;
    case Keyword::SRegisterTexts:
      StartTextList(catalogue_.SRegisterTexts);
      break;
    case Keyword::Cm840SRegisterTexts:
      UsesCm840Descriptions(model) ? StartTextList(catalogue_.SRegisterTexts) : Ignore();
      break;
    case Keyword::Table18Texts:
      StartTextList(catalogue_.Table18Texts);
      break;
    case Keyword::PortTexts:
      StartTextList(catalogue_.PortSettingTexts);
      break;
    case Keyword::Cm840PortTexts:
      UsesCm840Descriptions(model) ? StartTextList(catalogue_.PortSettingTexts) : Ignore();
      break;
    case Keyword::Ecr46xPortTexts:
      UsesEcr46xPortTexts(model) ? StartTextList(catalogue_.PortSettingTexts) : Ignore();
      break;
    case Keyword::PortNames:
      StartTextList(catalogue_.PortNames);
      break;
    case Keyword::JournalActions:
      StartTextList(catalogue_.JournalActions);
      break;
    case Keyword::Report72Texts:
      StartTextList(catalogue_.Report72Texts);
      break;
    case Keyword::Report74Texts:
      StartTextList(catalogue_.Report74Texts);
      break;
    case Keyword::OperatorAccess:
      catalogue_.OperatorAccessTexts.fill(std::string{});
      section_ = Section::OperatorAccess;
      break;
    case Keyword::DescriptiveTexts:
    case Keyword::Cm840DescriptiveTexts:
    case Keyword::Ecr40DescriptiveTexts:
    case Keyword::FiscalDescriptiveTexts: {
      const bool applies = keyword == Keyword::DescriptiveTexts ||
                           (keyword == Keyword::Cm840DescriptiveTexts && UsesCm840Descriptions(model)) ||
                           (keyword == Keyword::Ecr40DescriptiveTexts && UsesEcr40DescriptiveTexts(model)) ||
                           (keyword == Keyword::FiscalDescriptiveTexts && catalogue_.CommandLineMode);
      if (!applies) {
        Ignore();
        break;
      }
      catalogue_.DescriptiveTexts.clear();
      section_ = Section::DescriptiveTexts;
      break;
    }
    case Keyword::Statuses:
      catalogue_.Statuses.clear();
      section_ = Section::Statuses;
      break;
    case Keyword::PrinterTexts2846X:
      catalogue_.TextLayout2846X.Clear();
      layoutKind_ = TPopisText28Layout::PrinterKind;
      section_ = Section::TextLayout2846X;
      break;
    case Keyword::DisplayTexts2846X:
      layoutKind_ = TPopisText28Layout::DisplayKind;
      section_ = Section::TextLayout2846X;
      break;
    case Keyword::End2846X:
      catalogue_.TextLayout2846X.CopyForGroups();
      section_ = Section::None;
      break;
    case Keyword::KeyGroupTitle:
    case Keyword::SpareRegisters:
      break;
  }
}

void TDescriptionReader::HandleRow(std::string_view row) {
  switch (section_) {
    case Section::GroupName:
      catalogue_.GroupNames[static_cast<std::size_t>(group_ - 1)] = std::string(row);
      break;
    case Section::TableDescription:
      AddHeading(row);
      break;
    case Section::RowNames:
      AddRowName(row);
      break;
    case Section::HelpLines:
      table_->HelpLines.emplace_back(row);
      break;
    case Section::RegisterRows:
      registers_->AddDescription(row);
      break;
    case Section::FunctionKeys:
      catalogue_.KeyFunctions.AddDescription(row);
      break;
    case Section::TextList:
      textList_->emplace_back(row);
      break;
    case Section::ResetNames:
      if (TSoubor* reset = catalogue_.Reset(resetCounter_)) reset->Name = std::string(row);
      ++resetCounter_;
      break;
    case Section::OperatorAccess: {
      const DescriptionFields fields(row);
      const int index = (StrToInt(fields[0]) - 1) * 8 + (StrToInt(fields[1]) - 1);
      if (index >= 0 && index < TSoubory::OperatorAccessTextCount) {
        catalogue_.OperatorAccessTexts[static_cast<std::size_t>(index)] = std::string(fields[2]);
      }
      break;
    }
    case Section::DescriptiveTexts:
      AppendDescriptiveText(catalogue_.DescriptiveTexts, row);
      break;
    case Section::Statuses: {
      const DescriptionFields fields(row);
      catalogue_.Statuses.push_back({std::string(fields[0]), std::string(fields[1])});
      break;
    }
    case Section::DefaultContent:
      catalogue_.DefaultContents[defaultContent_].Rows.emplace_back(row);
      break;
    case Section::TextLayout2846X:
      catalogue_.TextLayout2846X.AddRow(layoutKind_, row);
      break;
    case Section::None:
    case Section::Ignored:
      break;
  }
}

void TDescriptionReader::StartGroup(std::string_view numberText) {
  try {
    group_ = StrToInt(numberText);
  } catch (const EConvertError& error) {
    Warn(error.what());
    group_ = 0;
    Ignore();
    return;
  }
  const bool named = group_ >= 1 && group_ <= static_cast<int>(catalogue_.GroupNames.size());
  section_ = named ? Section::GroupName : Section::Ignored;
}

void TDescriptionReader::StartTable(std::string_view numberText) {
  bool numberValid = true;
  table_ = TableOfSection(numberText, numberValid);
  if (!numberValid) group_ = 0;
  if (table_ == nullptr) {
    Ignore();
    return;
  }
  table_->Group = group_;
  journalTables_ = catalogue_.JournalTablesCarrying(table_->Number);
  columnIndex_ = -1;
  section_ = Section::TableDescription;
}

void TDescriptionReader::StartRowNames() {
  if (table_ == nullptr || !table_->Interpreter) {
    Ignore();
    return;
  }
  table_->Interpreter->ClearRowNames();
  section_ = Section::RowNames;
}

void TDescriptionReader::StartHelp(std::string_view numberText) {
  bool numberValid = true;
  table_ = TableOfSection(numberText, numberValid);
  if (table_ == nullptr) {
    Ignore();
    return;
  }
  table_->HelpLines.clear();
  section_ = Section::HelpLines;
}

void TDescriptionReader::StartRegisters(std::string_view numberText) {
  bool numberValid = true;
  table_ = TableOfSection(numberText, numberValid);
  if (table_ == nullptr || !table_->Registers) {
    Ignore();
    return;
  }
  registers_ = table_->Registers.get();
  registers_->Clear();
  section_ = Section::RegisterRows;
}

void TDescriptionReader::StartTextList(std::vector<std::string>& list) {
  list.clear();
  textList_ = &list;
  section_ = Section::TextList;
}

// Each pass starts the model's list afresh, so reading the blocks again does
// not leave two lists of one model.
void TDescriptionReader::StartDefaultContent(std::string_view modelKey) {
  auto& lists = catalogue_.DefaultContents;
  const auto found = std::find_if(lists.begin(), lists.end(),
                                  [modelKey](const TDefaultContent& list) { return list.ModelKey == modelKey; });
  if (found != lists.end()) {
    found->Rows.clear();
    defaultContent_ = static_cast<std::size_t>(found - lists.begin());
  } else {
    lists.push_back({std::string(modelKey), {}});
    defaultContent_ = lists.size() - 1;
  }
  section_ = Section::DefaultContent;
}

void TDescriptionReader::SetKeyGroupTitle(int group, std::string_view line, std::size_t titleStart) {
  catalogue_.KeyFunctions.GroupTitles[static_cast<std::size_t>(group)] = std::string(Rest(line, titleStart));
}

TSoubor* TDescriptionReader::TableOfSection(std::string_view numberText, bool& numberValid) {
  try {
    numberValid = true;
    return catalogue_.Table(StrToInt(numberText));
  } catch (const EConvertError& error) {
    numberValid = false;
    Warn(error.what());
    return nullptr;
  }
}

void TDescriptionReader::Warn(const std::string& message) {
  source_.Warn(LoadText(WarningCaption), LoadText(WarningText) + message);
}

// The first row of a table section is the table's name, each further row
// the heading of the next column. The journal name tables that carry the
// table's number take the same headings, and the name where they have none
// of their own.
void TDescriptionReader::AddHeading(std::string_view row) {
  if (columnIndex_ < 0) {
    table_->Name = std::string(row);
    for (TSoubor* journal : journalTables_) {
      if (catalogue_.TakesDescribedName(*journal)) journal->Name = std::string(row);
    }
    columnIndex_ = 0;
    return;
  }
  if (TSloupec* column = table_->Column(columnIndex_)) {
    column->Heading = HeadingFitsTextWidth(table_->Number, columnIndex_)
                          ? FitText(row, static_cast<std::size_t>(column->TextWidth()))
                          : std::string(row);
  }
  for (TSoubor* journal : journalTables_) {
    if (TSloupec* column = journal->Column(columnIndex_)) column->Heading = std::string(row);
  }
  ++columnIndex_;
}

void TDescriptionReader::AddRowName(std::string_view row) {
  if (const auto modelRow = RowForModel(row, catalogue_.ModelName)) table_->Interpreter->AddRowName(*modelRow);
}
