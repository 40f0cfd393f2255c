#include "base/communication_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ciphered_log_line.h"
#include "base/local_clock.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "test_support.h"

namespace {

std::vector<std::string> SplitCrLfLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(content.substr(start, end - start));
  }
  EXPECT_EQ(start, content.size()) << "content after the last CR LF";
  return lines;
}

// ---- Rendering of bytes and of the log text -----------------------------------

TEST(ByteToHex, GivesTwoUpperCaseDigitsHighNibbleFirst) {
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(ByteToHex(0xFF), "FF");
  EXPECT_EQ(ByteToHex(0x9F), "9F");
  EXPECT_EQ(ByteToHex(0xA0), "A0");
  EXPECT_EQ(ByteToHex(0x0A), "0A");
  EXPECT_EQ(ByteToHex(0xC3), "C3");
}

TEST(HexDump, FollowsEveryByteWithABlank) {
  EXPECT_EQ(HexDump(""), "");
  EXPECT_EQ(HexDump("\x45\x01\x15"), "45 01 15 ");
  EXPECT_EQ(HexDump(std::string("\x00\xFF\x9F\xA0", 4)), "00 FF 9F A0 ");
}

TEST(BuildLogText, JoinsStampBlankMessageAndHexData) {
  EXPECT_EQ(BuildLogText("04.03.2025 5:06:07", "write: ", "\x45\x01\x15"),
            "04.03.2025 5:06:07 write: 45 01 15 ");
  EXPECT_EQ(BuildLogText("04.03.2025 5:06:07", Cp("čekám na 4 byty..."), ""),
            "04.03.2025 5:06:07 " + Cp("čekám na 4 byty..."));
  EXPECT_EQ(BuildLogText("04.03.2025 5:06:07", "", ""), "04.03.2025 5:06:07 ");
}

