// Runs the built kllog program on logs written by LogLine.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/communication_log.h"
#include "base/run_context.h"
#include "test_support.h"

namespace {

struct KllogRun {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

class Kllog : public ::testing::Test {
protected:
  // `arguments` go to the shell as they are; "<file" redirections included.
  KllogRun Run(const std::string& arguments) {
    const auto out = dir_ / "stdout.txt";
    const auto err = dir_ / "stderr.txt";
    const std::string command =
        std::string("'") + KLLOG_EXE + "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    KllogRun run;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileBytes(out);
    run.err = ReadFileBytes(err);
    return run;
  }

  // Writes the messages through LogLine into KL.log and returns its path.
  std::string WriteLog(std::initializer_list<std::string> messages) {
    TCommunicationLog log;
    const TRunContext run(dir_.path().string(), log);
    log.CipheredPath = (dir_ / "KL.log").string();
    for (const auto& message : messages) LogLine(message, "\x06");
    return (dir_ / "KL.log").string();
  }

  // The part of an output line after the date, the time and their blank. The
  // log is written in the "C" locale, where "%x %X" is "MM/DD/YY HH:MM:SS".
  static std::string AfterStamp(const std::string& line) {
    constexpr std::string_view shape = "99/99/99 99:99:99 ";  // 9 stands for a digit
    bool matches = line.size() >= shape.size();
    for (std::size_t i = 0; matches && i < shape.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      matches = shape[i] == '9' ? std::isdigit(c) != 0 : shape[i] == line[i];
    }
    return matches ? line.substr(shape.size()) : "no time stamp in: " + line;
  }

