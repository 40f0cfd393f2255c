#pragma once
// One argument of a Windows command line, quoted the way the C runtime splits
// a command line again: an argument with a blank, a tab or a quote goes in
// quotes (backslashes doubled only before a quote), any other as it is.
//
// ArgumentPointers: the other way, a null-terminated array of the texts for
// execv, posix_spawn and their like (an argument vector or an environment).
#include <string>
#include <vector>

std::string QuotedCommandLineArgument(const std::string& argument);

/// Pointers into `texts` (which must outlive them), then a null pointer.
std::vector<char*> ArgumentPointers(std::vector<std::string>& texts);