// A line stays within 16 KiB of text whatever it is given; what is cut says
// how long the whole was. Up to the limits nothing is cut.
TEST(BuildLogText, CutsALongMessageOrLongDataAndSaysHowLong) {
  const std::string stamp = "04.03.2025 5:06:07";
  const std::string atLimit(12 * 1024, 'p');
  EXPECT_EQ(BuildLogText(stamp, atLimit, ""), stamp + " " + atLimit);
  const std::string parameter = "/FILE=" + std::string(20'000, 'a');
  const std::string cut = BuildLogText(stamp, parameter, "");
  EXPECT_EQ(cut, stamp + " " + parameter.substr(0, 12 * 1024) + "... (20006 znaku)");

  const std::string frame(5000, '\x45');
  const std::string both = BuildLogText(stamp, parameter, frame);
  EXPECT_LE(both.size(), 16u * 1024);
  EXPECT_TRUE(both.ends_with("45 ... (5000 bytu)")) << both.substr(both.size() - 40);
  EXPECT_EQ(BuildLogText(stamp, "read: ", std::string(1024, '\x01')).size(), stamp.size() + 7 + 3 * 1024);
}

TEST(FormatLogTimeStamp, UsesShortDateAndLongTimeOfTheLocale) {
  std::setlocale(LC_TIME, "C");
  std::tm moment{};
  moment.tm_year = 2025 - 1900;
  moment.tm_mon = 2;
  moment.tm_mday = 4;
  moment.tm_hour = 5;
  moment.tm_min = 6;
  moment.tm_sec = 7;
  EXPECT_EQ(FormatLogTimeStamp(moment), "03/04/25 05:06:07");
}

// ---- The enciphered line format ---------------------------------------------------

TEST(EncipherLogLine, TwentyCharactersGiveThreePiecesTheLastEmpty) {
  TTextCipher cipher(TextCipherKey);
  const std::string line = EncipherLogLine("01234567890123456789", cipher);
  // count, then twice a length of 16 (10h) with 16 Base64 characters, then "00".
  ASSERT_EQ(line.size(), 2 + 2 * (2 + 32) + 2u);
  EXPECT_EQ(line.substr(0, 2), "03");
  EXPECT_EQ(line.substr(2, 2), "10");
  EXPECT_EQ(line.substr(36, 2), "10");
  EXPECT_EQ(line.substr(70), "00");
}

TEST(EncipherLogLine, ShortTextIsOnePieceOfItsBase64Length) {
  TTextCipher cipher(TextCipherKey);
  const std::string line = EncipherLogLine("123456789", cipher);
  EXPECT_EQ(line.substr(0, 4), "010C");  // nine bytes are twelve Base64 characters
  EXPECT_EQ(line.size(), 4 + 24u);
  EXPECT_EQ(EncipherLogLine("", cipher), "0100");
}

TEST(EncipherLogLine, IsUpperCaseHexOfBase64Characters) {
  TTextCipher cipher(TextCipherKey);
  const std::string line = EncipherLogLine(AllByteValues(), cipher);
  EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  TTextCipher reader(TextCipherKey);
  EXPECT_EQ(DecipherLogLine(line, reader), AllByteValues());
}

TEST(EncipherLogLine, PieceCountWrapsAtTwoHundredFiftySixButReadsBack) {
  const std::string longText(2560, 'x');  // 257 pieces
  TTextCipher cipher(TextCipherKey);
  const std::string line = EncipherLogLine(longText, cipher);
  EXPECT_EQ(line.substr(0, 2), "01");
  EXPECT_EQ(DecipherLogLine(line, cipher), longText);
}

TEST(EncipherLogLine, ResetPerLineEqualsKeyingAnew) {
  TTextCipher shared(TextCipherKey);
  for (const std::string text : {"Parametry rozpoznany", "", "write: 45 01 15 ", "0123456789"}) {
    TTextCipher fresh(TextCipherKey);
    EXPECT_EQ(EncipherLogLine(text, shared), EncipherLogLine(text, fresh)) << text;
  }
}

TEST(DecipherLogLine, ReadsBackTextsOfEveryLengthAroundPieceBoundaries) {
  TTextCipher cipher(TextCipherKey);
  const std::string source = AllByteValues();
  for (std::size_t length = 0; length <= 31; ++length) {
    const std::string text = source.substr(200, length);
    EXPECT_EQ(DecipherLogLine(EncipherLogLine(text, cipher), cipher), text) << "length " << length;
  }
}

TEST(DecipherLogLine, RejectsMalformedLines) {
  TTextCipher cipher(TextCipherKey);
  const std::string good = EncipherLogLine("01234567890123456789x", cipher);  // three pieces
  ASSERT_EQ(good.substr(0, 2), "03");
  const std::string badBase64Piece = "01" "04" "5A6D392D";  // "Zm9-"
  const std::string overlongPiece = "01" "14" + std::string(40, '4') ;  // 20 Base64 characters, 15 bytes
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"empty line", ""},
      {"count only", "00"},
      {"odd length", good + "0"},
      {"bad hex digit", "0G" + good.substr(2)},
      {"blank in the hex", good.substr(0, 10) + " " + good.substr(11)},
      {"count too high", "04" + good.substr(2)},
      {"count too low", "02" + good.substr(2)},
      {"truncated piece", good.substr(0, good.size() - 4)},
      {"last full piece dropped", "02" + good.substr(2, 68)},
      {"piece after a short piece", good + "00"},
      {"bad Base64", badBase64Piece},
      {"piece of fifteen bytes", overlongPiece},
  };
  for (const auto& [what, line] : damaged) {
    EXPECT_THROW(DecipherLogLine(line, cipher), EMalformedLogLine) << what;
  }
  EXPECT_EQ(DecipherLogLine(good, cipher), "01234567890123456789x");
}

// ---- LogLine and its two sinks -----------------------------------------------------

class LogLineSinks : public ::testing::Test {
protected:
  void TearDown() override {
    PlainLogPath.clear();
    CipheredLogPath.clear();
  }

  // Calls LogLine and returns the log text that a line written by it may hold:
  // the stamps read before and after the call bracket the one it used.
  std::pair<std::string, std::string> LogAndBracket(std::string_view message, std::string_view data) {
    const std::string before = FormatLogTimeStamp(LocalTimeNow());
    LogLine(message, data);
    const std::string after = FormatLogTimeStamp(LocalTimeNow());
    return {BuildLogText(before, message, data), BuildLogText(after, message, data)};
  }

