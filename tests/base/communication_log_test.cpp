#include "base/communication_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <clocale>
#include <fstream>
#include <functional>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ciphered_log_line.h"
#include "base/local_clock.h"
#include "base/run_context.h"
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

// Every byte value, alone and among others, as ByteToHex writes it.
TEST(BytesToHex, RunsTheDigitsOfEveryByteTogetherAsHexDumpSpacesThem) {
  EXPECT_EQ(BytesToHex(""), "");
  EXPECT_EQ(BytesToHex(std::string("\x00\xFF\x9F\xA0", 4)), "00FF9FA0");
  std::string joined;
  std::string dumped;
  for (int value = 0; value < 256; ++value) {
    joined += ByteToHex(static_cast<std::uint8_t>(value));
    dumped += ByteToHex(static_cast<std::uint8_t>(value)) + " ";
  }
  EXPECT_EQ(BytesToHex(AllByteValues()), joined);
  EXPECT_EQ(HexDump(AllByteValues()), dumped);
}

TEST(BuildLogText, JoinsStampBlankMessageAndHexData) {
  EXPECT_EQ(BuildLogText("04.03.2025 5:06:07", "write: ", "\x45\x01\x15"), "04.03.2025 5:06:07 write: 45 01 15 ");
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
  const std::string badBase64Piece =
      "01"
      "04"
      "5A6D392D";  // "Zm9-"
  const std::string overlongPiece =
      "01"
      "14" +
      std::string(40, '4');  // 20 Base64 characters, 15 bytes
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

// A run of its own whose log is the module's, its files named by each test.
class LogLineSinks : public ::testing::Test {
protected:
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
  TCommunicationLog log_;
  TRunContext run_{dir_.path().string(), log_};
};

TEST_F(LogLineSinks, PlainSinkAppendsCrLfLines) {
  log_.PlainPath = (dir_ / "plain.log").string();
  WriteFileBytes(log_.PlainPath, "earlier\r\n");
  const auto first = LogAndBracket("write: ", std::string("\x00\xFF\x9F\xA0", 4));
  const auto second = LogAndBracket(Cp("posílám ACK..."), "");
  const auto lines = SplitCrLfLines(ReadFileBytes(log_.PlainPath));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "earlier");
  ExpectOneOf(lines[1], first);
  ExpectOneOf(lines[2], second);
  EXPECT_TRUE(lines[1].ends_with(" write: 00 FF 9F A0 "));
}

TEST_F(LogLineSinks, EmptyMessageAndDataWriteStampAndOneBlank) {
  log_.PlainPath = (dir_ / "plain.log").string();
  const auto expected = LogAndBracket("", "");
  const auto lines = SplitCrLfLines(ReadFileBytes(log_.PlainPath));
  ASSERT_EQ(lines.size(), 1u);
  ExpectOneOf(lines[0], expected);
  EXPECT_EQ(lines[0].back(), ' ');
}

TEST_F(LogLineSinks, CipheredSinkWritesLinesThatDecipherToTheLogText) {
  log_.CipheredPath = (dir_ / "KL.log").string();
  const auto first = LogAndBracket("Otevreni portu ", "\x01");
  const auto second = LogAndBracket("read: ", AllByteValues());
  const auto lines = SplitCrLfLines(ReadFileBytes(log_.CipheredPath));
  ASSERT_EQ(lines.size(), 2u);
  TTextCipher reader(TextCipherKey);
  const std::string firstText = DecipherLogLine(lines[0], reader);
  ExpectOneOf(firstText, first);
  ExpectOneOf(DecipherLogLine(lines[1], reader), second);
  // Byte for byte what a freshly keyed cipher gives for the same text.
  TTextCipher fresh(TextCipherKey);
  EXPECT_EQ(lines[0], EncipherLogLine(firstText, fresh));
}

