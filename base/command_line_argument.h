#pragma once
// One argument of a Windows command line, quoted the way the C runtime splits
// a command line again: an argument with a blank, a tab or a quote goes in
// quotes (backslashes doubled only before a quote), any other as it is.
#include <string>

std::string QuotedCommandLineArgument(const std::string& argument);
