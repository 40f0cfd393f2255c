#pragma once
// The activity table: every activity word the module knows, whether it needs
// a line to the register, the table it works on and the step that runs it.
// The command line checks, the logging of the parameters and the dispatch
// all read it. An activity whose step is not built yet has none: it ends
// with error 01, as an unknown word does.
#include <span>
#include <string_view>

#include "app/activity_run.h"

/// How a row's word is compared with the activity of a command.
enum class WordMatch {
  Exact,
  /// Compared without case.
  AnyCase,
  /// The activity begins with the word.
  Prefix,
  /// The word's letter, then the table number in two decimal digits.
  LetterAndTable,
  /// The word's letter, then the reset code in two hexadecimal digits.
  LetterAndReset,
};

struct TActivity {
  std::string_view Word;
  WordMatch Match = WordMatch::Exact;
  /// Whether the command must name a COM line or a TCP/IP address.
  bool NeedsLine = true;
  /// Whether the step runs with the model catalogue and the row's table (the
  /// activity is then logged as "Cinnost komunikace" first).
  bool WithCatalogue = true;
  int Table = NoTable;
  /// The step; none while the activity is not built.
  ActivityStep Run = nullptr;
  /// Whether the command's shop, register and export folder are logged.
  bool ExportValues = false;
};

/// The rows in the order they are tried; the first row that matches wins.
std::span<const TActivity> Activities();

/// The row of an activity word, or none.
const TActivity* FindActivity(std::string_view activity);