TEST_F(LogLineSinks, WithoutSinksOnlySleeps) {
  const auto start = std::chrono::steady_clock::now();
  LogLine("TCPIP closing - delay ", "", 30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(LogLineSinks, IsActiveWhileEitherFileIsNamed) {
  const struct {
    const char* plain;
    const char* ciphered;
    bool active;
  } cases[] = {{"", "", false}, {"plain.log", "", true}, {"", "KL.log", true}, {"plain.log", "KL.log", true}};
  for (const auto& named : cases) {
    log_.PlainPath = named.plain;
    log_.CipheredPath = named.ciphered;
    EXPECT_EQ(log_.Active(), named.active) << named.plain << "|" << named.ciphered;
    EXPECT_EQ(LogActive(), named.active) << named.plain << "|" << named.ciphered;
  }
}

TEST(LogActive, IsFalseOutsideARun) { EXPECT_FALSE(LogActive()); }

// Lines enciphered once and written again, among many others that push them
// from generation to generation of the kept lines: each still deciphers to
// its own text, byte for byte as a fresh cipher gives it.
TEST_F(LogLineSinks, CipheredLinesWrittenAgainAreTheirOwnText) {
  log_.CipheredPath = (dir_ / "KL.log").string();
  std::vector<std::string> endings;
  for (int frame = 0; frame < 300; ++frame) {
    const std::string number = std::to_string(frame % 97);
    LogLine("cteni 4 bytu");
    LogLine("frame ", number);
    LogLine("odeslano " + std::to_string(frame % 3));
    endings.insert(endings.end(),
                   {" cteni 4 bytu", " frame " + HexDump(number), " odeslano " + std::to_string(frame % 3)});
  }
  const auto lines = SplitCrLfLines(ReadFileBytes(log_.CipheredPath));
  ASSERT_EQ(lines.size(), endings.size());
  TTextCipher fresh(TextCipherKey);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string text = DecipherLogLine(lines[i], fresh);
    EXPECT_TRUE(text.ends_with(endings[i])) << i << ": " << text;
    EXPECT_EQ(lines[i], EncipherLogLine(text, fresh)) << i;
  }
}

TEST_F(LogLineSinks, MissingDirectoryThrowsForEitherSink) {
  const std::string missing = (dir_ / "missing" / "log.txt").string();
  log_.PlainPath = missing;
  EXPECT_THROW(LogLine("x"), std::runtime_error);
  log_.PlainPath.clear();
  log_.CipheredPath = missing;
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
  log_.CipheredPath = "/dev/full";
  EXPECT_THROW(LogLine("x"), std::runtime_error);
}

// The enciphered log holds the same lines and notes as the plain one. The
// stamp is read anew for each sink and may have moved on by a second: the
// lines are compared by their endings.
struct BothSinksCase {
  const char* name;
  std::function<void()> log;
  std::vector<std::string> endings;
};
void PrintTo(const BothSinksCase& c, std::ostream* out) { *out << c.name; }

class BothSinks : public LogLineSinks, public ::testing::WithParamInterface<BothSinksCase> {};

TEST_P(BothSinks, HoldTheSameLines) {
  log_.PlainPath = (dir_ / "plain.log").string();
  log_.CipheredPath = (dir_ / "KL.log").string();
  GetParam().log();
  const auto plain = SplitCrLfLines(ReadFileBytes(log_.PlainPath));
  const auto ciphered = SplitCrLfLines(ReadFileBytes(log_.CipheredPath));
  const auto& endings = GetParam().endings;
  ASSERT_EQ(plain.size(), endings.size());
  ASSERT_EQ(ciphered.size(), endings.size());
  TTextCipher reader(TextCipherKey);
  for (std::size_t i = 0; i < endings.size(); ++i) {
    EXPECT_TRUE(plain[i].ends_with(endings[i])) << plain[i];
    EXPECT_TRUE(DecipherLogLine(ciphered[i], reader).ends_with(endings[i])) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, BothSinks,
                         ::testing::Values(BothSinksCase{"GetTheSameText",
                                                         [] { LogLine("Parametry rozpoznany"); },
                                                         {" Parametry rozpoznany"}},
                                           BothSinksCase{"LeaveOutTheSameRepetition",
                                                         [] {
                                                           for (int i = 0; i < 5; ++i)
                                                             LogLine("nacteno    1 bytu: ", "\r");
                                                           LogLine("ErrorCode:  0");
                                                         },
                                                         {" nacteno    1 bytu: 0D ", " " + RepetitionNote(1, 4),
                                                          " ErrorCode:  0"}}),
                         [](const ::testing::TestParamInfo<BothSinksCase>& param) { return param.param.name; });

// A line that could not be written is no line to repeat: the same call
// afterwards is written.
TEST_F(LogLineSinks, ALineThatFailedIsWrittenWhenItComesAgain) {
  const std::string missing = (dir_ / "missing" / "plain.log").string();
  log_.PlainPath = missing;
  EXPECT_THROW(LogLine("posilam ENQ..."), std::runtime_error);
  std::filesystem::create_directory(dir_ / "missing");
  LogLine("posilam ENQ...");
  const auto lines = SplitCrLfLines(ReadFileBytes(missing));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(" posilam ENQ..."));
}

// ---- Bursts: lines kept and written together ----------------------------------

// The endings "line <i>" of the lines of a plain log.
std::vector<std::string> PlainEndings(const std::string& path) {
  std::vector<std::string> endings;
  if (!std::filesystem::exists(path)) return endings;
  for (const auto& line : SplitCrLfLines(ReadFileBytes(path))) endings.push_back(line.substr(line.find("line ")));
  return endings;
}

std::vector<std::string> LineEndings(int from, int to) {
  std::vector<std::string> endings;
  for (int i = from; i < to; ++i) endings.push_back("line " + std::to_string(i));
  return endings;
}

// Kept lines reach both files in their order when the burst ends, the same
// lines as without it; a name that changes in the burst (the command
// processor clears the plain log's) gets the lines logged while it was set.
TEST_F(LogLineSinks, ABurstWritesItsLinesWhenItEnds) {
  log_.PlainPath = (dir_ / "plain.log").string();
  log_.CipheredPath = (dir_ / "KL.log").string();
  const std::string firstPlain = log_.PlainPath;
  LogLine("line 0");
  InLogBurst([&] {
    for (int i = 1; i < 40; ++i) LogLine("line " + std::to_string(i));
    EXPECT_EQ(PlainEndings(firstPlain), LineEndings(0, 1)) << "kept while the burst lasts";
    log_.PlainPath = (dir_ / "second.log").string();
    for (int i = 40; i < 50; ++i) LogLine("line " + std::to_string(i));
    EXPECT_EQ(PlainEndings(firstPlain), LineEndings(0, 40)) << "written before a line for another name";
    log_.PlainPath.clear();
  });
  EXPECT_EQ(PlainEndings((dir_ / "second.log").string()), LineEndings(40, 50));
  LogLine("line 50");
  const auto ciphered = SplitCrLfLines(ReadFileBytes(log_.CipheredPath));
  ASSERT_EQ(ciphered.size(), 51u);
  TTextCipher fresh(TextCipherKey);
  for (std::size_t i = 0; i < ciphered.size(); ++i) {
    const std::string text = DecipherLogLine(ciphered[i], fresh);
    EXPECT_TRUE(text.ends_with(" line " + std::to_string(i))) << text;
    EXPECT_EQ(ciphered[i], EncipherLogLine(text, fresh)) << i;
  }
}

// A long burst keeps at most HeldLogBytesMost a sink and writes as it goes.
TEST_F(LogLineSinks, ALongBurstWritesAsItGoes) {
  log_.PlainPath = (dir_ / "plain.log").string();
  const std::string padding(100, '.');
  std::uintmax_t logged = 0;
  InLogBurst([&] {
    for (int i = 0; i < 1000; ++i) {
      LogLine("line " + std::to_string(i) + padding);
      logged += FormatLogTimeStamp(LocalTimeNow()).size() + 8 + std::to_string(i).size() + padding.size();
      const std::uintmax_t written =
          std::filesystem::exists(log_.PlainPath) ? std::filesystem::file_size(log_.PlainPath) : 0;
      ASSERT_LE(logged - std::min(logged, written), HeldLogBytesMost + 200) << "after line " << i;
    }
  });
  EXPECT_EQ(SplitCrLfLines(ReadFileBytes(log_.PlainPath)).size(), 1000u);
}

// A burst left by a failure keeps its lines until the next line (logged or
// not: the names may have been cleared meanwhile) or the end of the
// command's repetition, which write them first.
TEST_F(LogLineSinks, ABurstLeftByAFailureIsWrittenBeforeWhatFollows) {
  const std::string path = (dir_ / "plain.log").string();
  log_.PlainPath = path;
  const auto burstThatFails = [](int first) {
    InLogBurst([first] {
      LogLine("line " + std::to_string(first));
      LogLine("line " + std::to_string(first + 1));
      throw std::runtime_error("the next row cannot be written");
    });
  };
  EXPECT_THROW(burstThatFails(0), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(path));
  LogLine("line 2");
  EXPECT_EQ(PlainEndings(path), LineEndings(0, 3));

  EXPECT_THROW(burstThatFails(3), std::runtime_error);
  log_.PlainPath.clear();
  LogLine("line 99");
  EXPECT_EQ(PlainEndings(path), LineEndings(0, 5));

  log_.PlainPath = path;
  EXPECT_THROW(burstThatFails(5), std::runtime_error);
  EndLogRepetition();
  EXPECT_EQ(PlainEndings(path), LineEndings(0, 7));
}

// ---- The bound of the enciphered log -------------------------------------------

class BoundedLog : public LogLineSinks {
protected:
  void SetUp() override { log_.CipheredPath = Log().string(); }

  std::filesystem::path Log() const { return dir_ / "KL.log"; }
  std::filesystem::path Older() const { return dir_ / "KL.log.1"; }

  static std::uintmax_t SizeOf(const std::filesystem::path& file) {
    return std::filesystem::exists(file) ? std::filesystem::file_size(file) : 0;
  }

  /// The deciphered lines of a log file, without their stamps (everything up
  /// to "line ").
  static std::vector<std::string> Numbered(const std::filesystem::path& file) {
    std::vector<std::string> texts;
    if (!std::filesystem::exists(file)) return texts;
    TTextCipher reader(TextCipherKey);
    for (const auto& line : SplitCrLfLines(ReadFileBytes(file))) {
      const std::string text = DecipherLogLine(line, reader);
      const auto at = text.find("line ");
      texts.push_back(at == std::string::npos ? text : text.substr(at));
    }
    return texts;
  }

  void ExpectBoundKept(bool inBurst);

  /// Logs "line <from>" to "line <to - 1>", checking the bound after each.
  void LogNumbered(int from, int to, std::uintmax_t within) {
    for (int i = from; i < to; ++i) {
      LogLine("line " + std::to_string(i));
      ASSERT_LE(SizeOf(Log()), within) << "after line " << i;
      ASSERT_LE(SizeOf(Older()), within) << "after line " << i;
    }
  }
};

// The file is renamed before the line that would take it past the bound, as
// often as it fills; no line is lost between the two files, in a burst too.
TEST_F(BoundedLog, NeverGrowsPastTheBoundWhileLinesAreWritten) { ExpectBoundKept(false); }

TEST_F(BoundedLog, NeverGrowsPastTheBoundInABurst) { ExpectBoundKept(true); }

void BoundedLog::ExpectBoundKept(bool inBurst) {
  constexpr std::uintmax_t Bound = 8 * 1024;
  log_.SetCipheredBound(Bound);
  if (inBurst) {
    InLogBurst([&] { LogNumbered(0, 600, Bound); });
  } else {
    LogNumbered(0, 600, Bound);
  }
  const auto older = Numbered(Older());
  const auto newer = Numbered(Log());
  ASSERT_FALSE(older.empty());
  ASSERT_FALSE(newer.empty());
  EXPECT_GT(SizeOf(Older()) + SizeOf(Log()), Bound) << "both files hold about a bound's worth";
  EXPECT_EQ(newer.back(), "line 599");
  const int first = std::stoi(older.front().substr(5));
  for (std::size_t i = 0; i < older.size() + newer.size(); ++i) {
    const auto& text = i < older.size() ? older[i] : newer[i - older.size()];
    EXPECT_EQ(text, "line " + std::to_string(first + static_cast<int>(i)));
  }
}

// A log over its bound before the first line (the bound was lowered) is
// renamed before that line; without a bound it only grows.
TEST_F(BoundedLog, ALogAlreadyOverItsBoundIsRenamedFirst) {
  WriteFileBytes(Log(), std::string(5000, 'x') + "\r\n");
  LogLine("line 0");
  EXPECT_GT(SizeOf(Log()), 5000u);
  EXPECT_FALSE(std::filesystem::exists(Older()));

  log_.SetCipheredBound(4096);
  EXPECT_TRUE(log_.MoveCipheredLogAsideWhenOverBound());
  EXPECT_FALSE(log_.MoveCipheredLogAsideWhenOverBound()) << "nothing left to move";
  LogLine("line 1");
  EXPECT_EQ(Numbered(Log()), std::vector<std::string>{"line 1"});
  EXPECT_GT(SizeOf(Older()), 5000u);
}

// Another process (a second command, kllog) renamed the log meanwhile: the
// new, small file is not renamed again when this process's count says full;
// it appended meanwhile: its lines are counted before the bound is reached.
TEST_F(BoundedLog, NoticesWhatAnotherProcessDidMeanwhile) {
  constexpr std::uintmax_t Bound = 8 * 1024;
  log_.SetCipheredBound(Bound);
  LogNumbered(0, 60, Bound);
  ASSERT_FALSE(std::filesystem::exists(Older()));
  std::filesystem::rename(Log(), Older());
  const std::string renamedByOther = ReadFileBytes(Older());
  LogNumbered(60, 100, Bound);
  EXPECT_EQ(ReadFileBytes(Older()), renamedByOther) << "the other process's renaming was noticed";
  EXPECT_EQ(Numbered(Log()).front(), "line 60");

  TTextCipher cipher(TextCipherKey);
  std::string other;
  while (other.size() < Bound / 4) other += EncipherLogLine("01/02/26 10:00:00 other process", cipher) + "\r\n";
  std::ofstream(Log(), std::ios::binary | std::ios::app) << other;
  LogNumbered(100, 400, Bound);
  EXPECT_NE(ReadFileBytes(Older()), renamedByOther);
}

// When the log cannot be renamed, it says so and goes on; the renaming is
// tried again after another bound's worth of lines.
TEST_F(BoundedLog, ALogThatCannotBeRenamedSaysSoAndGoesOn) {
  constexpr std::uintmax_t Bound = 4 * 1024;
  log_.SetCipheredBound(Bound);
  std::filesystem::create_directory(Older());  // a folder is not replaced by a file
  for (int i = 0; i < 100; ++i) LogLine("line " + std::to_string(i));
  const auto lines = Numbered(Log());
  const auto notes = std::count_if(lines.begin(), lines.end(), [](const std::string& text) {
    return text.find("KL.log neprejmenovan: ") != std::string::npos;
  });
  EXPECT_GE(notes, 1);
  EXPECT_LE(static_cast<std::uintmax_t>(notes), SizeOf(Log()) / Bound + 1) << "not one try a line";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "line 99"), 1);
}

