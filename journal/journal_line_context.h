#pragma once
// What the builders of one decoded journal line read: the record, the
// catalogue (model name, key functions) and, with names on, the names.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "journal/journal_names.h"
#include "journal/journal_record_text.h"

class TSoubory;

struct TJournalLineContext {
  const TJournalRecordText& Record;
  const TSoubory& Catalogue;
  /// None with names off: every number then stays with its label.
  const TJournalNames* Names = nullptr;
};

/// Pieces joined into one text.
template <typename... Pieces>
std::string Cat(const Pieces&... pieces) {
  std::string text;
  (text.append(std::string_view(pieces)), ...);
  return text;
}

inline std::string Blanks(std::size_t count) { return std::string(count, ' '); }

using NameLookup = TJournalNames::NumberedTable;

/// With names on, the name of `number` cut to `cut` characters; none with
/// names off or when the table has no such name.
inline std::optional<std::string> NameOf(const TJournalLineContext& context, NameLookup lookup, std::int64_t number,
                                         std::size_t cut) {
  if (context.Names == nullptr) return std::nullopt;
  auto name = context.Names->Numbered(lookup, number);
  if (name) name->resize(std::min(name->size(), cut));
  return name;
}
