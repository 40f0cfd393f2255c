#pragma once
// The about mode (no arguments): shows the caption and the state of the
// enciphered communication log, lets a person at a terminal show the program
// description ("readme.txt") and switch the log, and writes the log setting
// only when that person answered.
#include <iosfwd>
#include <optional>
#include <string>

#include "app/command_context.h"

void RunAboutMode(const TProgramSetup& setup);

/// The dialogue itself, on any streams: `interactive` asks the questions,
/// otherwise only the state is shown. Returns the log state the person
/// chose (an empty answer keeps the current one), or none without an answer.
std::optional<bool> RunAboutDialogue(std::istream& in, std::ostream& out, bool interactive, bool logOn,
                                     const std::string& readmePath);
