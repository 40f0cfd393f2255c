// Commands recorded in the module's enciphered log against the register
// emulator, then replayed by "mervsim --replay" to the same module: the
// same "error.dat" and the same files. A frame sent differently is reported
// at its number and the line of the log that holds it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/emulated_register.h"
#include "base/ciphered_log_line.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "test_support.h"
#include "tools/mervsim/replay/replay_player.h"
#include "tools/mervsim/replay/replay_script.h"

#if defined(MERVSIM_EXE) && defined(MERVMODUL_EXE)

namespace {

struct RecordedCommand {
  const char* name;
  std::vector<std::string> registerOptions;
  std::string activity;
  std::vector<std::string> parameters;
  /// The files the command writes, compared after the replay.
  std::vector<std::string> files;
  std::string outcome;
};

class ReplayedCommand : public EmulatedRegisterTest {
protected:
  void SetUp() override {
    EmulatedRegisterTest::SetUp();
    std::filesystem::create_directories(folder_ / "Kelmora");
    WriteFileBytes(folder_ / "Kelmora" / "VOR-Manager.ini", "[Ver2]\nLogSouborSifra=1\n");
  }

  /// Runs the command against the emulator; its log becomes NAME.log and
  /// each file it wrote NAME-recorded-FILE.
  std::string Record(const RecordedCommand& command) {
    std::filesystem::remove(folder_ / "KL.log");
    StartRegister(command.registerOptions);
    const std::string outcome = Run(command.activity, command.parameters);
    register_.reset();
    std::filesystem::rename(folder_ / "KL.log", folder_ / (std::string(command.name) + ".log"));
    for (const auto& file : command.files) {
      if (std::filesystem::exists(folder_ / file)) {
        std::filesystem::rename(folder_ / file, folder_ / (std::string(command.name) + "-recorded-" + file));
      }
    }
    return outcome;
  }

  /// Runs the command against the replay of its log; the replay's exit
  /// status once stopped (3 when a frame differed).
  int Replay(const RecordedCommand& command, std::string& outcome) {
    const std::string log = (folder_ / (std::string(command.name) + ".log")).string();
    BackgroundProcess replay(MERVSIM_EXE, {"--tcp", "0", "--replay", log, "--log",
                                           (folder_ / (std::string(command.name) + "-wire.log")).string()});
    const auto colon = replay.FirstLine().rfind(':');
    if (colon == std::string::npos) return -1;
    replayPort_ = std::stoi(replay.FirstLine().substr(colon + 1));
    outcome = RunAtReplay(command.activity, command.parameters);
    return replay.Stop();
  }

  std::string RunAtReplay(const std::string& activity, std::vector<std::string> parameters) {
    std::vector<std::string> arguments{activity, "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(replayPort_),
                                       "/ECR=465", "/TO=2000"};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    const auto result =
        RunProcess(folder_ / "mervmodul", arguments, {{"XDG_CONFIG_HOME", folder_.path().string()}}, folder_.path());
    EXPECT_EQ(result.exitStatus, 0);
    const auto outcome = TextLines(ReadFileBytes(folder_ / "error.dat"));
    return outcome.empty() ? std::string() : outcome[0];
  }

