#include "tools/rescomp/resource_source.h"

#include <charconv>

#include "base/code_page.h"

namespace {

enum class Mode { None, Texts, Block };

struct SourceState {
  std::string_view fileName;
  int lineNumber = 0;
  Mode mode = Mode::None;
  int base = 0;
  int blockFirst = 0;
  int blockCount = 0;
};

[[noreturn]] void Fail(const SourceState& state, const std::string& what) {
  throw ResourceSourceError(std::string(state.fileName) + ":" + std::to_string(state.lineNumber) + ": " + what);
}

int ParseNumber(const SourceState& state, std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) Fail(state, "not a number: " + std::string(text));
  return value;
}

// Identifiers are summed in 64 bits so that a huge base or number cannot overflow
// before the range check.
void Define(const SourceState& state, ResourceStrings& strings, long long id, std::string text) {
  if (id < 0 || id > 0xFFFF) Fail(state, "identifier out of range: " + std::to_string(id));
  if (!strings.emplace(static_cast<std::uint16_t>(id), std::move(text)).second) {
    Fail(state, "identifier defined twice: " + std::to_string(id));
  }
}

void CloseBlock(const SourceState& state, ResourceStrings& strings) {
  if (state.mode == Mode::Block) Define(state, strings, state.blockFirst, std::to_string(state.blockCount));
}

void ReadDirective(SourceState& state, ResourceStrings& strings, std::string_view line) {
  const auto space = line.find(' ');
  const std::string_view word = line.substr(0, space);
  const std::string_view argument = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
  CloseBlock(state, strings);
  if (word == "%texts") {
    state.mode = Mode::Texts;
    state.base = ParseNumber(state, argument);
  } else if (word == "%block") {
    state.mode = Mode::Block;
    state.blockFirst = ParseNumber(state, argument);
    state.blockCount = 0;
  } else {
    Fail(state, "unknown directive: " + std::string(word));
  }
}

void ReadTextLine(SourceState& state, ResourceStrings& strings, std::string_view line) {
  if (line.empty()) return;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) Fail(state, "expected N=text");
  const long long id = static_cast<long long>(state.base) + ParseNumber(state, line.substr(0, equals));
  Define(state, strings, id, Utf8ToCp1250(UnescapeResourceText(line.substr(equals + 1))));
}

void ReadBlockLine(SourceState& state, ResourceStrings& strings, std::string_view line) {
  ++state.blockCount;
  if (!line.empty()) {
    Define(state, strings, static_cast<long long>(state.blockFirst) + state.blockCount,
           Utf8ToCp1250(UnescapeResourceText(line)));
  }
}

}  // namespace

std::string UnescapeResourceText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += text[i];
        break;
    }
  }
  return out;
}

void ReadResourceSource(std::string_view content, std::string_view fileName, ResourceStrings& strings) {
  SourceState state;
  state.fileName = fileName;
  std::size_t start = 0;
  while (start < content.size()) {
    auto end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    start = end + 1;
    ++state.lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with("%%")) continue;
    if (line.starts_with("%")) {
      ReadDirective(state, strings, line);
    } else if (state.mode == Mode::Texts) {
      ReadTextLine(state, strings, line);
    } else if (state.mode == Mode::Block) {
      ReadBlockLine(state, strings, line);
    } else if (!line.empty()) {
      Fail(state, "text before the first %texts or %block");
    }
  }
  CloseBlock(state, strings);
}
