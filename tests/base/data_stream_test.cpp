#include "base/data_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

namespace {

std::vector<std::string> WriteAndReadBack(const std::filesystem::path& file, bool enciphered,
                                          const std::vector<std::string>& texts) {
  WriteTexts(file, enciphered, texts);
  TDataStream in(file.string(), enciphered);
  in.OpenRead();
  std::vector<std::string> read;
  for (std::size_t i = 0; i < texts.size(); ++i) read.push_back(in.ReadString());
  EXPECT_EQ(in.BytesRead(), std::filesystem::file_size(file)) << "every byte of the file read, lengths included";
  return read;
}

TEST(DataStream, BothModesReadBackWhatWasWritten) {
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
  const std::vector<std::string> texts{"",
                                       "ZURNALMERVMANAGERSOUBOR2",
                                       allBytes,
                                       "",
                                       std::string(10, 'x'),
                                       std::string(9, 'y'),
                                       std::string(11, 'z'),
                                       std::string(5000, 'q')};
  TempDir folder;
  for (const bool enciphered : {false, true}) {
    SCOPED_TRACE(enciphered ? "enciphered" : "scrambled");
    EXPECT_EQ(WriteAndReadBack(folder / (enciphered ? "e.dat" : "s.dat"), enciphered, texts), texts);
  }
}

// The journal writes a new file under a fresh name: whatever is already under
// the name, a file or a link planted there, is never opened for writing.
TEST(DataStream, WritingNeverOpensWhatIsAlreadyUnderTheName) {
  TempDir folder;
  WriteFileBytes(folder / "victim", "theirs");
  WriteFileBytes(folder / "existing.dat", "kept");
  std::vector<std::string> names{"existing.dat"};
#ifndef _WIN32  // links need privileges on Windows
  std::filesystem::create_symlink(folder / "victim", folder / "planted.dat");
  names.push_back("planted.dat");
#endif
  for (const auto& name : names) {
    TDataStream out((folder / name).string(), false);
    EXPECT_THROW(out.OpenWrite(), std::runtime_error) << name;
  }
  EXPECT_EQ(ReadFileBytes(folder / "victim"), "theirs");
  EXPECT_EQ(ReadFileBytes(folder / "existing.dat"), "kept");
}

TEST(DataStream, ScrambledTextsAreNotStoredInClearAndRunOnAcrossTexts) {
  TempDir folder;
  const std::string bytes = WriteTexts(folder / "s.dat", false, {"AAAA", "", "AAAA"});
  ASSERT_EQ(bytes.size(), 2u + 4 + 2 + 2 + 4);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x04\x00", 2));
  EXPECT_EQ(bytes.substr(6, 2), std::string("\x00\x00", 2)) << "an empty text is its length alone";
  EXPECT_EQ(bytes.find("AAAA"), std::string::npos);
  EXPECT_NE(bytes.substr(2, 4), bytes.substr(10, 4)) << "the scramble byte runs on from text to text";
  const std::string first = bytes.substr(2, 4);
  for (std::size_t i = 1; i < first.size(); ++i) EXPECT_NE(first[i], first[i - 1]) << "it steps after every byte";
}

TEST(DataStream, EncipheredTextIsCutIntoPiecesOfTen) {
  TempDir folder;
  const std::string bytes = WriteTexts(folder / "e.dat", true, {"01234567890123456789"});
  ASSERT_EQ(LengthAt(bytes, 0), 3) << "20 characters are three pieces, the last one empty";
  TTextCipher cipher(TextCipherKey);
  std::size_t offset = 2;
  std::vector<std::string> pieces;
  for (int i = 0; i < 3; ++i) {
    const std::uint16_t length = LengthAt(bytes, offset);
    pieces.push_back(cipher.DecryptString(bytes.substr(offset + 2, length)));
    offset += 2 + length;
  }
  EXPECT_EQ(offset, bytes.size());
  EXPECT_EQ(pieces, (std::vector<std::string>{"0123456789", "0123456789", ""}))
      << "pieces are the log cipher's, keyed with the shared pass phrase and chained through the file";
}

TEST(DataStream, FailuresCarryTheirMessages) {
  TempDir folder;
  const auto file = folder / "cut.dat";
  const std::string bytes = WriteTexts(file, false, {"complete", "cut short"});
  WriteFileBytes(file, bytes.substr(0, bytes.size() - 3));

  TDataStream in(file.string(), false);
  in.OpenRead();
  EXPECT_EQ(in.ReadString(), "complete");
  try {
    in.ReadString();
    ADD_FAILURE() << "a cut record must fail";
  } catch (const EDataStreamReadError& failure) {
    EXPECT_EQ(std::string(failure.what()), Cp("Při čtení ze souboru \"" + file.string() + "\" došlo k chybě: 1"));
  }
  EXPECT_TRUE(in.IsOpen()) << "the caller closes after a failure";
  in.Close();
  in.Close();

  TDataStream missing((folder / "none.dat").string(), true);
  try {
    missing.OpenRead();
    ADD_FAILURE() << "a missing file must fail";
  } catch (const std::runtime_error& failure) {
    EXPECT_TRUE(std::string(failure.what()).starts_with(Cp("Při čtení ze souboru \""))) << failure.what();
  }
  TDataStream unwritable((folder / "no" / "such.dat").string(), false);
  try {
    unwritable.OpenWrite();
    ADD_FAILURE() << "a file in a missing folder cannot be written";
  } catch (const std::runtime_error& failure) {
    EXPECT_TRUE(std::string(failure.what()).starts_with(Cp("Při zápisu do souboru \""))) << failure.what();
  }
}

TEST(DataStream, RefusesWhatItCannotStoreAndIgnoresAClosedFile) {
  TempDir folder;
  TDataStream closed((folder / "c.dat").string(), false);
  EXPECT_EQ(closed.ReadString(), "");
  closed.WriteString("nothing");
  EXPECT_FALSE(std::filesystem::exists(folder / "c.dat"));

  TDataStream out((folder / "long.dat").string(), false);
  out.OpenWrite();
  EXPECT_THROW(out.WriteString(std::string(0x10000, 'a')), EDataStreamWriteError)
      << "a length that does not fit 16 bits is refused, not cut";
  out.Close();
}

TEST(DataStream, DamagedCipherTextFailsAsAReadError) {
  TempDir folder;
  const auto file = folder / "e.dat";
  WriteFileBytes(file, std::string("\x01\x00\x04\x00!!!!", 8));
  TDataStream in(file.string(), true);
  in.OpenRead();
  EXPECT_THROW(in.ReadString(), EDataStreamReadError);
}

// An enciphered file is read ahead in growing batches of texts: a file long
// enough for the largest batches, damaged near its end, still hands out
// every text before the damage, then fails at the damaged text, and again
// when asked once more.
TEST(DataStream, TextsReadAheadComeBeforeTheFailureThatFollowsThem) {
  std::vector<std::string> texts;
  for (int i = 0; i < 4000; ++i)
    texts.push_back(std::string(static_cast<std::size_t>(i * 7919 % 3001), static_cast<char>('a' + i % 26)));
  const std::size_t damaged = texts.size() - 3;
  texts[damaged] = "damaged text";
  TempDir folder;
  const std::size_t damagedAt =
      WriteTexts(folder / "head.dat", true, {texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(damaged)})
          .size();
  std::string bytes = WriteTexts(folder / "all.dat", true, texts);
  ASSERT_GT(bytes.size(), std::size_t{8} << 20) << "the damage must lie in the largest batches";
  bytes[damagedAt + 4] = '!';  // the first character of its first piece's Base64
  WriteFileBytes(folder / "all.dat", bytes);

  TDataStream in((folder / "all.dat").string(), true);
  in.OpenRead();
  for (std::size_t i = 0; i < damaged; ++i) ASSERT_EQ(in.ReadString(), texts[i]) << "text " << i;
  EXPECT_THROW(in.ReadString(), EDataStreamReadError);
  EXPECT_THROW(in.ReadString(), EDataStreamReadError) << "the failure stays";
}

// The next batches are read and deciphered while the caller works through
// one: asking whether the file ends, before every text of a file of many
// batches, never loses or repeats a text, and closing in the middle (a batch
// still being deciphered) and opening again starts from the first text.
TEST(DataStream, ReadingAheadKeepsTheOrderAcrossBatchesAndCloses) {
  std::vector<std::string> texts;
  for (int i = 0; i < 30000; ++i)
    texts.push_back(std::to_string(i * 7919) + std::string(static_cast<std::size_t>(i % 97), 'x'));
  TempDir folder;
  const auto file = folder / "long.dat";
  WriteTexts(file, true, texts);

  TDataStream in(file.string(), true);
  in.OpenRead();
  for (std::size_t i = 0; i < 1000; ++i) ASSERT_EQ(in.ReadString(), texts[i]) << "text " << i;
  in.Close();
  in.OpenRead();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_FALSE(in.AtEnd()) << "before text " << i;
    ASSERT_EQ(in.ReadString(), texts[i]) << "text " << i;
  }
  EXPECT_TRUE(in.AtEnd());
  EXPECT_THROW(in.ReadString(), EDataStreamReadError) << "nothing after the last text";
}

// A copy is checked against its text without being kept, in both modes: the
// answer for the text read, the stream moving on to the next, the end of
// the file failing as ReadString fails.
TEST(DataStream, ReadStringEqualToTellsAndMovesOn) {
  TempDir folder;
  for (const bool enciphered : {false, true}) {
    const auto file = folder / (enciphered ? "e.dat" : "s.dat");
    WriteTexts(file, enciphered, {"abc", "abc", "", "x"});
    TDataStream in(file.string(), enciphered);
    in.OpenRead();
    EXPECT_TRUE(in.ReadStringEqualTo("abc")) << enciphered;
    EXPECT_FALSE(in.ReadStringEqualTo("abd")) << enciphered;
    EXPECT_FALSE(in.ReadStringEqualTo("x")) << "the empty text, " << enciphered;
    EXPECT_EQ(in.ReadString(), "x") << enciphered;
    EXPECT_THROW(in.ReadStringEqualTo(""), EDataStreamReadError) << enciphered;
  }
}

}  // namespace
