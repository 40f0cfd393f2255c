#include "tools/mervfleet/registers_file.h"

#include "base/file_name.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <stdexcept>

#include "model/model_list.h"
#include "tools/mervfleet/csv_fields.h"

namespace {

constexpr std::size_t LongestLine = 64 * 1024;
constexpr std::size_t LongestName = 64;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

bool IsValidName(std::string_view name) {
  return !name.empty() && name.size() <= LongestName && name.front() != '.' &&
         std::all_of(name.begin(), name.end(), IsNameCharacter);
}

std::size_t ColumnOf(const std::vector<std::string>& header, std::string_view name) {
  return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
}

}  // namespace

TRegistersFile::TRegistersFile(const std::string& path, const std::string& outFolder)
    : path_(path), outFolder_(outFolder) {
  // Only a regular file (the door refuses a FIFO or a device, which could
  // block or never end); it is read a line at a time, whatever its size.
  try {
    file_ = std::make_unique<TInputFile>(path, std::numeric_limits<std::uint64_t>::max() >> 1);
  } catch (const std::system_error& failure) {
    Refuse(failure.code().message());
  }
  std::string header;
  if (!ReadLine(header)) Refuse("the file is empty; its first line names the columns");
  if (header.rfind(ByteOrderMark, 0) == 0) header.erase(0, ByteOrderMark.size());
  const auto names = SplitCsvLine(header);
  columns_ = names.size();
  nameColumn_ = ColumnOf(names, "name");
  lineColumn_ = ColumnOf(names, "line");
  modelColumn_ = ColumnOf(names, "model");
  if (const auto folder = ColumnOf(names, "folder"); folder < columns_) folderColumn_ = folder;
  if (std::max({nameColumn_, lineColumn_, modelColumn_}) >= columns_) {
    Refuse("the header needs the columns name, line and model (and may have folder)");
  }
}

TRegistersFile::~TRegistersFile() = default;

std::optional<TRegisterEntry> TRegistersFile::Next() {
  std::string line;
  while (ReadLine(line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    TRegisterEntry entry = EntryOf(line);
    CheckNameIsNew(entry);
    return entry;
  }
  return std::nullopt;
}

int TRegistersFile::CountRest() {
  int count = 0;
  while (Next()) ++count;
  return count;
}

TRegisterEntry TRegistersFile::EntryOf(const std::string& line) const {
  std::vector<std::string> fields;
  try {
    fields = SplitCsvLine(line);
  } catch (const std::invalid_argument& failure) {
    Refuse(failure.what());
  }
  if (fields.size() != columns_) {
    Refuse(std::to_string(fields.size()) + " fields where the header has " + std::to_string(columns_));
  }
  TRegisterEntry entry;
  entry.FileLine = lineNumber_;
  entry.Name = fields[nameColumn_];
  if (!IsValidName(entry.Name)) {
    Refuse("name \"" + entry.Name +
           "\" is not 1 to 64 letters, digits, \".\", \"_\" or \"-\" (not starting with \".\")");
  }
  try {
    entry.Line = TRegisterLine::Parse(fields[lineColumn_]);
  } catch (const std::invalid_argument& failure) {
    Refuse(failure.what());
  }
  entry.Model = fields[modelColumn_];
  if (ModelNameOfCode(entry.Model).empty()) Refuse("model \"" + entry.Model + "\" is no /ECR= code of the module");
  entry.Folder = folderColumn_ && !fields[*folderColumn_].empty()
                     ? fields[*folderColumn_]
                     : NameFromPath(PathFromName(outFolder_) / PathFromName(entry.Name));
  return entry;
}

void TRegistersFile::CheckNameIsNew(const TRegisterEntry& entry) {
  std::string key = entry.Name;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto [seen, isNew] = nameLines_.emplace(key, entry.FileLine);
  if (!isNew) {
    Refuse("register name \"" + entry.Name + "\" on lines " + std::to_string(seen->second) + " and " +
           std::to_string(entry.FileLine) + " (each register needs a name of its own)");
  }
}

// One line without its end; false at the end of the file.
bool TRegistersFile::ReadLine(std::string& line) {
  line.clear();
  for (int c; (c = std::fgetc(file_->Stream())) != EOF;) {
    if (c == '\n') break;
    if (line.size() == LongestLine) Refuse("a line longer than 64 KiB");
    line += static_cast<char>(c);
  }
  if (std::ferror(file_->Stream())) Refuse(std::strerror(errno));
  if (line.empty() && std::feof(file_->Stream())) return false;
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void TRegistersFile::Refuse(const std::string& why) const {
  throw std::invalid_argument(path_ + ":" + std::to_string(lineNumber_) + ": " + why);
}
