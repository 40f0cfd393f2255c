#pragma once
// Reader of the resource source files (UTF-8, see resources/README.md):
//   %% comment               a line ignored entirely
//   %texts BASE              following "N=text" lines define identifier BASE+N
//   %block FIRST             each following line is the next string after FIRST
//                            (an empty line is an identifier without a string);
//                            FIRST itself receives the count of lines, as text
// In texts, "\\", "\n", "\r" and "\t" are escapes. Texts are converted to
// code page 1250.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

using ResourceStrings = std::map<std::uint16_t, std::string>;

class ResourceSourceError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Adds the strings of one source file to `strings`; throws
/// ResourceSourceError naming `fileName` and the line on any fault, including
/// an identifier defined twice.
void ReadResourceSource(std::string_view content, std::string_view fileName, ResourceStrings& strings);

/// Undoes the escapes of a text.
std::string UnescapeResourceText(std::string_view text);
