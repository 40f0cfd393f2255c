#pragma once
#include <string>

/// The lines of one decoded journal record: the main line is always set, the
/// second and third lines are empty unless the record fills them.
struct JournalLines {
  std::string Main;
  std::string Second;
  std::string Third;
};
