#pragma once
// TSloupec: one column of a register table, as the table (TSoubor) owns it in
// its column list. The type says how a cell travels in the raw record:
//   0 unsigned packed decimal, 1 binary number (least significant byte first),
//   2 signed packed decimal with three decimals, 3 text, 4 hexadecimal bytes.
// The width is the number of bytes the column takes in the raw record.
#include <cstdint>
#include <string>
#include <string_view>

namespace ColumnType {
constexpr std::uint8_t Packed = 0;
constexpr std::uint8_t Binary = 1;
constexpr std::uint8_t Thousandths = 2;
constexpr std::uint8_t Text = 3;
constexpr std::uint8_t Hex = 4;
}  // namespace ColumnType

/// How wide a column is shown: its natural width, or a fixed 3, 24 or 32.
namespace DisplayKind {
constexpr int Natural = 0;
constexpr int Chars3 = 1;
constexpr int Chars24 = 2;
constexpr int Chars32 = 3;
}  // namespace DisplayKind

class TSloupec {
public:
  TSloupec(std::uint8_t type, int width) : Type(type), Width(width) {}

  std::string Heading;
  std::uint8_t Type = ColumnType::Packed;
  int Width = 0;
  int Display = DisplayKind::Natural;
  /// Set on a column that table files write as a decimal number.
  bool Mark = false;

  /// Characters of the cell text, for headings, input limits and file export;
  /// follows the display kind when it is not natural.
  int TextWidth() const;
  /// Characters of the cell text by type alone, ignoring the display kind.
  int RawTextWidth() const;
  /// The cell as it is kept after reading: cut to 3, 24 or 32 characters
  /// when the display kind says so, else unchanged.
  std::string_view CutToDisplay(std::string_view cell) const;
  /// The text of a cell that nothing has filled yet.
  std::string DefaultCell() const;
};
