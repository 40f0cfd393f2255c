#pragma once
// The two answers the tools give alike, on standard output: the help text
// for --help, and the tool's name with the module's one version for
// --version.
#include <iostream>
#include <string_view>

#include "base/process_values.h"

/// Writes the help text (when `help`) or else the version line (when
/// `version`); false when neither was asked for, and nothing is written.
inline bool AnswerHelpOrVersion(bool help, bool version, std::string_view program, std::string_view helpText) {
  if (help) {
    std::cout << helpText;
    return true;
  }
  if (version) {
    std::cout << program << ' ' << ProgramVersion << '\n';
    return true;
  }
  return false;
}
