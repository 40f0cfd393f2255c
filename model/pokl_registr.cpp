#include "model/pokl_registr.h"

#include <vector>

#include "model/description_fields.h"
#include "model/value_conversions.h"

TPoklRegistr TPoklRegistr::FromDescription(std::string_view row) {
  const DescriptionFields fields(row);
  TPoklRegistr entry;
  const auto nn = StrToInt(fields[0]);
  entry.RegisterNumber = static_cast<std::uint8_t>(nn / 10);
  entry.HalfByte = static_cast<std::uint8_t>(nn % 10);
  if (fields.size() > 1) {
    for (const char c : fields[1]) {
      if (c >= '0' && c <= '7') entry.OnValues |= static_cast<std::uint8_t>(1u << (c - '0'));
    }
  }
  if (fields.size() > 2) entry.Text = std::string(fields[fields.size() - 1]);
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

TPoklRegistry::TPoklRegistry(int registerCount) : RegisterCount(registerCount), Values(ValueBytes(registerCount), 0) {}

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
