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

namespace {

std::size_t ValueBytes(int registerCount) {
  return registerCount > 0 ? static_cast<std::size_t>(registerCount) * 2 : 0;
}

}  // namespace

TPoklRegistry::TPoklRegistry(int registerCount)
    : RegisterCount(registerCount), Values(ValueBytes(registerCount), 0) {}

void TPoklRegistry::Clear() { Entries.clear(); }

void TPoklRegistry::CopyFrom(const TPoklRegistry& other) {
  if (&other == this) return;
  RegisterCount = other.RegisterCount;
  Values.resize(ValueBytes(RegisterCount), 0);
  Entries.clear();
  Entries.reserve(other.Entries.size());
  for (const auto& entry : other.Entries) Entries.push_back(TPoklRegistr::CopyOf(entry));
}

void TPoklRegistry::AddDescription(std::string_view row) { Entries.push_back(TPoklRegistr::FromDescription(row)); }