// ---- Lines that repeat ---------------------------------------------------------

struct LoggedCall {
  std::string Message;
  std::string Data;
};

// A call of EndLogRepetition in a list of calls.
const LoggedCall EndOfCommand{"<end>", ""};

std::vector<LoggedCall> Rounds(const std::vector<LoggedCall>& cycle, std::size_t calls) {
  std::vector<LoggedCall> all;
  for (std::size_t i = 0; i < calls; ++i) all.push_back(cycle[i % cycle.size()]);
  return all;
}

std::vector<LoggedCall> DistinctCalls(std::size_t count) {
  std::vector<LoggedCall> calls;
  for (std::size_t i = 0; i < count; ++i) calls.push_back({"line " + std::to_string(i), ""});
  return calls;
}

std::vector<LoggedCall> operator+(std::vector<LoggedCall> first, const std::vector<LoggedCall>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct RepetitionCase {
  const char* name;
  std::vector<LoggedCall> calls;
  // The messages written (message and hex dump), RepetitionNote's among them.
  std::vector<std::string> written;
};

std::vector<std::string> operator+(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::vector<std::string> Texts(const std::vector<LoggedCall>& calls) {
  std::vector<std::string> texts;
  for (const auto& call : calls) texts.push_back(call.Message + HexDump(call.Data));
  return texts;
}

std::vector<RepetitionCase> RepetitionCases() {
  const LoggedCall a{"posilam ENQ...", ""};
  const LoggedCall b{"Cinnost komunikace", ""};
  const LoggedCall ask{"cteni 1 bytu", ""};
  const LoggedCall gotX{"nacteno    1 bytu: ", "X"};
  const LoggedCall gotY{"nacteno    1 bytu: ", "Y"};
  const auto cycle32 = DistinctCalls(32);
  const auto cycle33 = DistinctCalls(33);
  return {
      {"OneLineAgainAndAgain", {a, a, a, a, a, b}, {a.Message, RepetitionNote(1, 4), b.Message}},
      {"CountedAtTheEndOfTheCommand", {a, a, a, EndOfCommand}, {a.Message, RepetitionNote(1, 2)}},
      {"NothingBeforeTheEndIsRepeatedAfterIt", {a, EndOfCommand, a, a}, {a.Message, a.Message, RepetitionNote(1, 1)}},
      {"TwiceIsOneLeftOut", {b, a, a, b}, {b.Message, a.Message, RepetitionNote(1, 1), b.Message}},
      {"DataTellLinesApart", {ask, gotX, ask, gotY, ask, gotX}, Texts({ask, gotX, ask, gotY, ask, gotX})},
      {"MessageAloneIsNotTheMessageWithData", {{"x", ""}, {"x", "x"}, {"x", ""}}, {"x", "x78 ", "x"}},
      {"CycleOfTwoLines", Rounds({ask, gotX}, 9) + std::vector<LoggedCall>{b},
       Texts({ask, gotX, ask}) + std::vector<std::string>{RepetitionNote(2, 6), b.Message}},
      {"CycleBrokenWithinARound", Rounds({ask, gotX}, 6) + std::vector<LoggedCall>{ask, gotY},
       Texts({ask, gotX, ask}) + std::vector<std::string>{RepetitionNote(2, 4), "nacteno    1 bytu: 59 "}},
      {"LongestCycle", Rounds(cycle32, 70) + std::vector<LoggedCall>{EndOfCommand},
       Texts(Rounds(cycle32, 63)) + std::vector<std::string>{RepetitionNote(32, 7)}},
      {"CycleTooLongForARepetition", Rounds(cycle33, 70), Texts(Rounds(cycle33, 70))},
      {"OneLineInsideACycleCountsFirst",
       {b, a, a, a, b, a, a, a},
       {b.Message, a.Message, RepetitionNote(1, 2), b.Message, a.Message, RepetitionNote(1, 2)}},
  };
}

void Play(const std::vector<LoggedCall>& calls) {
  for (const auto& call : calls) {
    if (call.Message == EndOfCommand.Message) {
      EndLogRepetition();
    } else {
      LogLine(call.Message, call.Data);
    }
  }
  EndLogRepetition();
}

// Lines left out are those that go on with what the lines before them
// repeated twice already; the note says exactly how many, so that the whole
// can be told back, and comes before the next line or at the end of the
// command.
TEST(LogRepetition, WritesARepeatedLineOnceAndCountsTheRest) {
  for (const auto& example : RepetitionCases()) {
    const LogCapture log;
    Play(example.calls);
    EXPECT_EQ(log.Messages(), example.written) << example.name;
  }
}

// The notes read as the log's other lines, and a reader of the log (the
// replay) finds what they say after the stamp, and only in a whole note.
TEST(LogRepetition, NotesReadAsTheLogsOtherLinesAndBack) {
  EXPECT_EQ(RepetitionNote(1, 4), "Predchozi radek se opakoval jeste 4x");
  EXPECT_EQ(RepetitionNote(28, 123456), "Predchozich 28 radku se opakovalo, jeste 123456 radku vynechano");
  const std::string stamp = "12/09/26 18:20:00 ";
  for (const auto& [cycle, leftOut] :
       {std::pair<std::size_t, std::uintmax_t>{1, 1}, {1, 4}, {2, 7}, {32, 99999999999}}) {
    const auto read = RepetitionOfLogLine(stamp + RepetitionNote(cycle, leftOut));
    ASSERT_TRUE(read) << cycle;
    EXPECT_EQ(read->CycleLength, cycle);
    EXPECT_EQ(read->LeftOut, leftOut);
  }
  for (const std::string& other :
       std::vector<std::string>{"Predchozi radek se opakoval jeste 4x", stamp + "Predchozi radek se opakoval jeste x",
                                stamp + "Predchozi radek se opakoval jeste 4x!",
                                stamp + "Predchozich 33 radku se opakovalo, jeste 5 radku vynechano",
                                stamp + "Predchozich 1 radku se opakovalo, jeste 5 radku vynechano",
                                stamp + "Predchozich 3 radku se opakovalo, jeste 5 radku", stamp + "write: 05 "}) {
    EXPECT_FALSE(RepetitionOfLogLine(other)) << other;
  }
}

}  // namespace
