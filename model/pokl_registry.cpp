#include "model/pokl_registry.h"

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
