#include "base/ini_file.h"

#include <algorithm>
#include <cctype>

#include "base/joined_text.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile ini;
  // An editor may begin a UTF-8 file with a byte order mark: it must not
  // hide the first section, and it is written back as it was.
  if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
    ini.byteOrderMark_ = true;
    text.remove_prefix(ByteOrderMark.size());
  }
  std::string section;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string raw(text.substr(start, end - start));
    start = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string trimmed = Trimmed(raw);
    Line line{raw, section, {}, {}};
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      section = Trimmed(std::string_view(trimmed).substr(1, trimmed.size() - 2));
      line.section = section;
    } else if (const auto equals = trimmed.find('=');
               equals != std::string::npos && trimmed[0] != ';' && trimmed[0] != '#') {
      line.name = Trimmed(std::string_view(trimmed).substr(0, equals));
      line.value = Trimmed(std::string_view(trimmed).substr(equals + 1));
    }
    ini.lines_.push_back(std::move(line));
  }
  return ini;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view name) const {
  for (const auto& line : lines_) {
    if (!line.name.empty() && SameName(line.section, section) && SameName(line.name, name)) return line.value;
  }
  return std::nullopt;
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const auto& line : lines_) {
    if (line.section.empty()) continue;
    const bool seen =
        std::any_of(names.begin(), names.end(), [&](const std::string& name) { return SameName(name, line.section); });
    if (!seen) names.push_back(line.section);
  }
  return names;
}

void TIniFile::SetValue(std::string_view section, std::string_view name, std::string_view value) {
  const std::string text = std::string(name) + "=" + std::string(value);
  std::optional<std::size_t> lastOfSection;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    auto& line = lines_[i];
    if (!SameName(line.section, section)) continue;
    lastOfSection = i;
    if (!line.name.empty() && SameName(line.name, name)) {
      line.text = text;
      line.value = value;
      return;
    }
  }
  Line entry{text, std::string(section), std::string(name), std::string(value)};
  if (lastOfSection) {
    // Blank lines closing the section stay after the new entry.
    std::size_t at = *lastOfSection + 1;
    while (at > 0 && Trimmed(lines_[at - 1].text).empty() && lines_[at - 1].name.empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return;
  }
  lines_.push_back(Line{JoinedText({"[", section, "]"}), std::string(section), {}, {}});
  lines_.push_back(std::move(entry));
}

std::string TIniFile::ToText() const {
  std::string text(byteOrderMark_ ? ByteOrderMark : std::string_view());
  for (const auto& line : lines_) text += line.text + "\n";
  return text;
}
