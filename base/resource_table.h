#pragma once
// The compiled string resource table. The build generates its definition from
// the UTF-8 sources under resources/ (see resources/README.md); entries are
// sorted by identifier and their texts are code page 1250. An entry holds the
// place of its text among all the texts rather than a pointer to it, so the
// table needs no relocating when the program starts.
#include <cstdint>
#include <span>
#include <string_view>

struct ResourceEntry {
  std::uint16_t id;
  std::uint32_t offset;
  std::uint32_t length;
};

std::span<const ResourceEntry> ResourceTable();

// The text of an entry of ResourceTable().
std::string_view ResourceText(const ResourceEntry& entry);
