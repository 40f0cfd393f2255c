#include "base/localized_texts.h"

#include <algorithm>

#include "base/resource_table.h"
#include "base/run_context.h"

namespace {

constexpr int CurrencySignId = 156;
static_assert(DefaultLanguageBase == CzechLanguageBase);

}  // namespace

int LanguageBase() {
  const TRunContext* run = RunContextInUse();
  return run != nullptr ? run->LanguageBase() : CzechLanguageBase;
}

std::string LoadResourceString(int absoluteId) {
  const auto table = ResourceTable();
  const auto found = std::lower_bound(table.begin(), table.end(), absoluteId,
                                      [](const ResourceEntry& entry, int id) { return entry.id < id; });
  if (found == table.end() || found->id != absoluteId) return {};
  return std::string(ResourceText(*found));
}

std::string LoadText(int id) {
  const int base = LanguageBase();
  const bool currencyFromCzech = id == CurrencySignId && (base == EnglishLanguageBase || base == GermanLanguageBase);
  return LoadResourceString((currencyFromCzech ? CzechLanguageBase : base) + id);
}

std::string FormatText(std::string text, std::string_view argument) {
  for (std::size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size(); at = text.find('%', at + 1)) {
    if (text[at + 1] == 's' || text[at + 1] == 'd') {
      text.replace(at, 2, argument);
      break;
    }
  }
  return text;
}

std::string LoadTextWith(int id, std::string_view argument) { return FormatText(LoadText(id), argument); }
