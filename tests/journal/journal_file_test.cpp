#include "journal/journal_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "journal/journal_format.h"
#include "model/catalogue_builder.h"
#include "model/soubory.h"
#include "model/table_numbers.h"
#include "test_support.h"
#include "base/data_stream.h"

namespace {

TJournalFile SampleJournal() {
  TJournalFile file;
  file.HeaderLines = {"OBCHOD^U^NADRAZI", "DIC CZ12345678"};
  file.Entries = {
      {"4001000000000000000000000000000000000000", {"DOKLAD 1", "", ""}},
      {"2100000000000000000000000000000000000150", {"ROHLIK  1.50", "2 x 0.75", "SLEVA"}},
      {"2200000000000000000000000000000000000000", {"MAIN", "", "ONLY THIRD"}},
      {"8000000000000000000000000000000000000000", {"CELKEM  1.50", "SECOND", ""}},
  };
  return file;
}

std::vector<std::string> StreamTexts(const std::filesystem::path& file, bool enciphered) {
  TDataStream in(file.string(), enciphered);
  in.OpenRead();
  std::vector<std::string> texts;
  while (true) {
    try {
      texts.push_back(in.ReadString());
    } catch (const EDataStreamReadError&) {
      return texts;
    }
  }
}

// Offset of the first Base64 character of the text with this index in an
// enciphered file: it carries the top bits of the text's first byte.
std::size_t FirstCipherCharacterOfText(const std::string& bytes, int index) {
  std::size_t offset = 0;
  for (int text = 0; text < index; ++text) {
    const std::uint16_t pieces = LengthAt(bytes, offset);
    offset += 2;
    for (std::uint16_t piece = 0; piece < pieces; ++piece) offset += 2 + LengthAt(bytes, offset);
  }
  return offset + 4;
}

void ExpectSameContent(const TJournalFile& read, const TJournalFile& written) {
  EXPECT_EQ(read.CurrentVersion, written.CurrentVersion);
  EXPECT_EQ(read.HeaderLines, written.HeaderLines);
  ASSERT_EQ(read.Entries.size(), written.Entries.size());
  for (std::size_t i = 0; i < read.Entries.size(); ++i) {
    EXPECT_EQ(read.Entries[i].Record, written.Entries[i].Record);
    EXPECT_EQ(read.Entries[i].Lines.Main, written.Entries[i].Lines.Main);
    EXPECT_EQ(read.Entries[i].Lines.Second, written.Entries[i].Lines.Second);
    EXPECT_EQ(read.Entries[i].Lines.Third, written.Entries[i].Lines.Third);
  }
}

TEST(JournalFile, WritesDataLinesTwiceAndMarkersOnce) {
  TempDir folder;
  const auto path = folder / "z.zur";
  SampleJournal().Write(path.string(), true);
  // The file's texts entry by entry: each data line twice, each marker once.
  const auto records = SampleJournal().Entries;
  std::vector<std::string> expected{"ZURNALMERVMANAGERSOUBOR2", "2", "2"};
  const auto then = [&expected](std::initializer_list<std::string> texts) { expected.insert(expected.end(), texts); };
  then({"OBCHOD^U^NADRAZI", "OBCHOD^U^NADRAZI", "DIC CZ12345678", "DIC CZ12345678"});
  then({records[0].Record, records[0].Record, "DOKLAD 1", "DOKLAD 1"});
  then({records[1].Record, records[1].Record, "ROHLIK  1.50", "ROHLIK  1.50", "SECOND", "2 x 0.75", "2 x 0.75", "THIRD",
        "SLEVA", "SLEVA"});
  then({records[2].Record, records[2].Record, "MAIN", "MAIN", "THIRD", "ONLY THIRD", "ONLY THIRD"});
  then({records[3].Record, records[3].Record, "CELKEM  1.50", "CELKEM  1.50", "SECOND", "SECOND", "SECOND"});
  then({"KONECZURNALU"});
  EXPECT_EQ(StreamTexts(path, true), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
      << "no temporary file stays behind";
}

// Also under a name as long as a file's name may be (255 bytes), which its
// temporary name beside it must not exceed.
TEST(JournalFile, ReadsBackWhatWasWrittenInBothCipherModes) {
  TempDir folder;
  const std::string longest = std::string(251, 'z') + ".zur";
  for (const auto& [enciphered, name] :
       {std::pair{true, std::string("e.zur")}, std::pair{false, std::string("s.zur")}, std::pair{true, longest}}) {
    SCOPED_TRACE(name.size());
    const auto path = folder / name;
    SampleJournal().Write(path.string(), enciphered);
    const TJournalProbe probe = TJournalFile::Probe(path.string());
    EXPECT_EQ(probe.Kind, TJournalProbe::Version::Current);
    EXPECT_EQ(probe.Enciphered, enciphered);
    ExpectSameContent(TJournalFile::Read(path.string(), enciphered), SampleJournal());
    EXPECT_EQ(ErrorNumberRaisedBy([&, wrongMode = !enciphered] { TJournalFile::Read(path.string(), wrongMode); }), 54)
        << "the cipher must match the mode";
  }
}

TEST(JournalFile, AnEmptyJournalHasMagicCountHeaderAndEnd) {
  TempDir folder;
  TJournalFile empty;
  empty.HeaderLines = {"H"};
  empty.Write((folder / "e.zur").string(), true);
  EXPECT_EQ(StreamTexts(folder / "e.zur", true),
            (std::vector<std::string>{"ZURNALMERVMANAGERSOUBOR2", "1", "1", "H", "H", "KONECZURNALU"}));
  ExpectSameContent(TJournalFile::Read((folder / "e.zur").string(), true), empty);
}

TEST(JournalFile, ReadsTheOlderVersionWithoutHeader) {
  TempDir folder;
  const auto path = folder / "old.zur";
  const std::string record = "4300000000000000000000000000000000000000";
  WriteTexts(path, false, {"ZURNALMERVMANAGERSOUBOR", record, record, "STORNO", "STORNO", "KONECZURNALU"});
  const TJournalProbe probe = TJournalFile::Probe(path.string());
  EXPECT_EQ(probe.Kind, TJournalProbe::Version::Older);
  EXPECT_FALSE(probe.Enciphered);
  const TJournalFile file = TJournalFile::Read(path.string(), false);
  EXPECT_FALSE(file.CurrentVersion);
  EXPECT_TRUE(file.HeaderLines.empty());
  ASSERT_EQ(file.Entries.size(), 1u);
  EXPECT_EQ(file.Entries[0].Lines.Main, "STORNO");
  EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read(path.string(), true); }), 54)
      << "an unenciphered file is refused in command-line mode";
}

