#pragma once
// Lays a TPrintDocument out on A4 pages in a monospaced font (Courier: every
// character is 0.6 of the font size wide), since registers print in columns.
// Every page gets the page heading with its "#PP/#PT" filled in; a row marked
// to be kept together starts a new page when it does not fit on the rest of
// the current one but fits on a page of its own; other rows break between
// their lines. Lines too long for their column wrap at the column's edge.
// Positions are in points from the top left corner of the page; texts stay
// in code page 1250.
#include <string>
#include <vector>

#include "tools/vyrnak/print_document.h"

struct TPlacedText {
  double x = 0;
  double baseline = 0;
  double size = 0;
  bool bold = false;
  std::string text;
};

struct TPlacedFrame {
  double x = 0;
  double top = 0;
  double width = 0;
  double height = 0;  // 0: a horizontal rule
};

struct TLaidOutPage {
  std::vector<TPlacedText> texts;
  std::vector<TPlacedFrame> frames;
};

struct TPageGeometry {
  static constexpr double Width = 595.276;   // A4, 210 mm
  static constexpr double Height = 841.890;  // A4, 297 mm
  static constexpr double Margin = 36.0;     // half an inch on every side
  static constexpr double CharWidth = 0.6;   // of the font size
  static constexpr double Leading = 1.2;     // of the font size
};

class TPageLayout {
public:
  /// `date` and `time` replace "#DT" and "#TM" in the texts.
  TPageLayout(std::string date, std::string time);

  std::vector<TLaidOutPage> LayOut(const TPrintDocument& document);

private:
  struct TBand {
    double height = 0;
    std::vector<TPlacedText> texts;  // baselines measured from the band's top
  };
  struct TBlock {
    bool keepTogether = false;
    std::vector<TBand> bands;
    std::vector<std::pair<double, double>> frameColumns;  // x and width of each framed cell; empty: no frames
    double Height() const;
  };
  struct TBox {
    double x = 0;
    double width = 0;
  };

  void PlaceRows(const TTable& table, TBox box);
  TBlock MakeBlock(const TRow& row, const TTable& table, TBox box, int sizeDelta = 0) const;
  std::vector<TBox> CellBoxes(const TRow& row, const TTable& table, TBox box) const;
  std::vector<std::string> CellLines(const TCell& cell, double size, double width) const;
  std::string WithDateAndTime(std::string text) const;

  void StartPage();
  double SpaceLeft() const;
  void Place(TBlock&& block);
  void PlaceBand(TBand&& band, double top);
  void CloseFrames(const TBlock& block, double top, double bottom);
  void AddHeadings(const TTable& page);

  std::string date_;
  std::string time_;
  double fontSize_ = 9;
  double headingHeight_ = 0;
  std::vector<TLaidOutPage> pages_;
  double cursor_ = 0;  // top of the free space on the last page
};
