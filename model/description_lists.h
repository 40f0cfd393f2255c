#pragma once
// The plain entries of two description lists that the model catalogue holds
// as read: the status enumerations and the factory default contents per
// model. Nothing in the program interprets them further.
#include <string>
#include <vector>

/// One status enumeration row "KEY;text", e.g. "ZSS4;30 - jednopoložková
/// záporná ZS": the key is a group of letters and a running number, the text
/// starts with the stored value.
struct TStatusText {
  std::string Key;
  std::string Text;
};

/// The factory default contents of one model ("~DEF" + model key): its rows
/// as written, "#" + table number, the record count, then the records in
/// row text form (the keyboard's records in key layout form).
struct TDefaultContent {
  std::string ModelKey;
  std::vector<std::string> Rows;
};