  int replayPort_ = 0;
};

TEST_F(ReplayedCommand, GivesTheSameOutcomeAndFilesAsTheRecording) {
  const RecordedCommand commands[] = {
      {"read", {}, "R03", {"/FILE=plu.txt"}, {"plu.txt"}, " 0"},
      {"write", {}, "W03", {"/FILE=read-recorded-plu.txt"}, {}, " 0"},
      {"journal", {}, "SAVEZUR", {"/ZURNAL=day.zur", "/FILE=day.txt"}, {"day.zur", "day.txt"}, " 0"},
      {"dropped", {"--drop-after", "10"}, "R03", {"/FILE=part.txt"}, {"part.txt"}, " 5"},
  };
  for (const RecordedCommand& command : commands) {
    SCOPED_TRACE(command.name);
    ASSERT_EQ(Record(command), command.outcome);
    std::string outcome;
    EXPECT_EQ(Replay(command, outcome), 0) << File(std::string(command.name) + "-wire.log");
    EXPECT_EQ(outcome, command.outcome);
    for (const auto& file : command.files) {
      EXPECT_EQ(File(file), File(std::string(command.name) + "-recorded-" + file)) << file;
      EXPECT_FALSE(File(file).empty()) << file;
    }
  }
  // The dropped line was replayed as a closed connection, not as a silence.
  EXPECT_NE(File("dropped-wire.log").find("the register closed the line here"), std::string::npos)
      << File("dropped-wire.log");
}

// The same over a COM line: the emulator, then the replay, on a pseudo-terminal.
TEST_F(ReplayedCommand, ReplaysOnAPseudoTerminalToo) {
  const std::string link = (folder_ / "com1").string();
  const auto runOnComLine = [&](const std::vector<std::string>& simulator) {
    BackgroundProcess line(MERVSIM_EXE, simulator);
    EXPECT_TRUE(line.FirstLine().starts_with("mervsim listening on pty")) << line.FirstLine();
    const auto result =
        RunProcess(folder_ / "mervmodul", {"R03", "/COM=1", "/BR=2", "/ECR=465", "/TO=2000", "/FILE=plu.txt"},
                   {{"XDG_CONFIG_HOME", folder_.path().string()}, {"MERV_COM1", link}}, folder_.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(TextLines(File("error.dat")).at(0), " 0");
    return line.Stop();
  };
  EXPECT_EQ(runOnComLine({"--pty", "--link", link, "--plu-count", "5"}), 0);
  std::filesystem::rename(folder_ / "KL.log", folder_ / "com.log");
  std::filesystem::rename(folder_ / "plu.txt", folder_ / "recorded.txt");
  EXPECT_EQ(runOnComLine({"--pty", "--link", link, "--replay", (folder_ / "com.log").string()}), 0);
  EXPECT_EQ(File("plu.txt"), File("recorded.txt"));
  EXPECT_EQ(LinesOf(File("plu.txt")).size(), 5u);
}

// The recorded frames sent again with one byte changed, as a module that
// sends that byte differently would: the player names that frame and the
// log line that holds the frame the module sent when the log was made.
TEST_F(ReplayedCommand, AFrameSentWithOneByteChangedIsReportedAtItsFrameAndLogLine) {
  const RecordedCommand write{"write", {}, "W03", {"/FILE=plu.txt"}, {}, " 0"};
  StartRegister();
  ASSERT_EQ(Run("R03", {"/FILE=plu.txt"}), " 0");
  std::filesystem::remove(folder_ / "KL.log");
  ASSERT_EQ(Record(write), " 0");
  const std::string log = (folder_ / "write.log").string();
  const TReplayScript script = TReplayScript::FromFile(log);
  std::vector<std::string> logLines;
  TTextCipher cipher(TextCipherKey);
  for (const auto& line : TextLines(File("write.log"))) logLines.push_back(DecipherLogLine(line, cipher));

  for (const std::size_t changedFrame : {std::size_t{1}, std::size_t{4}, std::size_t{25}}) {
    SCOPED_TRACE(changedFrame);
    TWireLog wireLog("");
    std::ostringstream report;
    TReplayPlayer player(script, wireLog, report);
    player.StartConnection();
    std::size_t frame = 0;
    std::size_t changedLine = 0;
    std::string sent;
    for (const TReplayStep& step : script.Steps()) {
      if (step.What != TReplayStep::Kind::ModuleSent || ++frame > changedFrame) continue;
      std::string bytes = step.Bytes;
      if (frame == changedFrame) {
        bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x20);
        changedLine = step.LogLine;
        sent = bytes;
      }
      player.Receive(bytes);
    }
    ASSERT_GT(changedLine, 0u);
    EXPECT_EQ(player.FramesMatched(), changedFrame - 1);
    EXPECT_EQ(player.Differences(), 1u);
    EXPECT_NE(report.str().find("frame " + std::to_string(changedFrame) + " differs from log line " +
                                std::to_string(changedLine) + "\n"),
              std::string::npos)
        << report.str();
    EXPECT_NE(report.str().find("  module: " + TWireLog::Hex(sent) + "\n"), std::string::npos) << report.str();
    // That line of the log is the module's write of the frame as recorded.
    const std::string& recorded = logLines.at(changedLine - 1);
    EXPECT_NE(recorded.find("write: "), std::string::npos) << recorded;
    EXPECT_NE(report.str().find("  log:    " +
                                TWireLog::Hex(BytesOfHexDump(recorded.substr(recorded.find("write: ") + 7)))),
              std::string::npos)
        << report.str();
  }
}

}  // namespace

#endif
