#pragma once
// The compiled string resource table. The build generates its definition from
// the UTF-8 sources under resources/ (see resources/README.md); entries are
// sorted by identifier and their texts are code page 1250.
#include <cstdint>
#include <span>

struct ResourceEntry {
  std::uint16_t id;
  const char* text;
  std::uint32_t length;
};

std::span<const ResourceEntry> ResourceTable();