  TempDir dir_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST_F(Kllog, PrintsEveryLineInUtf8) {
  const std::string path = WriteLog({"Parametry rozpoznany", Cp("posílám ACK..."), "01234567890123"});
  const KllogRun run = Run("'" + path + "'");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(AfterStamp(lines[0]), "Parametry rozpoznany06 ");
  EXPECT_EQ(AfterStamp(lines[1]), "posílám ACK...06 ");
  EXPECT_EQ(AfterStamp(lines[2]),
            "01234567890123"
            "06 ");
}

TEST_F(Kllog, ReportsAMalformedLineAndGoesOn) {
  const std::string path = WriteLog({"first", "second", "third"});
  std::string content = ReadFileBytes(path);
  const auto secondLine = content.find("\r\n") + 2;
  content[secondLine + 5] = 'Z';  // not a hex digit
  WriteFileBytes(path, content);
  const KllogRun run = Run("'" + path + "'");
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(AfterStamp(lines[0]), "first06 ");
  EXPECT_EQ(lines[1], "[kllog: line 2 not deciphered]");
  EXPECT_EQ(AfterStamp(lines[2]), "third06 ");
}

TEST_F(Kllog, ReadsStandardInputForADash) {
  const std::string path = WriteLog({"from standard input"});
  const KllogRun run = Run("- <'" + path + "'");
  EXPECT_EQ(run.exitStatus, 0);
  ASSERT_EQ(Lines(run.out).size(), 1u);
  EXPECT_EQ(AfterStamp(Lines(run.out)[0]), "from standard input06 ");
}

TEST_F(Kllog, FailsOnAMissingOrUnreadableFile) {
  const KllogRun missing = Run("'" + (dir_ / "none.log").string() + "'");
  EXPECT_NE(missing.exitStatus, 0);
  EXPECT_NE(missing.err.find("none.log"), std::string::npos) << missing.err;
  const KllogRun directory = Run("'" + dir_.path().string() + "'");
  EXPECT_NE(directory.exitStatus, 0);
  EXPECT_NE(directory.err, "");
}

TEST_F(Kllog, ExplainsItsUsage) {
  const KllogRun help = Run("--help");
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("Usage: kllog [-f] FILE"), std::string::npos);
  const KllogRun wrong = Run("");
  EXPECT_NE(wrong.exitStatus, 0);
  EXPECT_NE(wrong.err.find("Usage: kllog [-f] FILE"), std::string::npos);
  EXPECT_EQ(wrong.out, "");
}

}  // namespace

namespace {

// A line of a file may be as long as the file: a long line that is no log
// line is marked, and the lines after it are still read. Standard input has
// no size, so there a line beyond 16 MiB ends the reading.
TEST_F(Kllog, ReadsALongLineOfAFileAndGoesOnAfterIt) {
  const std::string path = WriteLog({"first", "third"});
  std::string content = ReadFileBytes(path);
  content.insert(content.find("\r\n") + 2, std::string(100'000, 'A') + "\r\n");
  WriteFileBytes(path, content);
  const KllogRun fromFile = Run("'" + path + "'");
  EXPECT_EQ(fromFile.exitStatus, 1);
  const auto lines = Lines(fromFile.out);
  ASSERT_EQ(lines.size(), 3u) << fromFile.out;
  EXPECT_EQ(lines[1], "[kllog: line 2 not deciphered]");
  EXPECT_EQ(AfterStamp(lines[2]), "third06 ");

  const KllogRun endless = Run("- </dev/zero");
  EXPECT_EQ(endless.exitStatus, 1);
  EXPECT_NE(endless.err.find("line 1: longer than 16777216 bytes"), std::string::npos) << endless.err;
  EXPECT_TRUE(endless.out.empty());
}

TEST_F(Kllog, FailsWhenItsOutputCannotBeWritten) {
  const std::string path = WriteLog({"a line that goes nowhere"});
  const auto err = dir_ / "stderr.txt";
  const std::string command = std::string("'") + KLLOG_EXE + "' '" + path + "' >/dev/full 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadFileBytes(err).find("cannot write the output"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(Kllog, PrintsTheOlderFileFirst) {
  const std::string older = WriteLog({"older one", "older two"});
  std::filesystem::rename(older, older + ".1");
  const std::string path = WriteLog({"newer"});
  const KllogRun run = Run("'" + path + "'");
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(AfterStamp(lines[0]), "older one06 ");
  EXPECT_EQ(AfterStamp(lines[2]), "newer06 ");
  EXPECT_EQ(Run("-f").exitStatus, 2);
  EXPECT_EQ(Run("-f - <'" + path + "'").exitStatus, 2);
}

// Follows the log through appended lines, a line written in two pieces and
// the renaming of the log to ".1" with lines it got before the renaming.
TEST_F(Kllog, FollowsAppendedLinesAcrossTheRenaming) {
  const std::string path = WriteLog({"first"});
  const auto out = dir_ / "followed.txt";
  const auto pidFile = dir_ / "pid.txt";
  const std::string command = std::string("'") + KLLOG_EXE + "' -f '" + path + "' >'" + out.string() +
                              "' 2>&1 & echo $! >'" + pidFile.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // The shell creates the output file in the background.
  const auto followed = [&] {
    return std::filesystem::exists(out) ? Lines(ReadFileBytes(out)) : std::vector<std::string>();
  };
  const auto waitFor = [&](std::size_t lineCount) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (followed().size() < lineCount && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return followed();
  };
  EXPECT_EQ(waitFor(1).size(), 1u);

  // The second line as the log holds it, written first without its end.
  {
    TCommunicationLog log;
    const TRunContext run(dir_.path().string(), log);
    log.CipheredPath = (dir_ / "scratch.log").string();
    LogLine("second", "\x06");
  }
  const std::string second = ReadFileBytes(dir_ / "scratch.log");
  const std::string before = ReadFileBytes(path);
  WriteFileBytes(path, before + second.substr(0, second.size() - 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(followed().size(), 1u) << "half a line is not printed";
  WriteFileBytes(path, before + second);
  EXPECT_EQ(waitFor(2).size(), 2u);

  WriteLog({"third, just before the renaming"});
  std::filesystem::rename(path, path + ".1");
  WriteLog({"fourth, in the new file"});
  const auto lines = waitFor(4);
  kill(std::stoi(ReadFileBytes(pidFile)), SIGTERM);
  ASSERT_EQ(lines.size(), 4u) << ReadFileBytes(out);
  EXPECT_EQ(AfterStamp(lines[0]), "first06 ");
  EXPECT_EQ(AfterStamp(lines[1]), "second06 ");
  EXPECT_EQ(AfterStamp(lines[2]), "third, just before the renaming06 ");
  EXPECT_EQ(AfterStamp(lines[3]), "fourth, in the new file06 ");
}

}  // namespace
