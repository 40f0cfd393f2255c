#pragma once
// TPopisText28Layout: the printer and display texts of the 2846X text layout
// (TPopisText28 entries), as the description blocks give them for group 1
// and copy them for groups 2 to 4, with a table of the first entry of each
// kind (1 printer, 2 display) and group (1 to 4). The model catalogue owns
// the layout; the layout owns its entries. It is read and held; nothing in
// the program interprets it further.
//
// Description row: "group;width;text;flag", e.g.
// "1;32;********************************;N". An empty width is a title
// (width -1, flag "G"); width 0 means the text is a user text reference
// ("LNG" + number); a flag starting with "E" sets the extra flag and the
// "E" is dropped, the first remaining character is the flag.
#include <array>
#include <string>
#include <string_view>
#include <vector>

struct TPopisText28 {
  static constexpr int TitleWidth = -1;

  /// 1 printer text, 2 display text.
  int Kind = 1;
  int Group = 1;
  /// Counted from 1 within kind and group; a title keeps the number of the
  /// entry before it (0 when it opens the group).
  int Number = 0;
  int Width = 0;
  std::string Text;
  std::string Flag;
  bool Extra = false;
  /// The pair of numbers carried by the first entry of some kinds and groups.
  int PairFirst = 0;
  int PairSecond = 0;
};

class TPopisText28Layout {
public:
  static constexpr int Kinds = 2;
  static constexpr int Groups = 4;
  static constexpr int PrinterKind = 1;
  static constexpr int DisplayKind = 2;

  TPopisText28Layout();

  std::vector<TPopisText28> Entries;

  /// Drops every entry and every registered start.
  void Clear();
  /// Appends the entry of a description row of the given kind. Group and a
  /// non-empty width must be integers (EConvertError otherwise). The first
  /// entry of a kind and group is registered as its start.
  void AddRow(int kind, std::string_view row);
  /// Copies the entries read since the last copy (all of them the first
  /// time) for group 2, then 3, then 4, registering the first copy of each
  /// kind and group. Copies are never copied again, so a repeated end of the
  /// section adds nothing.
  void CopyForGroups();
  /// The first entry of a kind and group, or none.
  const TPopisText28* Start(int kind, int group) const;

private:
  void RegisterStart(std::size_t index);

  /// Index into Entries, -1 when none.
  std::array<std::array<int, Groups>, Kinds> starts_;
  /// Entries from this index on were read and not yet copied.
  std::size_t uncopied_ = 0;
};
