#include "base/overlapped_text_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Texts of every length around the ten-byte pieces and the batch size, with
// bytes of every value, enough of them to fill several batches.
std::vector<std::string> SampleTexts() {
  std::vector<std::string> texts{"", "", std::string(1, '\0')};
  for (int i = 0; i < 9000; ++i) {
    std::string text;
    for (int b = 0; b < i % 37; ++b) text += static_cast<char>((i * 31 + b * 7) & 0xFF);
    texts.push_back(text);
  }
  texts.push_back(std::string(65535, 'q'));
  texts.push_back("");
  return texts;
}

std::string WrittenOverlapped(const std::filesystem::path& file, bool enciphered,
                              const std::vector<std::string>& texts) {
  TDataStream out(file.string(), enciphered);
  out.OpenWrite();
  TOverlappedTextWriter writer(out);
  for (const auto& text : texts) writer.Write(text);
  writer.Finish();
  out.Close();
  return ReadFileBytes(file);
}

TEST(OverlappedTextWriter, WritesTheBytesOfWritingTextByText) {
  const std::vector<std::string> texts = SampleTexts();
  for (const bool enciphered : {false, true}) {
    SCOPED_TRACE(enciphered ? "enciphered" : "scrambled");
    TempDir folder;  // a data file is never written over an existing one
    const std::string expected = WriteTexts(folder / "one.dat", enciphered, texts);
    ASSERT_GT(expected.size(), 200000u) << "several batches";
    const std::string written = WrittenOverlapped(folder / "overlapped.dat", enciphered, texts);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "first difference at "
                                     << std::mismatch(written.begin(), written.end(), expected.begin()).first -
                                            written.begin();
  }
  TempDir empty;
  EXPECT_EQ(WrittenOverlapped(empty / "none.dat", true, {}), "");
}

// A text too long for its length fields fails on the writing thread; the
// failure reaches the caller, the cipher thread stops too, and the texts
// handed over after it are refused.
TEST(OverlappedTextWriter, AFailureOfTheWritingThreadReachesTheCaller) {
  for (const TooLongText& tooLong : TooLongTexts) {
    SCOPED_TRACE(tooLong.Mode());
    TempDir folder;
    TDataStream out((folder / "f.dat").string(), tooLong.Enciphered);
    out.OpenWrite();
    TOverlappedTextWriter writer(out);
    writer.Write("before");
    writer.Write(std::string(tooLong.Length, 'a'));
    const auto writeOnAndFinish = [&] {
      for (int i = 0; i < 100000; ++i) writer.Write("after the failure, until it is noticed");
      writer.Finish();
    };
    EXPECT_THROW(writeOnAndFinish(), EDataStreamWriteError);
    EXPECT_THROW(writer.Write(std::string(1 << 17, 'b')), EDataStreamWriteError) << "no text is taken after it";
  }
}

// The caller's own failure drops the writer without Finish: both threads
// end, however much is still on its way, and what reached the file is a
// beginning of what the texts make.
TEST(OverlappedTextWriter, DroppedUnfinishedItStopsBothThreads) {
  const std::vector<std::string> texts(20000, "a text on its way when the caller fails");
  TempDir folder;
  const std::string whole = WriteTexts(folder / "whole.dat", true, texts);
  TDataStream out((folder / "f.dat").string(), true);
  out.OpenWrite();
  {
    TOverlappedTextWriter writer(out);
    for (const auto& text : texts) writer.Write(text);
  }
  out.Close();
  const std::string written = ReadFileBytes(folder / "f.dat");
  EXPECT_LT(written.size(), whole.size());
  EXPECT_TRUE(whole.starts_with(written));
}

}  // namespace
