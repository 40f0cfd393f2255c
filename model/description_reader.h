#pragma once
// TDescriptionReader: reads the description blocks of the string resources
// into the model catalogue: table names and column headings, help lines,
// report row names, register flag descriptions, key functions, reset names
// and the description lists. Two blocks are read for every catalogue, the
// language block (language base + 2000) and the common block (2000). A
// block's first string holds the number N of strings that follow; strings
// first..first+N are read in order and identifiers without a string are
// skipped.
//
// A string starting with "~" opens a section (keywords recognised by a fixed
// prefix length); other strings are rows of the current section. Every
// section but "~DEF" empties the list it fills, so reading the blocks again
// after the model layout replaces what the first pass read.
//
// Failures: a section number that is not an integer is a warning (the rows
// of that section are skipped); a row whose numeric field is not an integer
// raises EConvertError, which ends the reading.
//
// The reader borrows the catalogue and the source for one Read; none of its
// state outlives that call.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TPoklRegistry;
class TSoubor;
class TSoubory;

/// Where the description blocks come from, and where warnings go.
struct TDescriptionSource {
  /// The string with this absolute identifier, empty when there is none.
  std::function<std::string(int)> StringAt;
  int LanguageBlock = 0;
  int CommonBlock = 0;
  /// A warning with its caption and text (code page 1250).
  std::function<void(std::string_view caption, std::string_view text)> Warn;
};

/// The string resources of the program with the current language base;
/// warnings go to the communication log and, when it is a terminal, to
/// standard error.
TDescriptionSource ResourceDescriptions();

/// Reads both description blocks of the string resources into the catalogue.
void ReadDescriptions(TSoubory& catalogue);
/// Reads both description blocks of the source into the catalogue.
void ReadDescriptions(TSoubory& catalogue, const TDescriptionSource& source);

/// The production warning: the communication log gets caption ": " text;
/// standard error gets the same line when it is a terminal.
void ReportDescriptionWarning(std::string_view caption, std::string_view text);

class TDescriptionReader {
public:
  TDescriptionReader(TSoubory& catalogue, const TDescriptionSource& source);

  /// Reads the language block, then the common block.
  void Read();

  /// What the rows of the current section do.
  enum class Section {
    None,
    Ignored,
    GroupName,
    TableDescription,
    RowNames,
    HelpLines,
    RegisterRows,
    FunctionKeys,
    TextList,
    ResetNames,
    OperatorAccess,
    DescriptiveTexts,
    Statuses,
    DefaultContent,
    TextLayout2846X,
  };

  /// The sections a keyword can open (or, for key-group titles, only name).
  enum class Keyword;

private:
  void ReadBlock(int first);
  void HandleLine(const std::string& line);
  void HandleKeyword(Keyword keyword, std::string_view line, std::size_t prefixLength);
  void HandleRow(std::string_view row);

  void StartGroup(std::string_view numberText);
  void StartTable(std::string_view numberText);
  void StartRowNames();
  void StartHelp(std::string_view numberText);
  void StartRegisters(std::string_view numberText);
  void StartTextList(std::vector<std::string>& list);
  void StartDefaultContent(std::string_view modelKey);
  void Ignore() { section_ = Section::Ignored; }
  void SetKeyGroupTitle(int group, std::string_view line, std::size_t titleStart);

  /// The table of a section number; none (with a warning for a bad number)
  /// when the number is not an integer, not 1..99, or the model lacks it.
  TSoubor* TableOfSection(std::string_view numberText, bool& numberValid);
  void Warn(const std::string& message);

  void AddHeading(std::string_view row);
  void AddRowName(std::string_view row);

  TSoubory& catalogue_;
  const TDescriptionSource& source_;

  Section section_ = Section::None;
  TSoubor* table_ = nullptr;
  /// The journal name tables carrying the number of the described table.
  std::vector<TSoubor*> journalTables_;
  int group_ = 0;
  /// -1 while the next table row is the table's name.
  int columnIndex_ = -1;
  int resetCounter_ = 0;
  int layoutKind_ = 0;
  std::size_t defaultContent_ = 0;
  std::vector<std::string>* textList_ = nullptr;
  TPoklRegistry* registers_ = nullptr;
};
