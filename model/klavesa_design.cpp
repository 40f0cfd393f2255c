#include "model/klavesa_design.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#include "base/input_file.h"

namespace {

constexpr std::size_t MaxLineFields = 21;
constexpr char FieldEnd = '~';

// The texts before each "~", at most MaxLineFields of them; text after the
// last "~" is not a field.
std::vector<std::string_view> CutLine(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (fields.size() < MaxLineFields) {
    const auto end = line.find(FieldEnd, start);
    if (end == std::string_view::npos) break;
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// Decimal integer with optional leading blanks and sign; 0 for anything else.
int IntegerOrZero(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

// Hands out the fields of a cut line in order; missing ones read as empty.
class FieldReader {
public:
  explicit FieldReader(std::string_view line) : fields_(CutLine(line)) {}
  std::string_view Text() { return next_ < fields_.size() ? fields_[next_++] : std::string_view(); }
  int Integer() { return IntegerOrZero(Text()); }
  bool Flag() { return Text() == "A"; }

private:
  std::vector<std::string_view> fields_;
  std::size_t next_ = 0;
};

void AppendField(std::string& line, std::string_view field) {
  line.append(field);
  line += FieldEnd;
}

void AppendField(std::string& line, int value) { AppendField(line, std::to_string(value)); }

// A key picture is a small image; anything larger is no picture of a key.
constexpr std::uint64_t MaxPictureSize = 16u << 20;

// The whole file, or none when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  try {
    return ReadInputFile(path, MaxPictureSize);
  } catch (const std::system_error&) {
    return std::nullopt;  // the caller reports the picture as missing
  }
}

}  // namespace

TKlavesaDesign TKlavesaDesign::FromLine(std::string_view line, const std::string& pictureFolder) {
  TKlavesaDesign design;
  design.ReadLine(line, pictureFolder);
  return design;
}

void TKlavesaDesign::ReadLine(std::string_view line, const std::string& pictureFolder) {
  FieldReader fields(line);
  KeyCode = fields.Text();
  for (std::size_t label = 0; label < Labels.size(); ++label) {
    Labels[label] = fields.Text();
    FirstValues[label] = fields.Integer();
    SecondValues[label] = fields.Integer();
    ThirdValues[label] = fields.Integer();
  }
  FlagA = fields.Flag();
  FlagB = fields.Flag();
  ValueBeforeColour = fields.Integer();
  Colour = fields.Integer();
  const std::string_view pictureField = fields.Text();
  if (!pictureField.empty() && pictureField.front() == '9') {
    PictureKind = PictureKindImage;
    PictureName = pictureField.substr(1);
  } else {
    PictureKind = IntegerOrZero(pictureField);
    PictureName.clear();
  }
  ValueAfterPicture = fields.Integer();
  LoadPicture(pictureFolder);
}

std::string TKlavesaDesign::ToLine() const {
  std::string line;
  AppendField(line, KeyCode);
  for (std::size_t label = 0; label < Labels.size(); ++label) {
    AppendField(line, Labels[label]);
    AppendField(line, FirstValues[label]);
    AppendField(line, SecondValues[label]);
    AppendField(line, ThirdValues[label]);
  }
  AppendField(line, FlagA ? "A" : "N");
  AppendField(line, FlagB ? "A" : "N");
  AppendField(line, ValueBeforeColour);
  AppendField(line, Colour);
  AppendField(line, PictureKind == PictureKindImage ? "9" + PictureName : std::to_string(PictureKind));
  AppendField(line, ValueAfterPicture);
  return line;
}

void TKlavesaDesign::LoadPicture(const std::string& pictureFolder) {
  Picture.reset();
  if (PictureName.empty()) return;
  Picture = ReadWholeFile(pictureFolder + PictureName);
}