TEST(JournalFile, FilesWithoutMagicProbeAsPlainText) {
  TempDir folder;
  WriteFileBytes(folder / "plain.txt", "DOKLAD 1\r\nCELKEM 1.50\r\n");
  WriteFileBytes(folder / "empty.txt", "");
  WriteTexts(folder / "other.dat", true, {"ZURNALMERVMANAGERSOUBOR"});
  for (const char* name : {"plain.txt", "empty.txt", "other.dat", "missing.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(TJournalFile::Probe((folder / name).string()).HasMagic());
  }
  EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read((folder / "missing.txt").string(), true); }), 53);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read((folder / "plain.txt").string(), true); }), 54);
}

// Each damage of a good enciphered file, applied to its bytes, and what
// reading it gives: 54 for a damaged or extended file, the data stream's
// failure (10 here; the printing reports it as 55) for one that ends early.
struct Damage {
  const char* name;
  std::function<std::string(const std::string&)> apply;
  int error;
  bool enciphered = true;  // scrambled: the long files, which the cipher would slow down
};

constexpr int BadFormat = 54;
constexpr int EndsEarly = 10;

TEST(JournalFile, EveryDamageIsRefused) {
  TempDir folder;
  const auto good = folder / "good.zur";
  SampleJournal().Write(good.string(), true);
  const std::string bytes = ReadFileBytes(good);

  // Rewrites the file's texts with one data line changed (its copy not).
  const auto rewritten = [&](const std::function<void(std::vector<std::string>&)>& change, bool enciphered) {
    auto texts = StreamTexts(good, true);
    change(texts);
    const auto path = folder / "changed.zur";
    std::filesystem::remove(path);
    WriteTexts(path, enciphered, texts);
    return ReadFileBytes(path);
  };
  const auto changedText = [&](std::size_t index, bool enciphered) {
    return rewritten([index](auto& texts) { texts[index][0] = static_cast<char>(texts[index][0] ^ 1); }, enciphered);
  };
  // The good file's first entry (its record and main line, each twice)
  // `count` times, without header lines, scrambled.
  const auto entries = [&](std::size_t count) {
    return rewritten(
        [count](auto& texts) {
          const std::vector<std::string> entry(texts.begin() + 7, texts.begin() + 11);
          texts = {texts.front(), "0", "0"};
          for (std::size_t i = 0; i < count; ++i) texts.insert(texts.end(), entry.begin(), entry.end());
          texts.emplace_back(JournalFormat::EndMarker);
        },
        false);
  };
  const auto recordOf = [&](std::string record) {
    return rewritten([&record](auto& texts) { texts[7] = texts[8] = record; }, true);
  };
  const auto registerHolds = static_cast<std::size_t>(RowsWithoutCapacity);
  std::string hugeLine = bytes.substr(0, bytes.size() - 40);
  hugeLine += std::string("\xFF\xFF", 2) + std::string(4000, 'A');
  const std::vector<Damage> damages{
      {"header line changed", [&](const std::string&) { return changedText(3, true); }, BadFormat},
      {"record line changed", [&](const std::string&) { return changedText(7, true); }, BadFormat},
      {"main line changed", [&](const std::string&) { return changedText(9, true); }, BadFormat},
      {"third line changed", [&](const std::string&) { return changedText(19, true); }, BadFormat},
      {"copy of a line changed", [&](const std::string&) { return changedText(10, true); }, BadFormat},
      {"count changed", [&](const std::string&) { return changedText(1, true); }, BadFormat},
      {"scrambled file changed", [&](const std::string&) { return changedText(9, false); }, BadFormat},
      {"one cipher character of a main line changed",
       [](const std::string& b) {
         std::string d = b;
         const std::size_t at = FirstCipherCharacterOfText(b, 9);
         d[at] = d[at] == 'A' ? 'B' : 'A';
         return d;
       },
       BadFormat},
      {"a text after the end marker",
       [&](const std::string&) { return rewritten([](auto& texts) { texts.push_back("X"); }, true); }, BadFormat},
      {"one byte after the end marker", [](const std::string& b) { return b + '\0'; }, BadFormat},
      {"end marker changed: read as a record, whose length is wrong",
       [&](const std::string&) { return changedText(35, true); }, BadFormat},
      {"truncated", [](const std::string& b) { return b.substr(0, b.size() / 2); }, EndsEarly},
      {"end missing", [](const std::string& b) { return b.substr(0, b.size() - 30); }, EndsEarly},
      {"huge line", [&](const std::string&) { return hugeLine; }, EndsEarly},
      {"an empty record", [&](const std::string&) { return recordOf(""); }, BadFormat},
      {"a record of 39 digits", [&](const std::string&) { return recordOf(std::string(39, '0')); }, BadFormat},
      {"a record of 41 digits", [&](const std::string&) { return recordOf(std::string(41, '0')); }, BadFormat},
      {"as many entries as a register's journal holds: no damage",
       [&](const std::string&) { return entries(registerHolds); }, 0, false},
      {"one entry more than a register's journal holds", [&](const std::string&) { return entries(registerHolds + 1); },
       BadFormat, false},
      {"binary junk after the magic",
       [](const std::string& b) {
         std::string junk = b.substr(0, 60);
         for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
         return junk;
       },
       EndsEarly},
  };
  for (const auto& damage : damages) {
    SCOPED_TRACE(damage.name);
    const auto path = folder / "damaged.zur";
    std::filesystem::remove(path);
    WriteFileBytes(path, damage.apply(bytes));
    EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read(path.string(), damage.enciphered); }), damage.error);
  }
  WriteFileBytes(folder / "junk.zur", std::string(3000, '\xFF'));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read((folder / "junk.zur").string(), true); }), 54)
      << "binary junk has no magic";
}

