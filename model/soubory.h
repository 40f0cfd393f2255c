#pragma once
// TSoubory: the model catalogue. For the selected register model it holds
// every table the program may transfer (slots 1 to 99, a table's number is
// its slot), the 19 reset entries, the journal name tables, the key-function
// set and key layouts, the register option descriptions and the description
// lists read from the description blocks. The command processor builds one
// catalogue per command (BuildCatalogue) and drops it afterwards; the
// catalogue owns everything in it.
//
// Life: created complete with the default layout (every catalogue table
// present) -> descriptions read -> model name set, model layout applied ->
// descriptions read again -> model options applied -> used by one activity.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/description_lists.h"
#include "model/klav_funkce.h"
#include "model/klavesa_design.h"
#include "model/pokl_registr.h"
#include "model/popis_text.h"
#include "model/popis_text28.h"
#include "model/soubor.h"
#include "model/spare_register_lists.h"

class TSoubory {
public:
  static constexpr int MaxTableNumber = 99;
  static constexpr int ResetCount = 19;
  static constexpr int OperatorAccessTextCount = 56;

  /// Every table of the table catalogue, the reset entries and the journal
  /// name tables; empty lists.
  TSoubory();
  ~TSoubory();
  TSoubory(const TSoubory&) = delete;
  TSoubory& operator=(const TSoubory&) = delete;

  /// Empty until the command processor sets it from the model code;
  /// compared exactly, with case.
  std::string ModelName;
  /// Set by the model layout for the "CM-" family.
  bool CmFamily = false;
  /// Set by the command processor before the first description pass.
  bool CommandLineMode = false;

  /// The table with this number, or none (also for numbers outside 1..99).
  TSoubor* Table(int number) const;
  /// The reset entry 0..18, or none.
  TSoubor* Reset(int index) const;

  /// Adapts the tables to the model name (which must be set).
  void ApplyModelLayout();
  /// Adapts register lists, key functions and option texts to the model
  /// name (which must be set); in command-line mode also table 31 and the
  /// key-function list.
  void ApplyModelOptions();

  /// Titles of the reset page and of its two groups.
  std::string ResetPageTitle;
  std::array<std::string, 2> ResetGroupTitles;
  /// Display names of the table groups 1 to 3 (index 0 is group 1).
  std::array<std::string, 3> GroupNames;

  // Journal name tables: the journal decoding and the journal save read the
  // names of departments, PLU, operators ... from them.
  TSoubor& NewPlu() const { return *newPlu_; }
  TSoubor& JournalDepartments() const { return *journalDepartments_; }
  TSoubor& JournalPlu() const { return *journalPlu_; }
  TSoubor& JournalLongNames() const { return *journalLongNames_; }
  TSoubor& JournalLinkPlu() const { return *journalLinkPlu_; }
  TSoubor& JournalOperators() const { return *journalOperators_; }
  TSoubor& JournalPayments() const { return *journalPayments_; }
  TSoubor& JournalCurrencies() const { return *journalCurrencies_; }
  TSoubor& JournalVat() const { return *journalVat_; }
  /// The journal name tables that carry this table number.
  std::vector<TSoubor*> JournalTablesCarrying(int number) const;
  /// Whether a journal name table takes its name from the description of
  /// the table whose number it carries (the others have names of their own).
  bool TakesDescribedName(const TSoubor& journalTable) const;

  TKlavFunkce KeyFunctions;
  std::vector<std::unique_ptr<TKlavesaDesign>> KeyLayouts;

  // Description lists.
  std::vector<std::string> SRegisterTexts;    // "~POPIS14"
  std::vector<std::string> Table18Texts;      // "~POPIS18"
  std::vector<std::string> PortSettingTexts;  // "~POPIS23" family
  std::vector<std::string> PortNames;         // "~POPISPORTY23"
  std::vector<std::string> JournalActions;    // "~POPIS87"
  std::vector<std::string> Report72Texts;     // "~POPIS72"
  std::vector<std::string> Report74Texts;     // "~POPIS74"
  std::vector<TStatusText> Statuses;          // "~STATUSY"
  /// Operator X/Z access texts, index (row - 1) * 8 + (column - 1).
  std::array<std::string, OperatorAccessTextCount> OperatorAccessTexts;
  std::vector<TPopisText> DescriptiveTexts;  // "~POPIS24" family
  TPopisText28Layout TextLayout2846X;
  std::vector<TDefaultContent> DefaultContents;  // "~DEF" + model key

  TPoklRegistry& SpareRegisters(SpareRegisterList list) const;

private:
  void MakePresent(int number);
  void MakeAbsent(int number);
  void AddStockCoefficient();
  void AddOperatorStatus3();
  void RecreateWideSlipTable();
  void ApplyTextWidth(int width);
  void CopyRegisters(int table, SpareRegisterList from);
  void ApplyOptionMark(char mark);

  std::array<std::unique_ptr<TSoubor>, MaxTableNumber + 1> tables_;
  std::array<std::unique_ptr<TSoubor>, ResetCount> resets_;
  std::unique_ptr<TSoubor> newPlu_;
  std::unique_ptr<TSoubor> journalDepartments_;
  std::unique_ptr<TSoubor> journalPlu_;
  std::unique_ptr<TSoubor> journalLongNames_;
  std::unique_ptr<TSoubor> journalLinkPlu_;
  std::unique_ptr<TSoubor> journalOperators_;
  std::unique_ptr<TSoubor> journalPayments_;
  std::unique_ptr<TSoubor> journalCurrencies_;
  std::unique_ptr<TSoubor> journalVat_;
  std::array<std::unique_ptr<TPoklRegistry>, SpareRegisterLists.size()> spareRegisters_;
};
