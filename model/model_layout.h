#pragma once
// What sets the register models apart, by model name: the switches of the
// model layout (which tables a model has and how some of them look) and the
// model options (register lists copied from the spare lists, relabelled or
// removed key functions, option texts). Model names are compared exactly,
// with case. The model catalogue (TSoubory) applies both; this unit only
// answers what a model needs.
#include <span>
#include <string_view>
#include <utility>

#include "model/model_list.h"
#include "model/spare_register_lists.h"

/// Switches of the model layout.
struct TModelSwitches {
  /// Text width of the receipt header, footer and order names (24, 32 or
  /// 48); 0 leaves them as they are.
  int TextWidth = 0;
  bool StockCoefficient = false;  // K: coefficient column in table 3, table 64 kept
  bool OperatorStatus3 = false;   // O: third status byte of operators, table 24
  bool DallasKeys = false;        // D: table 68
  bool Waiters = false;           // W: tables 7, 17, 19, 33, 42, 43, 81, 82
  bool Tcp = false;               // T: table 21
  bool OperatorAccess = false;    // V: table 26
  bool KeyChains = false;         // X: table 27
  bool KitchenMessages = false;   // M: tables 40 and 41
  bool Ecr40Financial = false;    // E: table 24 of 57 records, ECR 40 financial report
  bool Cm840 = false;             // C: table 24 of 151 and table 20 of 60 records
};

/// The switches of a model; a name that is none of the known models gets
/// the switches of the unknown model.
TModelSwitches ModelSwitchesFor(std::string_view modelName);

/// Whether the model belongs to the "CM-" family (other link command bytes).
bool IsCmFamily(std::string_view modelName);

/// A table whose register list is replaced by a copy of a spare list.
struct TRegisterCopy {
  int Table;
  SpareRegisterList From;
};

/// Option marks: P "-%"/"+%" keys relabelled, U account menu keys, F font
/// change key, R search keys removed, S print font texts of the
/// S-registers, L display font texts.
struct TModelOptions {
  std::span<const TRegisterCopy> Copies;
  bool DropsLogo = false;  // table 44 absent
  std::string_view Marks;
};

TModelOptions ModelOptionsFor(std::string_view modelName);

/// Whether a model-specific description section applies to the model.
bool UsesCm840Descriptions(std::string_view modelName);
bool UsesEcr46xPortTexts(std::string_view modelName);
bool UsesEcr40DescriptiveTexts(std::string_view modelName);
