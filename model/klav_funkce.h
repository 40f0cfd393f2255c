#pragma once
// TKlavFunkce: the key-function set of the selected register model: every
// function a key can carry (TPopisKlavFunkce, in description order) with its
// key label, long name and colour, the kitchen texts, six limits and the nine
// key-group titles. The description reader fills it; the model options
// relabel and remove functions by code; the journal decoding names functions
// by their position. The model catalogue owns the set; the set owns its
// entries.
//
// Key-function description row: "code;key label;long name;colour;P", e.g.
// "64;Změna|Hledat;Změna - Hledat PLU;Ž" or "0;0;Num. klávesa 0;Š;P". "|" in
// the key label is a line break on the key. Texts are code page 1250.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Windows colour values (0x00BBGGRR) of the key colours.
namespace KeyColour {
constexpr std::uint32_t Yellow = 0x00FFFF;
constexpr std::uint32_t Green = 0x00FF00;
constexpr std::uint32_t Blue = 0xFF0000;
constexpr std::uint32_t Red = 0x0000FF;
constexpr std::uint32_t Grey = 0x808080;
constexpr std::uint32_t White = 0xFFFFFF;
}  // namespace KeyColour

class TPopisKlavFunkce {
public:
  int Code = 0;
  /// "|" marks a line break on the key.
  std::string KeyLabel;
  std::string LongName;
  /// Set on the numeric keys.
  bool PFlag = false;
  /// The first character of the description's fifth field ("P" on the
  /// numeric keys; the CM family marks its own keys "O" and euro keys "E"),
  /// NUL when the field is empty.
  char Kind = '\0';
  std::uint32_t Colour = KeyColour::White;

  /// An entry from a description row. The code must be a decimal integer
  /// (EConvertError otherwise); the colour letter is one of the code page
  /// 1250 letters Ž Z M Č Š, any other text gives white; a fifth field "P"
  /// sets the P flag.
  static TPopisKlavFunkce FromDescription(std::string_view row);
  /// The colour of a description's colour field.
  static std::uint32_t ColourOfLetter(std::string_view letter);
};

/// Positions of the key-group titles.
namespace KeyGroup {
constexpr int Func = 0;
constexpr int Plu = 1;
constexpr int Dept = 2;
constexpr int Cook = 3;
constexpr int Tend = 4;
constexpr int Clerk = 5;
constexpr int GrPlu = 6;
constexpr int Bon = 7;
constexpr int Zurnal = 8;
constexpr int Count = 9;
}  // namespace KeyGroup

class TKlavFunkce {
public:
  TKlavFunkce();

  std::vector<TPopisKlavFunkce> Functions;
  /// Texts of the kitchen keys.
  std::vector<std::string> KitchenTexts;
  /// Fixed limits of the key groups: 9999, 99, 30, 30, 99, 99.
  std::array<int, 6> Limits;
  /// "FUNC", "PLU", "DEPT", "COOK", "TEND", "CLERK", "GR.PLU", "BON",
  /// "ZURNAL" until the descriptions name the groups (index: KeyGroup).
  std::array<std::string, KeyGroup::Count> GroupTitles;

  /// Appends the function of a description row.
  void AddDescription(std::string_view row);
  /// The first function with this code, or none.
  const TPopisKlavFunkce* Find(int code) const;
  /// Gives every function with this code a new key label and long name.
  void Relabel(int code, std::string_view keyLabel, std::string_view longName);
  /// Removes every function with this code.
  void Remove(int code);
};
