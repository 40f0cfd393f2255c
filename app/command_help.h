#pragma once
// The text of `mervmodul --help`: the ways to start the program, then every
// activity word of the activity table, every parameter of the parameter
// table, the speed codes and the model codes, each read from the table the
// command line is parsed with, so that the help cannot miss one.
#include <string>
#include <string_view>

/// The whole help text (UTF-8, "\n" line ends).
std::string HelpText();

/// How the help writes an activity word: "R03" style words as "Rnn", reset
/// words as "Nhh", prefix words with their optional range.
std::string ActivityForm(std::string_view word);

/// The description of an activity word in the help; empty for a word without one.
std::string_view ActivityDescription(std::string_view word);
