#pragma once
// A small INI file: "[section]" lines and "name=value" entries. Reading keeps
// every line, so that writing one entry back preserves all other sections,
// entries, comments and their order. Section and entry names compare without
// case, as INI readers usually do.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
public:
  /// Parses INI text; lines that are neither sections nor entries are kept as they are.
  static TIniFile FromText(std::string_view text);

  std::optional<std::string> Value(std::string_view section, std::string_view name) const;
  /// The names of the sections, in the order they first appear.
  std::vector<std::string> Sections() const;
  /// Sets an entry, adding the section (at the end) or the entry (at the end of its section) when missing.
  void SetValue(std::string_view section, std::string_view name, std::string_view value);
  std::string ToText() const;

private:
  struct Line {
    std::string text;
    std::string section;  // section this line belongs to
    std::string name;     // entry name, empty when the line is no entry
    std::string value;
  };
  std::vector<Line> lines_;
  bool byteOrderMark_ = false;
};
