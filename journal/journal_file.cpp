#include "journal/journal_file.h"

#include <charconv>
#include <filesystem>

#include "base/kom_error.h"
#include "journal/journal_format.h"
#include "base/code_page.h"
#include "base/data_stream.h"
#include "base/durable_file.h"
#include "base/overlapped_text_writer.h"
#include "base/safe_output_file.h"
#include "base/file_name.h"
#include "model/table_numbers.h"

using namespace JournalFormat;

void JournalErrors::Raise(ErrorNumber number) { RaiseError(number); }

namespace {

constexpr std::string_view LineEnd = "\r\n";

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) {
      std::error_code ignored;
      std::filesystem::remove(PathFromName(path_), ignored);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

private:
  std::string path_;
  bool kept_ = false;
};

class JournalWriter {
public:
  explicit JournalWriter(TOverlappedTextWriter& texts) : texts_(texts) {}

  void Marker(std::string_view text) { texts_.Write(text); }
  void Data(std::string_view text) {
    texts_.Write(text);
    texts_.Write(text);
  }
  void Entry(const TJournalEntry& entry) {
    Data(entry.Record);
    Data(entry.Lines.Main);
    if (!entry.Lines.Second.empty()) {
      Marker(SecondMarker);
      Data(entry.Lines.Second);
    }
    if (!entry.Lines.Third.empty()) {
      Marker(ThirdMarker);
      Data(entry.Lines.Third);
    }
  }

private:
  TOverlappedTextWriter& texts_;
};

// Writes the file under a temporary name, the entries through
// `writeEntries`, and renames it to `path` once it is on the disk.
template <typename WriteEntries>
void WriteInPlaceWhenComplete(const std::string& path, bool enciphered, const std::vector<std::string>& headerLines,
                              const WriteEntries& writeEntries) {
  TemporaryFile temporary(TemporaryNameBeside(path));
  TDataStream stream(temporary.Path(), enciphered);
  stream.OpenWrite();
  {
    TOverlappedTextWriter texts(stream);
    JournalWriter writer(texts);
    writer.Marker(CurrentMagic);
    writer.Data(std::to_string(headerLines.size()));
    for (const auto& line : headerLines) writer.Data(line);
    writeEntries(writer);
    writer.Marker(EndMarker);
    texts.Finish();
  }
  stream.Close();
  if (!RenameWithoutReplacing(temporary.Path(), path)) JournalErrors::Raise(JournalErrors::FileExists);
  temporary.Keep();
  SyncFolderOf(path);
}

class JournalReader {
public:
  explicit JournalReader(TDataStream& stream) : stream_(stream) {}

  std::string Marker() { return stream_.ReadString(); }
  std::string Data() {
    std::string text = stream_.ReadString();
    CheckCopy(text);
    return text;
  }
  void CheckCopy(const std::string& text) {
    if (!stream_.ReadStringEqualTo(text)) JournalErrors::Raise(JournalErrors::BadFormat);
  }

private:
  TDataStream& stream_;
};

std::string FirstLine(const std::string& path, bool enciphered) {
  try {
    TDataStream stream(path, enciphered);
    stream.OpenRead();
    return stream.ReadString();
  } catch (const std::exception&) {
    return {};
  }
}

std::size_t HeaderCount(const std::string& text) {
  std::size_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    JournalErrors::Raise(JournalErrors::BadFormat);
  }
  return count;
}

// Every record the module saves is RecordDigits long, and no download takes
// more than RowsWithoutCapacity of them: a file with other records, or with
// more, is damaged. Found while reading, before such records (empty ones
// cost a few bytes of the file each) take memory out of all proportion.
void CheckRecord(const std::string& record, std::size_t entriesBefore) {
  if (record.size() != RecordDigits || entriesBefore >= static_cast<std::size_t>(RowsWithoutCapacity)) {
    JournalErrors::Raise(JournalErrors::BadFormat);
  }
}

void ReadContent(TDataStream& stream, TJournalFile& file) {
  JournalReader reader(stream);
  static_cast<void>(reader.Marker());
  if (file.CurrentVersion) {
    // The count is not trusted for sizing: a damaged one only makes the
    // reading run into the file's end.
    for (std::size_t count = HeaderCount(reader.Data()); count > 0; --count) {
      file.HeaderLines.push_back(reader.Data());
    }
  }
  std::string line = reader.Marker();
  while (line != EndMarker) {
    CheckRecord(line, file.Entries.size());
    TJournalEntry entry;
    entry.Record = std::move(line);
    reader.CheckCopy(entry.Record);
    entry.Lines.Main = reader.Data();
    line = reader.Marker();
    if (line == SecondMarker) {
      entry.Lines.Second = reader.Data();
      line = reader.Marker();
    }
    if (line == ThirdMarker) {
      entry.Lines.Third = reader.Data();
      line = reader.Marker();
    }
    file.Entries.push_back(std::move(entry));
  }
  if (!stream.AtEnd()) JournalErrors::Raise(JournalErrors::BadFormat);
}

}  // namespace

TJournalProbe TJournalFile::Probe(const std::string& path) {
  if (FirstLine(path, true) == CurrentMagic) return {TJournalProbe::Version::Current, true};
  const std::string line = FirstLine(path, false);
  if (line == CurrentMagic) return {TJournalProbe::Version::Current, false};
  if (line == OlderMagic) return {TJournalProbe::Version::Older, false};
  return {};
}

TJournalFile TJournalFile::Read(const std::string& path, bool enciphered) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(PathFromName(path), error)) JournalErrors::Raise(JournalErrors::FileMissing);
  const TJournalProbe probe = Probe(path);
  if (!probe.HasMagic() || probe.Enciphered != enciphered) JournalErrors::Raise(JournalErrors::BadFormat);
  TJournalFile file;
  file.CurrentVersion = probe.Kind == TJournalProbe::Version::Current;
  TDataStream stream(path, enciphered);
  stream.OpenRead();
  ReadContent(stream, file);
  return file;
}

void TJournalFile::Write(const std::string& path, bool enciphered) const {
  WriteInPlaceWhenComplete(path, enciphered, HeaderLines, [this](JournalWriter& writer) {
    for (const auto& entry : Entries) writer.Entry(entry);
  });
}

void TJournalFile::DecodeAndWrite(const TJournalDecoder& decoder, const std::string& path, bool enciphered) {
  WriteInPlaceWhenComplete(path, enciphered, HeaderLines, [this, &decoder](JournalWriter& writer) {
    for (auto& entry : Entries) {
      entry.Lines = decoder.Decode(entry.Record, true);
      writer.Entry(entry);
    }
  });
}

std::string TJournalFile::PlainText() const {
  std::string text;
  for (const auto& entry : Entries) {
    for (const std::string* line : {&entry.Lines.Main, &entry.Lines.Second, &entry.Lines.Third}) {
      if (line == &entry.Lines.Main || !line->empty()) text.append(*line).append(LineEnd);
    }
  }
  return text;
}
