#pragma once
// The 15 spare register lists of the model catalogue: register flag
// descriptions that the descriptions keep aside, one list per keyword, and
// that the model options copy into a table's register list for the models
// that need them. Each list is created with the register count given here.
#include <array>
#include <cstddef>
#include <string_view>

enum class SpareRegisterList : std::size_t {
  Operators360,        // "~REG06360"
  Operators40,         // "~REG0640"
  Operators460,        // "~REG06460"
  Operators465And466,  // "~REG06465/466"
  Operators650,        // "~REG06650"
  Settings40,          // "~REG1340"
  Settings460,         // "~REG13460"
  Settings650,         // "~REG13650"
  Reports840,          // "~REG18840"
  CmOperators,         // "~OLMREGISTRY 06"
  CmOperatorsA,        // "~OLMREG06A"
  CmSettings,          // "~OLMREGISTRY 13"
  CmReports,           // "~OLMREGISTRY 18"
  CmPrinting,          // "~OLMREGISTRY 19"
  CmPayments,          // "~OLMREGISTRY 8"
};

struct SpareRegisterListEntry {
  SpareRegisterList List;
  std::string_view Keyword;
  int RegisterCount;
};

inline constexpr std::array<SpareRegisterListEntry, 15> SpareRegisterLists = {{
    {SpareRegisterList::Operators360, "~REG06360", 3},
    {SpareRegisterList::Operators40, "~REG0640", 3},
    {SpareRegisterList::Operators460, "~REG06460", 3},
    {SpareRegisterList::Operators465And466, "~REG06465/466", 3},
    {SpareRegisterList::Operators650, "~REG06650", 3},
    {SpareRegisterList::Settings40, "~REG1340", 14},
    {SpareRegisterList::Settings460, "~REG13460", 16},
    {SpareRegisterList::Settings650, "~REG13650", 14},
    {SpareRegisterList::Reports840, "~REG18840", 2},
    {SpareRegisterList::CmOperators, "~OLMREGISTRY 06", 3},
    {SpareRegisterList::CmOperatorsA, "~OLMREG06A", 3},
    {SpareRegisterList::CmSettings, "~OLMREGISTRY 13", 14},
    {SpareRegisterList::CmReports, "~OLMREGISTRY 18", 2},
    {SpareRegisterList::CmPrinting, "~OLMREGISTRY 19", 3},
    {SpareRegisterList::CmPayments, "~OLMREGISTRY 8", 1},
}};
