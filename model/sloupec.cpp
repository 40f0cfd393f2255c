#include "model/sloupec.h"

namespace {

// Characters shown for each fixed display kind; 0 for the natural width.
int DisplayChars(int display) {
  switch (display) {
    case DisplayKind::Chars3:
      return 3;
    case DisplayKind::Chars24:
      return 24;
    case DisplayKind::Chars32:
      return 32;
    default:
      return 0;
  }
}

}  // namespace

int TSloupec::TextWidth() const {
  if (const int chars = DisplayChars(Display); chars > 0) return chars;
  // A seven-byte packed number is a 13-digit EAN code.
  if (Type == ColumnType::Packed && Width == 7) return 13;
  return RawTextWidth();
}

int TSloupec::RawTextWidth() const {
  switch (Type) {
    case ColumnType::Thousandths:
      return Width * 2 + 1;
    case ColumnType::Text:
      return Width;
    default:
      return Width * 2;
  }
}

std::string_view TSloupec::CutToDisplay(std::string_view cell) const {
  const int chars = DisplayChars(Display);
  return chars > 0 ? cell.substr(0, static_cast<std::size_t>(chars)) : cell;
}

std::string TSloupec::DefaultCell() const {
  switch (Type) {
    case ColumnType::Packed:
    case ColumnType::Binary:
      return "0";
    case ColumnType::Thousandths:
      return "0.000";
    case ColumnType::Hex:
      return "00";
    default:
      return {};
  }
}
