#include "model/model_layout.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

using namespace ModelName;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> models) {
  return std::find(models.begin(), models.end(), name) != models.end();
}

// Builds switches from the letters of the model layout table: a, then the
// letters that are set, e.g. "ODWTVXME".
TModelSwitches Switches(int textWidth, std::string_view set) {
  auto has = [set](char letter) { return set.find(letter) != std::string_view::npos; };
  TModelSwitches switches;
  switches.TextWidth = textWidth;
  switches.StockCoefficient = has('K');
  switches.OperatorStatus3 = has('O');
  switches.DallasKeys = has('D');
  switches.Waiters = has('W');
  switches.Tcp = has('T');
  switches.OperatorAccess = has('V');
  switches.KeyChains = has('X');
  switches.KitchenMessages = has('M');
  switches.Ecr40Financial = has('E');
  switches.Cm840 = has('C');
  return switches;
}

constexpr std::array<TRegisterCopy, 1> Ecr40Copies = {{{13, SpareRegisterList::Settings40}}};
constexpr std::array<TRegisterCopy, 1> Ecr46xCopies = {{{13, SpareRegisterList::Settings460}}};
constexpr std::array<TRegisterCopy, 1> Ecr650Copies = {{{13, SpareRegisterList::Settings650}}};
constexpr std::array<TRegisterCopy, 2> Cm840Copies = {
    {{13, SpareRegisterList::Settings40}, {18, SpareRegisterList::Reports840}}};
constexpr std::array<TRegisterCopy, 5> Cm18xxCopies = {{{6, SpareRegisterList::CmOperators},
                                                        {13, SpareRegisterList::CmSettings},
                                                        {18, SpareRegisterList::CmReports},
                                                        {19, SpareRegisterList::CmPrinting},
                                                        {8, SpareRegisterList::CmPayments}}};

}  // namespace

TModelSwitches ModelSwitchesFor(std::string_view name) {
  if (name == Ecr359) return Switches(24, "WM");
  if (name == Ecr39) return Switches(32, "VX");
  if (name == Ecr40) return Switches(24, "OVXE");
  if (name == Ecr360) return Switches(24, "OWVXM");
  if (name == Ecr362) return Switches(32, "OWVXM");
  if (IsOneOf(name, {Ecr465, Ecr460, Ecr466})) return Switches(32, "ODWTVXME");
  if (name == Ecr396) return Switches(48, "WVXM");
  if (IsOneOf(name, {Ecr549, Ecr579R})) return Switches(24, "WM");
  if (name == Ecr579F) return Switches(24, "OWVXM");
  if (name == Ecr649) return Switches(48, "KWVXM");
  if (name == Ecr650) return Switches(48, "ODWVXM");
  if (name == Ecr652) return Switches(32, "ODWVXM");
  if (name == Cm840) return Switches(24, "OXMC");
  if (IsOneOf(name, {Cm1840F, Cm1840S})) return Switches(24, "OWVXM");
  if (IsOneOf(name, {Cm1846F, Cm1846S, Cm1856F})) return Switches(32, "ODWVXM");
  return Switches(0, "WVXM");
}

bool IsCmFamily(std::string_view name) { return IsOneOf(name, {Cm840, Cm1840F, Cm1840S, Cm1846F, Cm1846S, Cm1856F}); }

TModelOptions ModelOptionsFor(std::string_view name) {
  if (IsOneOf(name, {Ecr359, Ecr39, Ecr360, Ecr362})) return {{}, false, "P"};
  if (name == Ecr40) return {Ecr40Copies, false, "PFS"};
  if (IsOneOf(name, {Ecr465, Ecr460, Ecr466})) return {Ecr46xCopies, false, "PL"};
  if (IsOneOf(name, {Ecr396, Ecr649})) return {{}, false, ""};
  if (name == Ecr549) return {{}, true, "P"};
  if (IsOneOf(name, {Ecr579R, Ecr579F})) return {{}, true, ""};
  if (name == Ecr650) return {Ecr650Copies, false, "U"};
  if (name == Ecr652) return {{}, false, "U"};
  if (name == Cm840) return {Cm840Copies, false, "PFS"};
  if (IsOneOf(name, {Cm1840F, Cm1840S})) return {Cm18xxCopies, true, "R"};
  if (IsOneOf(name, {Cm1846F, Cm1846S})) return {Cm18xxCopies, false, "R"};
  if (name == Cm1856F) return {Cm18xxCopies, false, ""};
  return {{}, true, ""};
}

bool UsesCm840Descriptions(std::string_view name) { return name == Cm840; }

bool UsesEcr46xPortTexts(std::string_view name) { return IsOneOf(name, {Ecr465, Ecr466, Ecr460}); }

bool UsesEcr40DescriptiveTexts(std::string_view name) { return IsOneOf(name, {Ecr40, Ecr465, Ecr466, Ecr460}); }