  static void ExpectOneOf(const std::string& actual, const std::pair<std::string, std::string>& expected) {
    EXPECT_TRUE(actual == expected.first || actual == expected.second)
        << "got \"" << actual << "\", expected \"" << expected.first << "\"";
  }

  TempDir dir_;
};

TEST_F(LogLineSinks, PlainSinkAppendsCrLfLines) {
  PlainLogPath = (dir_ / "plain.log").string();
  WriteFileBytes(PlainLogPath, "earlier\r\n");
  const auto first = LogAndBracket("write: ", std::string("\x00\xFF\x9F\xA0", 4));
  const auto second = LogAndBracket(Cp("posílám ACK..."), "");
  const auto lines = SplitCrLfLines(ReadFileBytes(PlainLogPath));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "earlier");
  ExpectOneOf(lines[1], first);
  ExpectOneOf(lines[2], second);
  EXPECT_TRUE(lines[1].ends_with(" write: 00 FF 9F A0 "));
}

TEST_F(LogLineSinks, EmptyMessageAndDataWriteStampAndOneBlank) {
  PlainLogPath = (dir_ / "plain.log").string();
  const auto expected = LogAndBracket("", "");
  const auto lines = SplitCrLfLines(ReadFileBytes(PlainLogPath));
  ASSERT_EQ(lines.size(), 1u);
  ExpectOneOf(lines[0], expected);
  EXPECT_EQ(lines[0].back(), ' ');
}

TEST_F(LogLineSinks, CipheredSinkWritesLinesThatDecipherToTheLogText) {
  CipheredLogPath = (dir_ / "KL.log").string();
  const auto first = LogAndBracket("Otevreni portu ", "\x01");
  const auto second = LogAndBracket("read: ", AllByteValues());
  const auto lines = SplitCrLfLines(ReadFileBytes(CipheredLogPath));
  ASSERT_EQ(lines.size(), 2u);
  TTextCipher reader(TextCipherKey);
  const std::string firstText = DecipherLogLine(lines[0], reader);
  ExpectOneOf(firstText, first);
  ExpectOneOf(DecipherLogLine(lines[1], reader), second);
  // Byte for byte what a freshly keyed cipher gives for the same text.
  TTextCipher fresh(TextCipherKey);
  EXPECT_EQ(lines[0], EncipherLogLine(firstText, fresh));
}

TEST_F(LogLineSinks, BothSinksGetTheSameText) {
  PlainLogPath = (dir_ / "plain.log").string();
  CipheredLogPath = (dir_ / "KL.log").string();
  LogLine("Parametry rozpoznany");
  const auto plain = SplitCrLfLines(ReadFileBytes(PlainLogPath));
  const auto ciphered = SplitCrLfLines(ReadFileBytes(CipheredLogPath));
  ASSERT_EQ(plain.size(), 1u);
  ASSERT_EQ(ciphered.size(), 1u);
  TTextCipher reader(TextCipherKey);
  const std::string deciphered = DecipherLogLine(ciphered[0], reader);
  // The stamp is read anew for each sink and may have moved on by a second.
  EXPECT_TRUE(deciphered.ends_with(" Parametry rozpoznany"));
  EXPECT_TRUE(plain[0].ends_with(" Parametry rozpoznany"));
}

TEST_F(LogLineSinks, WithoutSinksOnlySleeps) {
  const auto start = std::chrono::steady_clock::now();
  LogLine("TCPIP closing - delay ", "", 30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(LogLineSinks, MissingDirectoryThrowsForEitherSink) {
  const std::string missing = (dir_ / "missing" / "log.txt").string();
  PlainLogPath = missing;
  EXPECT_THROW(LogLine("x"), std::runtime_error);
  PlainLogPath.clear();
  CipheredLogPath = missing;
  try {
    LogLine("x");
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST_F(LogLineSinks, WriteFailureThrows) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CipheredLogPath = "/dev/full";
  EXPECT_THROW(LogLine("x"), std::runtime_error);
}

}  // namespace
