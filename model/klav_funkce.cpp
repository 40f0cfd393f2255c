#include "model/klav_funkce.h"

#include <algorithm>

#include "model/description_fields.h"
#include "model/value_conversions.h"

namespace {

// The colour letters as code page 1250 bytes.
constexpr std::string_view YellowLetter = "\x8E";  // Ž
constexpr std::string_view GreenLetter = "Z";
constexpr std::string_view BlueLetter = "M";
constexpr std::string_view RedLetter = "\xC8";   // Č
constexpr std::string_view GreyLetter = "\x8A";  // Š

constexpr std::string_view PFlagMark = "P";

}  // namespace

std::uint32_t TPopisKlavFunkce::ColourOfLetter(std::string_view letter) {
  if (letter == YellowLetter) return KeyColour::Yellow;
  if (letter == GreenLetter) return KeyColour::Green;
  if (letter == BlueLetter) return KeyColour::Blue;
  if (letter == RedLetter) return KeyColour::Red;
  if (letter == GreyLetter) return KeyColour::Grey;
  return KeyColour::White;
}

TPopisKlavFunkce TPopisKlavFunkce::FromDescription(std::string_view row) {
  const DescriptionFields fields(row);
  TPopisKlavFunkce entry;
  entry.Code = StrToInt(fields[0]);
  entry.KeyLabel = std::string(fields[1]);
  entry.LongName = std::string(fields[2]);
  entry.Colour = ColourOfLetter(fields[3]);
  entry.PFlag = fields[4] == PFlagMark;
  entry.Kind = fields[4].empty() ? '\0' : fields[4].front();
  return entry;
}

TKlavFunkce::TKlavFunkce()
    : Limits{9999, 99, 30, 30, 99, 99}, GroupTitles{"FUNC",  "PLU",    "DEPT", "COOK",  "TEND",
                                                    "CLERK", "GR.PLU", "BON",  "ZURNAL"} {}

void TKlavFunkce::AddDescription(std::string_view row) { Functions.push_back(TPopisKlavFunkce::FromDescription(row)); }

const TPopisKlavFunkce* TKlavFunkce::Find(int code) const {
  const auto found = std::find_if(Functions.begin(), Functions.end(),
                                  [code](const TPopisKlavFunkce& entry) { return entry.Code == code; });
  return found == Functions.end() ? nullptr : &*found;
}

void TKlavFunkce::Relabel(int code, std::string_view keyLabel, std::string_view longName) {
  for (auto& entry : Functions) {
    if (entry.Code != code) continue;
    entry.KeyLabel = std::string(keyLabel);
    entry.LongName = std::string(longName);
  }
}

void TKlavFunkce::Remove(int code) {
  std::erase_if(Functions, [code](const TPopisKlavFunkce& entry) { return entry.Code == code; });
}
