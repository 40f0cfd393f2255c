#pragma once
// TKlavesaDesign: the drawn look of one register key: its code, three labels
// with three values each, two flags, two integers around the colour, the
// picture kind and name, and the picture file once loaded. The model
// catalogue owns the list of key layouts; table 15's text file carries them
// in its "~KLAVESYDESIGN" section, one key layout line each.
//
// Key layout line: every field followed by "~", in this order: key code;
// label 1 and its three values; label 2 and its three values; label 3 and
// its three values; flag A and flag B ("A" set, "N" clear); an integer; the
// colour; the picture field; a last integer. The picture field is the picture
// kind in decimal, or for kind 9 "9" followed directly by the picture name:
//   "3101~POKLADNA~1~0~1~HOTOVOST~1~0~1~~2~0~1~N~N~0~65280~0~1~"
// The values, flags and the integers around the colour are held and written
// back unchanged; nothing in the program interprets them.
#include <array>
#include <optional>
#include <string>
#include <string_view>

class TKlavesaDesign {
public:
  /// Picture kind of a key that shows a picture.
  static constexpr int PictureKindImage = 9;
  /// Bytes of a key code in the keyboard table's records (four hex digits).
  static constexpr int KeyCodeBytes = 2;

  std::string KeyCode;
  std::array<std::string, 3> Labels;
  /// One value of each of the three per label, index = label.
  std::array<int, 3> FirstValues{};
  std::array<int, 3> SecondValues{};
  std::array<int, 3> ThirdValues{};
  bool FlagA = false;
  bool FlagB = false;
  int ValueBeforeColour = 0;
  /// Windows colour value, 0x00BBGGRR.
  int Colour = 0;
  int PictureKind = 0;
  int ValueAfterPicture = 0;
  /// Empty unless the picture kind is 9.
  std::string PictureName;
  /// The bytes of the picture file, or none when no picture is loaded.
  std::optional<std::string> Picture;

  /// A key layout read from its line (fields as described above, integers
  /// 0 when not a number, missing fields empty or 0), with its picture
  /// loaded from `pictureFolder` (a prefix put before the picture name;
  /// empty: the name as given).
  static TKlavesaDesign FromLine(std::string_view line, const std::string& pictureFolder = {});
  /// Reads the fields of a key layout line over this key layout, then loads
  /// its picture from `pictureFolder`.
  void ReadLine(std::string_view line, const std::string& pictureFolder = {});
  /// The key layout line of this key layout.
  std::string ToLine() const;
  /// Drops any picture held, then, when the picture name is not empty, reads
  /// the file `pictureFolder` + name. A file that cannot be read leaves the
  /// key without a picture; that is not an error.
  void LoadPicture(const std::string& pictureFolder = {});
  bool HasPicture() const { return Picture.has_value(); }
};
