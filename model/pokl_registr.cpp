#include "model/pokl_registr.h"

#include <vector>

#include "model/value_conversions.h"

namespace {

std::vector<std::string_view> SplitFields(std::string_view row) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < row.size()) {
    auto end = row.find(';', start);
    if (end == std::string_view::npos) end = row.size();
    fields.push_back(row.substr(start, end - start));
    start = end + 1;
  }
  if (fields.empty()) fields.emplace_back();
  return fields;
}

}  // namespace

TPoklRegistr TPoklRegistr::FromDescription(std::string_view row) {
  const auto fields = SplitFields(row);
  TPoklRegistr entry;
  const auto nn = StrToInt(fields[0]);
  entry.RegisterNumber = static_cast<std::uint8_t>(nn / 10);
  entry.HalfByte = static_cast<std::uint8_t>(nn % 10);
  if (fields.size() > 1) {
    for (const char c : fields[1]) {
      if (c >= '0' && c <= '7') entry.OnValues |= static_cast<std::uint8_t>(1u << (c - '0'));
    }
  }
  if (fields.size() > 2) entry.Text = std::string(fields.back());
  return entry;
}

TPoklRegistr TPoklRegistr::CopyOf(const TPoklRegistr& other) {
  TPoklRegistr copy = other;
  copy.Tag = 0;
  return copy;
}
