#include "model/popis_text28.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "model/description_fields.h"
#include "model/popis_text.h"
#include "model/value_conversions.h"

namespace {

constexpr std::string_view TitleFlag = "G";
constexpr char ExtraMark = 'E';

bool InRange(int kind, int group) {
  return kind >= 1 && kind <= TPopisText28Layout::Kinds && group >= 1 && group <= TPopisText28Layout::Groups;
}

// The pair of numbers a registered start carries, where the layout has one.
std::optional<std::pair<int, int>> StartPair(int kind, int group) {
  if (kind == TPopisText28Layout::PrinterKind) {
    constexpr std::array<std::pair<int, int>, TPopisText28Layout::Groups> Printer = {
        {{0, 1}, {185, 25}, {371, 9}, {556, 33}}};
    return Printer[static_cast<std::size_t>(group - 1)];
  }
  if (kind == TPopisText28Layout::DisplayKind && group == 1) return std::pair{742, 17};
  return std::nullopt;
}

}  // namespace

TPopisText28Layout::TPopisText28Layout() { Clear(); }

void TPopisText28Layout::Clear() {
  Entries.clear();
  for (auto& kind : starts_) kind.fill(-1);
  uncopied_ = 0;
}

void TPopisText28Layout::AddRow(int kind, std::string_view row) {
  const DescriptionFields fields(row);
  TPopisText28 entry;
  entry.Kind = kind;
  entry.Group = StrToInt(fields[0]);
  const bool title = fields[1].empty();
  if (title) {
    entry.Width = TPopisText28::TitleWidth;
    entry.Text = std::string(fields[2]);
    entry.Flag = std::string(TitleFlag);
  } else {
    entry.Width = StrToInt(fields[1]);
    entry.Text = entry.Width == 0 ? ResolveTextReference(fields[2]) : std::string(fields[2]);
    std::string_view flag = fields[3];
    if (!flag.empty() && flag.front() == ExtraMark) {
      entry.Extra = true;
      flag.remove_prefix(1);
    }
    entry.Flag = std::string(flag.substr(0, 1));
  }
  const auto previous = std::find_if(Entries.rbegin(), Entries.rend(), [&](const TPopisText28& earlier) {
    return earlier.Kind == entry.Kind && earlier.Group == entry.Group;
  });
  const int previousNumber = previous == Entries.rend() ? 0 : previous->Number;
  entry.Number = title ? previousNumber : previousNumber + 1;
  Entries.push_back(std::move(entry));
  RegisterStart(Entries.size() - 1);
}

void TPopisText28Layout::CopyForGroups() {
  const std::vector<TPopisText28> present(Entries.begin() + static_cast<std::ptrdiff_t>(uncopied_), Entries.end());
  for (int group = 2; group <= Groups; ++group) {
    for (TPopisText28 copy : present) {
      copy.Group = group;
      copy.PairFirst = 0;
      copy.PairSecond = 0;
      Entries.push_back(std::move(copy));
      RegisterStart(Entries.size() - 1);
    }
  }
  uncopied_ = Entries.size();
}

const TPopisText28* TPopisText28Layout::Start(int kind, int group) const {
  if (!InRange(kind, group)) return nullptr;
  const int index = starts_[static_cast<std::size_t>(kind - 1)][static_cast<std::size_t>(group - 1)];
  return index < 0 ? nullptr : &Entries[static_cast<std::size_t>(index)];
}

// Registers the entry as the start of its kind and group when that has none.
void TPopisText28Layout::RegisterStart(std::size_t index) {
  TPopisText28& entry = Entries[index];
  if (!InRange(entry.Kind, entry.Group)) return;
  int& start = starts_[static_cast<std::size_t>(entry.Kind - 1)][static_cast<std::size_t>(entry.Group - 1)];
  if (start >= 0) return;
  start = static_cast<int>(index);
  if (const auto pair = StartPair(entry.Kind, entry.Group)) {
    entry.PairFirst = pair->first;
    entry.PairSecond = pair->second;
  }
}
