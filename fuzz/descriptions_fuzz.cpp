// The description blocks: the input's lines are the rows of the language
// block, its first line (when a number) the row count the block announces.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/convert_error.h"
#include "model/description_reader.h"
#include "model/soubory.h"

namespace {

constexpr int LanguageFirst = 1000;
constexpr int CommonFirst = 5000;

std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return lines;
}

/// One catalogue for every input: building the empty catalogue took most of
/// each run. Reading blocks into a catalogue that has read blocks before is
/// what the module does as well, when it reads them again after the model
/// layout.
TSoubory& Catalogue() {
  static TSoubory catalogue;
  return catalogue;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> lines = LinesOf(std::string_view(reinterpret_cast<const char*>(data), size));
  TDescriptionSource source;
  source.LanguageBlock = LanguageFirst;
  source.CommonBlock = CommonFirst;
  source.StringAt = [&lines](int id) {
    const int index = id - LanguageFirst;
    if (index == 0) return std::to_string(lines.size());
    if (index < 1 || index > static_cast<int>(lines.size())) return std::string();
    return lines[static_cast<std::size_t>(index - 1)];
  };
  source.Warn = [](std::string_view, std::string_view) {};
  TSoubory& catalogue = Catalogue();
  // The reader empties every list it fills except the default contents
  // (kept per model key) and the display texts of the 2846X layout (added to
  // the printer texts): forgotten here, so that one input's lists do not
  // pile up in the next.
  catalogue.DefaultContents.clear();
  catalogue.TextLayout2846X.Clear();
  try {
    ReadDescriptions(catalogue, source);
  } catch (const EConvertError&) {
    // A register row with a bad number ends the reading by design.
  }
  return 0;
}