TEST(JournalFile, AScrambledFileEndsAtItsEndMarker) {
  TempDir folder;
  const auto path = folder / "s.zur";
  SampleJournal().Write(path.string(), false);
  WriteFileBytes(path, ReadFileBytes(path) + "x");
  EXPECT_EQ(ErrorNumberRaisedBy([&] { TJournalFile::Read(path.string(), false); }), 54);
}

TEST(JournalFile, NeverReplacesAnExistingFile) {
  TempDir folder;
  const auto path = folder / "z.zur";
  WriteFileBytes(path, "someone else's");
  EXPECT_EQ(ErrorNumberRaisedBy([&] { SampleJournal().Write(path.string(), true); }), 51);
  EXPECT_EQ(ReadFileBytes(path), "someone else's");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
      << "the temporary file is removed";
}

TEST(JournalFile, OfTwoRacingWritersExactlyOneWins) {
  TempDir folder;
  const auto path = (folder / "race.zur").string();
  constexpr int Writers = 8;
  std::vector<int> results(Writers);
  {
    std::vector<std::jthread> writers;
    for (int i = 0; i < Writers; ++i) {
      writers.emplace_back([&, i] {
        TJournalFile file = SampleJournal();
        file.HeaderLines = {"writer " + std::to_string(i)};
        results[static_cast<std::size_t>(i)] = ErrorNumberRaisedBy([&] { file.Write(path, true); });
      });
    }
  }
  EXPECT_EQ(std::count(results.begin(), results.end(), 0), 1);
  EXPECT_EQ(std::count(results.begin(), results.end(), 51), Writers - 1);
  const TJournalFile winner = TJournalFile::Read(path, true);
  ASSERT_EQ(winner.HeaderLines.size(), 1u);
  EXPECT_EQ(winner.HeaderLines[0],
            "writer " + std::to_string(std::find(results.begin(), results.end(), 0) - results.begin()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

// The journal as the writer wrote it one text after another, before the
// cipher had a thread of its own.
void WriteTextByText(const TJournalFile& file, const std::filesystem::path& path, bool enciphered) {
  TDataStream out(path.string(), enciphered);
  out.OpenWrite();
  const auto data = [&out](const std::string& text) {
    out.WriteString(text);
    out.WriteString(text);
  };
  out.WriteString(JournalFormat::CurrentMagic);
  data(std::to_string(file.HeaderLines.size()));
  for (const auto& line : file.HeaderLines) data(line);
  for (const auto& entry : file.Entries) {
    data(entry.Record);
    data(entry.Lines.Main);
    if (!entry.Lines.Second.empty()) {
      out.WriteString(JournalFormat::SecondMarker);
      data(entry.Lines.Second);
    }
    if (!entry.Lines.Third.empty()) {
      out.WriteString(JournalFormat::ThirdMarker);
      data(entry.Lines.Third);
    }
  }
  out.WriteString(JournalFormat::EndMarker);
  out.Close();
}

// Every record code, each with several payloads, enough records for many
// batches of the writer.
TJournalFile UndecodedJournalOfEveryCode() {
  TJournalFile file;
  file.HeaderLines = {"OBCHOD U NADRAZI", "", "DIC CZ12345678"};
  for (int code = 0; code < 256; ++code) {
    for (int variant = 0; variant < 12; ++variant) {
      char record[41];
      std::snprintf(record, sizeof record, "%02X%02X%012d%08X%016d", code, variant * 21, variant * 7919 + code,
                    static_cast<unsigned>(code * 2654435761u), variant * 1000003);
      file.Entries.push_back({record, {}});
    }
  }
  return file;
}

std::string TextByTextBytes(const TJournalFile& file, const std::filesystem::path& path, bool enciphered) {
  WriteTextByText(file, path, enciphered);
  std::string bytes = ReadFileBytes(path);
  std::filesystem::remove(path);
  return bytes;
}

std::string WrittenBytes(const std::function<void(const std::string&)>& write, const std::filesystem::path& path) {
  write(path.string());
  std::string bytes = ReadFileBytes(path);
  std::filesystem::remove(path);
  return bytes;
}

// The decoder gives no third lines: the sample's entries add them.
TEST(JournalFile, WritesTheBytesOfTheTextByTextWriterForEveryRecordCode) {
  const auto catalogue = BuildCatalogue("ECR 465T/465TF");
  const TJournalDecoder decoder(*catalogue);
  TJournalFile decoded = UndecodedJournalOfEveryCode();
  for (auto& entry : decoded.Entries) entry.Lines = decoder.Decode(entry.Record, true);
  ASSERT_TRUE(std::any_of(decoded.Entries.begin(), decoded.Entries.end(),
                          [](const TJournalEntry& e) { return !e.Lines.Second.empty(); }));
  TJournalFile mixed = decoded;
  for (const auto& entry : SampleJournal().Entries) mixed.Entries.push_back(entry);
  TempDir folder;
  for (const bool enciphered : {false, true}) {
    SCOPED_TRACE(enciphered ? "enciphered" : "scrambled");
    EXPECT_TRUE(WrittenBytes([&](const std::string& path) { mixed.Write(path, enciphered); }, folder / "w.zur") ==
                TextByTextBytes(mixed, folder / "expected.zur", enciphered))
        << "Write";
    TJournalFile undecoded = UndecodedJournalOfEveryCode();
    EXPECT_TRUE(WrittenBytes([&](const std::string& path) { undecoded.DecodeAndWrite(decoder, path, enciphered); },
                             folder / "d.zur") == TextByTextBytes(decoded, folder / "expected.zur", enciphered))
        << "DecodeAndWrite";
    ExpectSameContent(undecoded, decoded);
  }
}

// A line too long for the file's length fields fails on the writing thread,
// after much of the file went through the cipher: the failure comes out of
// Write as it was raised, and no file is left, under the name or beside it.
TEST(JournalFile, AFailedWriteLeavesNoFile) {
  for (const TooLongText& tooLong : TooLongTexts) {
    SCOPED_TRACE(tooLong.Mode());
    TempDir folder;
    TJournalFile file = UndecodedJournalOfEveryCode();
    file.Entries.back().Lines.Main.assign(tooLong.Length, 'X');
    EXPECT_THROW(file.Write((folder / "z.zur").string(), tooLong.Enciphered), EDataStreamWriteError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 0);
  }
}

TEST(JournalFile, PlainTextHoldsTheDecodedLinesOnly) {
  EXPECT_EQ(SampleJournal().PlainText(),
            "DOKLAD 1\r\nROHLIK  1.50\r\n2 x 0.75\r\nSLEVA\r\nMAIN\r\nONLY THIRD\r\nCELKEM  1.50\r\nSECOND\r\n");
}

}  // namespace
