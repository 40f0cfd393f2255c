// mervfleet as a program: its scheduling, retries, stop and time limit
// against a stand-in module (a shell script that notes when it runs and writes
// the outcome its register's name asks for), and a whole run of the real
// module against registers played by mervsim --tcp-range, stopped with
// SIGTERM half-way.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/error_table.h"
#include "test_support.h"
#include "tools/mervfleet/child_process.h"
#include "tools/mervfleet/csv_fields.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Notes "start NAME NANOSECONDS FOLDER PROGRAMDIR ARGS" and "end NAME
// NANOSECONDS" in $FLEET_LOG; a register named "failNN-..." gets NN, others
// 0 and their /FILE= written; $FLEET_SLEEP seconds of work in between; one
// named "stop-..." asks mervfleet to stop, as SIGTERM does. Like the module,
// it holds the folder's mervmodul.lock from its start until error.dat is
// written, removing the earlier one first, and ends $FLEET_CLOSING seconds
// after (the module's closing steps).
constexpr const char* StandInModule = R"sh(#!/bin/sh
exec 9>"${MERV_PROGRAM_DIR}mervmodul.lock"
flock 9
rm -f "${MERV_PROGRAM_DIR}error.dat"
name=
for argument in "$@"; do case "$argument" in /FILE=*) name=${argument#/FILE=};; esac; done
echo "start $name $(date +%s%N) $PWD $MERV_PROGRAM_DIR $*" >> "$FLEET_LOG"
case "$name" in stop-*) kill -TERM "$PPID";; esac
sleep "${FLEET_SLEEP:-0.2}"
case "$name" in fail*) number=${name#fail}; number=${number%%-*};; *) number=0;; esac
[ "$number" = 0 ] && echo "rows of $name" > "${MERV_PROGRAM_DIR}$name"
printf '%2d\r\n3.02F\r\n' "$number" > "${MERV_PROGRAM_DIR}error.dat"
exec 9>&-
sleep "${FLEET_CLOSING:-0}"
echo "end $name $(date +%s%N)" >> "$FLEET_LOG"
)sh";

struct TResultRow {
  std::string name, line, error, meaning, attempts, seconds, files;
};

std::map<std::string, TResultRow> ResultRows(const fs::path& csv) {
  std::map<std::string, TResultRow> rows;
  const auto lines = LinesOf(ReadFileBytes(csv));
  EXPECT_FALSE(lines.empty());
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto f = SplitCsvLine(lines[i]);
    EXPECT_EQ(f.size(), 7u) << lines[i];
    if (f.size() == 7) rows[f[0]] = {f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
  }
  return rows;
}

struct TNote {
  bool start;
  std::string name;
  long long at;
  std::vector<std::string> rest;
};

std::vector<TNote> Notes(const fs::path& log) {
  std::vector<TNote> notes;
  for (const auto& line : LinesOf(ReadFileBytes(log))) {
    std::istringstream words(line);
    TNote note;
    std::string kind;
    words >> kind >> note.name >> note.at;
    note.start = kind == "start";
    for (std::string word; words >> word;) note.rest.push_back(word);
    notes.push_back(note);
  }
  std::sort(notes.begin(), notes.end(), [](const TNote& a, const TNote& b) { return a.at < b.at; });
  return notes;
}

class StandInFleet : public ::testing::Test {
protected:
  StandInFleet() {
    WriteFileBytes(dir_ / "module.sh", StandInModule);
    fs::permissions(dir_ / "module.sh", fs::perms::owner_all);
  }

  ProcessResult Run(const std::string& registers, const std::vector<std::string>& options,
                    const std::string& sleepSeconds = "0.2") {
    WriteFileBytes(dir_ / "registers.csv", "name,line,model\n" + registers);
    std::vector<std::string> arguments{"--registers", (dir_ / "registers.csv").string(),
                                       "--out",       (dir_ / "out").string(),
                                       "--module",    (dir_ / "module.sh").string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunProcess(MERVFLEET_EXE, arguments,
                      {{"FLEET_LOG", (dir_ / "module.log").string()}, {"FLEET_SLEEP", sleepSeconds}});
  }

  TempDir dir_;
};

TEST_F(StandInFleet, RunsAtMostNAtATimeNeverTwoOnOneLineEachInItsOwnFolder) {
  std::string registers;
  for (int i = 1; i <= 6; ++i)
    registers += "t" + std::to_string(i) + ",tcp:127.0.0.1:" + std::to_string(4000 + i) + ",465\n";
  registers += "c1,com:1,465\nc2,com:1:5,465\n";
  const auto result = Run(registers, {"--jobs", "3", "--", "R03", "/FILE={name}", "/TO=100"});
  ASSERT_EQ(result.exitStatus, 0) << result.standardError;

  int running = 0, most = 0;
  std::set<std::string> onComOne;
  for (const auto& note : Notes(dir_ / "module.log")) {
    running += note.start ? 1 : -1;
    most = std::max(most, running);
    if (note.name == "c1" || note.name == "c2") {
      if (note.start) {
        EXPECT_TRUE(onComOne.empty()) << "two registers at once on COM 1";
        onComOne.insert(note.name);
      } else {
        onComOne.erase(note.name);
      }
    }
    if (!note.start) continue;
    const fs::path folder = fs::absolute(dir_ / "out" / note.name);
    ASSERT_GE(note.rest.size(), 4u);
    EXPECT_EQ(note.rest[0], folder.string()) << "working folder";
    EXPECT_EQ(note.rest[1], (folder / "").string()) << "program folder";
    EXPECT_EQ(note.rest[2], "R03");
    EXPECT_EQ(note.rest[3], "/FILE=" + note.name);
  }
  EXPECT_EQ(most, 3);

  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  ASSERT_EQ(rows.size(), 8u);
  for (const auto& [name, row] : rows) {
    EXPECT_EQ(row.error, "0") << name;
    EXPECT_EQ(row.attempts, "1") << name;
    EXPECT_EQ(row.files, name) << name;
    EXPECT_EQ(ReadFileBytes(dir_ / "out" / name / name), "rows of " + name + "\n");
  }
  EXPECT_EQ(rows.at("c2").line, "com:1:5");
  const std::string json = ReadFileBytes(dir_ / "out" / "results.json");
  EXPECT_EQ(std::count(json.begin(), json.end(), '{'), 8);
}

TEST_F(StandInFleet, RetriesOnlyTheLineFailures) {
  std::string registers;
  const std::vector<std::pair<std::string, std::string>> expected = {
      // name, attempts with --retries 2
      {"fail4-a", "3"}, {"fail5-a", "3"},  {"fail9-a", "3"},  {"fail31-a", "3"}, {"fail33-a", "3"}, {"fail36-a", "3"},
      {"fail7-a", "1"}, {"fail10-a", "1"}, {"fail21-a", "1"}, {"fail37-a", "1"}, {"ok-a", "1"},
  };
  int port = 5000;
  for (const auto& [name, attempts] : expected) registers += name + ",tcp:h:" + std::to_string(++port) + ",465\n";
  const auto result =
      Run(registers, {"--jobs", "16", "--retries", "2", "--pause", "0", "--", "R03", "/FILE={name}"}, "0");
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  ASSERT_EQ(rows.size(), expected.size());
  for (const auto& [name, attempts] : expected) {
    EXPECT_EQ(rows.at(name).attempts, attempts) << name;
    const std::string number = name == "ok-a" ? "0" : name.substr(4, name.find('-') - 4);
    EXPECT_EQ(rows.at(name).error, number) << name;
  }
  EXPECT_EQ(rows.at("fail4-a").meaning, FindErrorEntry(4)->Meaning);
  EXPECT_EQ(rows.at("fail37-a").meaning, "a number the module does not write");
  EXPECT_EQ(rows.at("ok-a").meaning, "ok");
}

// The pause before another attempt is in seconds: the second attempt starts
// no earlier than a second after the first one ended.
TEST_F(StandInFleet, TheNextAttemptWaitsThePauseInSeconds) {
  const auto result =
      Run("fail4-a,tcp:h:1,465\n", {"--retries", "1", "--pause", "1", "--", "R03", "/FILE={name}"}, "0");
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto notes = Notes(dir_ / "module.log");
  ASSERT_EQ(notes.size(), 4u);
  ASSERT_FALSE(notes[1].start);
  ASSERT_TRUE(notes[2].start);
  EXPECT_GE(std::chrono::nanoseconds(notes[2].at - notes[1].at), 1s);
  EXPECT_EQ(ResultRows(dir_ / "out" / "results.csv").at("fail4-a").attempts, "2");
}

TEST_F(StandInFleet, ARegisterThatCannotStartGetsItsRowAndTheOthersRun) {
  WriteFileBytes(dir_ / "plain-file", "");
  WriteFileBytes(dir_ / "registers.csv", "name,line,model,folder\nlost,tcp:h:1,465," +
                                             (dir_ / "plain-file" / "sub").string() + "\nfine,tcp:h:2,465,\n");
  const auto result = RunProcess(MERVFLEET_EXE,
                                 {"--registers", (dir_ / "registers.csv").string(), "--out", (dir_ / "out").string(),
                                  "--module", (dir_ / "module.sh").string(), "--", "R03", "/FILE={name}"},
                                 {{"FLEET_LOG", (dir_ / "module.log").string()}, {"FLEET_SLEEP", "0"}});
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  EXPECT_EQ(rows.at("lost").error, "");
  EXPECT_EQ(rows.at("lost").attempts, "0");
  EXPECT_EQ(rows.at("lost").meaning.rfind("not started: ", 0), 0u) << rows.at("lost").meaning;
  EXPECT_EQ(rows.at("fine").error, "0");
}

TEST_F(StandInFleet, AnAttemptPastItsLimitIsStoppedAndHasNoOutcome) {
  const auto started = std::chrono::steady_clock::now();
  const auto result = Run("slow,tcp:h:1,465\n", {"--limit", "1", "--retries", "0", "--", "R03", "/FILE={name}"}, "20");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  EXPECT_EQ(rows.at("slow").error, "");
  EXPECT_EQ(rows.at("slow").meaning, "no outcome: the module ended with signal 15 after it was asked to stop");
}

TEST_F(StandInFleet, RefusesAWrongRegistersFileBeforeAnyRegisterRuns) {
  const std::pair<std::string, std::string> cases[] = {
      {"good,tcp:h:1,465\nbad,tcp:h:2,999\n", "registers.csv:3: model \"999\""},
      {"twin,tcp:h:1,465\nother,tcp:h:2,465\ntwin,tcp:h:3,465\n",
       "registers.csv:4: register name \"twin\" on lines 2 and 4"},
  };
  for (const auto& [registers, message] : cases) {
    const auto result = Run(registers, {"--", "R03"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
    EXPECT_FALSE(fs::exists(dir_ / "module.log"));
  }
  EXPECT_EQ(RunProcess(MERVFLEET_EXE, {"--registers", (dir_ / "registers.csv").string(), "--module",
                                       (dir_ / "none").string(), "--", "R03"})
                .exitStatus,
            2);
}

// A file of 10,000 registers: checked whole, then read as the run goes; after
// the stop the rest of it is read for the rows of the registers not started.
TEST_F(StandInFleet, AStopLetsTheRegistersUnderWayFinishAndWritesARowForEveryRegister) {
  constexpr std::size_t Registers = 10000;
  std::string registers;
  for (std::size_t i = 1; i <= Registers; ++i)
    registers += "r" + std::to_string(i) + ",tcp:h:" + std::to_string(i % 60000 + 1) + ",465\n";
  WriteFileBytes(dir_ / "registers.csv", "name,line,model\n" + registers);
  TChildStart start;
  start.Program = MERVFLEET_EXE;
  start.Arguments = {"--registers", (dir_ / "registers.csv").string(),
                     "--out",       (dir_ / "out").string(),
                     "--jobs",      "2",
                     "--module",    (dir_ / "module.sh").string(),
                     "--",          "R03",
                     "/FILE={name}"};
  start.Environment = {{"FLEET_LOG", (dir_ / "module.log").string()}, {"FLEET_SLEEP", "1"}};
  PrepareChildProcesses();
  TChildProcess fleet(start);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!fs::exists(dir_ / "module.log") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(300ms);
  fleet.RequestStop();
  std::optional<TChildEnd> ending;
  while (!(ending = fleet.Poll()) && std::chrono::steady_clock::now() < deadline) AwaitChildEvent(50ms);
  ASSERT_TRUE(ending) << "mervfleet did not end after SIGTERM";
  EXPECT_EQ(ending->ExitStatus, 1);

  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  ASSERT_EQ(rows.size(), Registers);
  std::set<std::string> started, ended;
  for (const auto& note : Notes(dir_ / "module.log")) (note.start ? started : ended).insert(note.name);
  EXPECT_EQ(started, ended) << "a module was cut off or outlived mervfleet";
  EXPECT_EQ(started.size(), 2u);
  for (const auto& [name, row] : rows) {
    if (started.count(name) > 0) {
      EXPECT_EQ(row.error, "0") << name;
    } else {
      EXPECT_EQ(row.error, "") << name;
      EXPECT_EQ(row.attempts, "0") << name;
      EXPECT_EQ(row.meaning, "not started: the run was stopped") << name;
    }
  }
}

// Two runs whose registers share one line folder: the module's lock of the
// folder ends with its process, so each run holds the folder's turn lock
// until it has read the outcome, and every row has its own register's number.
TEST_F(StandInFleet, RunsSharingALineFolderEachReadTheirOwnOutcome) {
  const std::map<std::string, std::string> numbers = {{"a", "0"}, {"fail7-b", "7"}};
  std::vector<std::unique_ptr<TChildProcess>> fleets;
  PrepareChildProcesses();
  for (const auto& [prefix, number] : numbers) {
    std::string registers = "name,line,model,folder\n";
    for (int i = 1; i <= 10; ++i)
      registers +=
          prefix + std::to_string(i) + ",tcp:h:" + std::to_string(i) + ",465," + (dir_ / "shared").string() + "\n";
    WriteFileBytes(dir_ / (prefix + ".csv"), registers);
    TChildStart start;
    start.Program = MERVFLEET_EXE;
    start.Arguments = {"--registers", (dir_ / (prefix + ".csv")).string(),
                       "--out",       (dir_ / ("out-" + prefix)).string(),
                       "--module",    (dir_ / "module.sh").string(),
                       "--retries",   "0",
                       "--",          "R03",
                       "/FILE={name}"};
    start.Environment = {{"FLEET_LOG", (dir_ / "module.log").string()},
                         {"FLEET_SLEEP", "0.05"},
                         {"FLEET_CLOSING", "0.05"}};
    fleets.push_back(std::make_unique<TChildProcess>(start));
  }
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (auto& fleet : fleets) {
    while (!fleet->Poll() && std::chrono::steady_clock::now() < deadline) AwaitChildEvent(50ms);
  }
  for (const auto& [prefix, number] : numbers) {
    const auto rows = ResultRows(dir_ / ("out-" + prefix) / "results.csv");
    ASSERT_EQ(rows.size(), 10u) << prefix;
    for (const auto& [name, row] : rows) EXPECT_EQ(row.error, number) << name << ": " << row.meaning;
  }
}

// The registers a stop kept from starting get their rows, but no series in
// the metrics: they did not run, so they did not fail.
TEST_F(StandInFleet, AStopLeavesTheRegistersNeverStartedOutOfTheMetrics) {
  const auto metrics = dir_ / "merv.prom";
  const auto result = Run("stop-a,tcp:h:1,465\nnever-b,tcp:h:2,465\nnever-c,tcp:h:3,465\n",
                          {"--jobs", "1", "--metrics", metrics.string(), "--", "R03", "/FILE={name}"}, "0");
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto rows = ResultRows(dir_ / "out" / "results.csv");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.at("stop-a").error, "0");
  EXPECT_EQ(rows.at("never-c").meaning, "not started: the run was stopped");
  const std::string text = ReadFileBytes(metrics);
  EXPECT_NE(text.find("merv_last_outcome{register=\"stop-a\",activity=\"R03\"} 0"), std::string::npos) << text;
  EXPECT_EQ(text.find("never-"), std::string::npos) << text;
}

// ---------------------------------------------------------------- real module

// A loopback port nobody listens on: a connection to it is refused.
int RefusedPort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);  // never listened on
  return ntohs(address.sin_port);
}

// mervsim --tcp-range on free ports, tried from a random start.
class RegisterRange {
public:
  RegisterRange(int count, const std::vector<std::string>& options) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 10 && first_ == 0; ++attempt) {
      // Below the ephemeral ports (32768 on) that outgoing connections take.
      const int first = 10000 + static_cast<int>(random() % 20000);
      std::vector<std::string> arguments{"--tcp-range", std::to_string(first) + ":" + std::to_string(count)};
      arguments.insert(arguments.end(), options.begin(), options.end());
      auto process = std::make_unique<BackgroundProcess>(MERVSIM_EXE, arguments);
      if (process->FirstLine().find("listening on tcp 127.0.0.1:" + std::to_string(first) + "-") == std::string::npos) {
        continue;
      }
      process_ = std::move(process);
      first_ = first;
    }
    if (first_ == 0) throw std::runtime_error("mervsim --tcp-range did not start");
  }
  int Port(int index) const { return first_ + index; }

private:
  std::unique_ptr<BackgroundProcess> process_;
  int first_ = 0;
};

// The module processes whose working folder lies in `folder`.
std::vector<std::string> ModulesIn(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::error_code error;
    const auto cwd = fs::read_symlink(entry.path() / "cwd", error);
    if (error || cwd.string().rfind(folder.string(), 0) != 0) continue;
    const auto exe = fs::read_symlink(entry.path() / "exe", error);
    if (!error && exe.filename() == "mervmodul") found.push_back(entry.path().filename().string());
  }
  return found;
}

TEST(MervsimRange, WrongUsageEndsWithStatusTwoAndSaysWhy) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--tcp-range", "4001"}, "is not FIRST:COUNT"},
      {{"--tcp-range", "0:2"}, "--tcp-range"},
      {{"--tcp-range", "65535:2"}, "--tcp-range"},
      {{"--tcp-range", "4001:2", "--tcp", "0"}, "without --tcp and --pty"},
      {{"--tcp-range", "4001:2", "--once"}, "--once goes with one register"},
      {{"--tcp-range", "4001:2", "--faulty", "3"}, "more registers than the range has"},
      {{"--tcp", "0", "--faulty", "1"}, "--faulty needs --tcp-range"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto result = RunProcess(MERVSIM_EXE, arguments);
    EXPECT_EQ(result.exitStatus, 2) << message;
    EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
  }
  const auto help = RunProcess(MERVSIM_EXE, {"--help"}).standardOutput;
  EXPECT_NE(help.find("--tcp-range FIRST:COUNT"), std::string::npos);
  EXPECT_NE(help.find("--faulty N"), std::string::npos);
}

// A table written to one register of a range stays in that register.
TEST(MervsimRange, EachRegisterKeepsTablesOfItsOwn) {
  RegisterRange range(2, {"--plu-count", "12"});
  TempDir dir;
  const auto run = [&](const std::string& activity, int index) {
    RunProcess(MERVMODUL_EXE,
               {activity, "/IPADDR=127.0.0.1", "/IPPORT=" + std::to_string(range.Port(index)), "/ECR=465",
                "/FILE=plu.txt"},
               {{"MERV_PROGRAM_DIR", dir.path().string()}, {"XDG_CONFIG_HOME", (dir / "config").string()}});
    return ReadFileBytes(dir / "error.dat").substr(0, 2);
  };
  ASSERT_EQ(run("R03", 0), " 0");
  auto rows = LinesOf(ReadFileBytes(dir / "plu.txt"));
  ASSERT_EQ(rows.size(), 12u);
  rows.resize(3);
  std::string three;
  for (const auto& row : rows) three += row + "\r\n";
  WriteFileBytes(dir / "plu.txt", three);
  ASSERT_EQ(run("W03", 0), " 0");
  ASSERT_EQ(run("R03", 0), " 0");
  EXPECT_EQ(LinesOf(ReadFileBytes(dir / "plu.txt")).size(), 3u);
  ASSERT_EQ(run("R03", 1), " 0");
  EXPECT_EQ(LinesOf(ReadFileBytes(dir / "plu.txt")).size(), 12u);
}

TEST(RealModuleFleet, ReadsEveryRegisterAndNamesEachFailure) {
  constexpr int PluCount = 40;
  RegisterRange range(4, {"--plu-count", std::to_string(PluCount), "--faulty", "1", "--silent-after", "0"});
  TempDir dir;
  std::string registers = "name,line,model\n";
  for (int i = 0; i < 3; ++i)
    registers += "good" + std::to_string(i) + ",tcp:127.0.0.1:" + std::to_string(range.Port(i)) + ",465\n";
  registers += "silent,tcp:127.0.0.1:" + std::to_string(range.Port(3)) + ",465\n";
  registers += "refused,tcp:127.0.0.1:" + std::to_string(RefusedPort()) + ",465\n";
  WriteFileBytes(dir / "registers.csv", registers);
  const auto result =
      RunProcess(MERVFLEET_EXE,
                 {"--registers", (dir / "registers.csv").string(), "--out", (dir / "out").string(), "--module",
                  MERVMODUL_EXE, "--retries", "1", "--pause", "1", "--", "R03", "/FILE={name}.txt", "/TO=300"},
                 {{"XDG_CONFIG_HOME", (dir / "config").string()}});
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto rows = ResultRows(dir / "out" / "results.csv");
  ASSERT_EQ(rows.size(), 5u);
  for (int i = 0; i < 3; ++i) {
    const std::string name = "good" + std::to_string(i);
    EXPECT_EQ(rows.at(name).error, "0") << name;
    EXPECT_EQ(rows.at(name).files, name + ".txt");
    EXPECT_EQ(LinesOf(ReadFileBytes(dir / "out" / name / (name + ".txt"))).size(), static_cast<std::size_t>(PluCount));
  }
  EXPECT_EQ(ReadFileBytes(dir / "out/good0/good0.txt"), ReadFileBytes(dir / "out/good2/good2.txt"));
  // A register that never answers: the module ends with 05 after its time-out.
  EXPECT_EQ(rows.at("silent").error, "5");
  EXPECT_EQ(rows.at("silent").attempts, "2");
  EXPECT_EQ(rows.at("refused").error, "9");
  EXPECT_EQ(rows.at("refused").attempts, "2");
  // The module writes the table file even when it could read nothing; the
  // second attempt, a second later, leaves it as it was and still names it.
  EXPECT_EQ(rows.at("refused").files, "refused.txt");
  EXPECT_EQ(ReadFileBytes(dir / "out/refused/refused.txt"), "");
}

// mervfleet with --copy-module running `activity` on register "r" of the
// one register of `range`, its folders in `dir`.
ProcessResult RunCopyingTheModule(const RegisterRange& range, const TempDir& dir, const std::string& activity) {
  WriteFileBytes(dir / "registers.csv", "name,line,model\nr,tcp:127.0.0.1:" + std::to_string(range.Port(0)) + ",465\n");
  return RunProcess(MERVFLEET_EXE,
                    {"--registers", (dir / "registers.csv").string(), "--out", (dir / "out").string(), "--module",
                     MERVMODUL_EXE, "--copy-module", "--", activity, "/FILE={name}.txt"},
                    {{"XDG_CONFIG_HOME", (dir / "config").string()}});
}

TEST(RealModuleFleet, CopiesTheModuleIntoTheLineFolderWhenAsked) {
  RegisterRange range(1, {"--plu-count", "5"});
  TempDir dir;
  const auto result = RunCopyingTheModule(range, dir, "R03");
  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(ReadFileBytes(dir / "out/r/mervmodul"), ReadFileBytes(MERVMODUL_EXE));
  EXPECT_EQ(ResultRows(dir / "out" / "results.csv").at("r").files, "r.txt");
  EXPECT_EQ(LinesOf(ReadFileBytes(dir / "out/r/r.txt")).size(), 5u);
}

// A link planted where the copy goes (to a file of the module's size, so
// that it would pass for the copy) is replaced by a copy, never written
// through or run.
TEST(RealModuleFleet, ALinkWhereTheCopyGoesIsReplacedNotWrittenThrough) {
  RegisterRange range(1, {"--plu-count", "5"});
  TempDir dir;
  std::filesystem::create_directories(dir / "out/r");
  const std::string planted(std::filesystem::file_size(MERVMODUL_EXE), 'x');
  WriteFileBytes(dir / "victim", planted);
  std::filesystem::create_symlink(dir / "victim", dir / "out/r/mervmodul");
  const auto result = RunCopyingTheModule(range, dir, "STS");
  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  EXPECT_EQ(ReadFileBytes(dir / "victim"), planted);
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "out/r/mervmodul"));
  EXPECT_EQ(ReadFileBytes(dir / "out/r/mervmodul"), ReadFileBytes(MERVMODUL_EXE));
}

// A register on a dial-up line: dialled, read and hung up by the module's
// resident mode in its line folder; a busy line is the dial's number.
TEST(RealModuleFleet, DialsARegisterOnAModemLine) {
  TempDir dir;
  const auto link = [&](const char* name) { return (dir / name).string(); };
  BackgroundProcess answering(MERVSIM_EXE, {"--pty", "--link", link("com1"), "--modem", "connect", "--modem-s12", "5",
                                            "--plu-count", "7"});
  BackgroundProcess busy(MERVSIM_EXE, {"--pty", "--link", link("com2"), "--modem", "busy", "--modem-s12", "5"});
  ASSERT_NE(answering.FirstLine().find("listening on pty"), std::string::npos);
  ASSERT_NE(busy.FirstLine().find("listening on pty"), std::string::npos);
  WriteFileBytes(dir / "registers.csv", "name,line,model\ndialled,modem:1:5551234,465\nbusy,modem:2:5550000,465\n");
  const auto result = RunProcess(MERVFLEET_EXE,
                                 {"--registers", (dir / "registers.csv").string(), "--out", (dir / "out").string(),
                                  "--module", MERVMODUL_EXE, "--retries", "0", "--", "R03", "/FILE={name}.txt"},
                                 {{"XDG_CONFIG_HOME", (dir / "config").string()},
                                  {"MERV_COM1", link("com1")},
                                  {"MERV_COM2", link("com2")},
                                  {"MERV_DOSMODE_POLL_MS", "50"}});
  EXPECT_EQ(result.exitStatus, 1) << result.standardError;
  const auto rows = ResultRows(dir / "out" / "results.csv");
  EXPECT_EQ(rows.at("dialled").error, "0") << rows.at("dialled").meaning;
  EXPECT_EQ(rows.at("dialled").files, "dialled.txt");
  EXPECT_EQ(LinesOf(ReadFileBytes(dir / "out/dialled/dialled.txt")).size(), 7u);
  EXPECT_EQ(rows.at("busy").error, "34");
  EXPECT_EQ(rows.at("busy").attempts, "1");
  EXPECT_FALSE(fs::exists(dir / "out/dialled/mervfleet-call.txt"));
}

TEST(RealModuleFleet, SigtermHalfWayLeavesNoRegisterWithoutARowAndNoModuleRunning) {
  RegisterRange range(6, {"--plu-count", "30", "--line-speed", "9600"});
  TempDir dir;
  std::string registers = "name,line,model\n";
  for (int i = 0; i < 6; ++i)
    registers += "r" + std::to_string(i) + ",tcp:127.0.0.1:" + std::to_string(range.Port(i)) + ",465\n";
  WriteFileBytes(dir / "registers.csv", registers);
  TChildStart start;
  start.Program = MERVFLEET_EXE;
  start.Arguments = {"--registers",
                     (dir / "registers.csv").string(),
                     "--out",
                     (dir / "out").string(),
                     "--jobs",
                     "2",
                     "--module",
                     MERVMODUL_EXE,
                     "--",
                     "R03",
                     "/FILE={name}.txt"};
  start.Environment = {{"XDG_CONFIG_HOME", (dir / "config").string()}};
  PrepareChildProcesses();
  TChildProcess fleet(start);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (ModulesIn(dir.path()).size() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(ModulesIn(dir.path()).size(), 2u) << "two registers under way";
  fleet.RequestStop();
  std::optional<TChildEnd> ending;
  while (!(ending = fleet.Poll()) && std::chrono::steady_clock::now() < deadline) AwaitChildEvent(50ms);
  ASSERT_TRUE(ending) << "mervfleet did not end after SIGTERM";
  EXPECT_EQ(ending->ExitStatus, 1);
  EXPECT_TRUE(ModulesIn(dir.path()).empty()) << "a module outlived mervfleet";

  const auto rows = ResultRows(dir / "out" / "results.csv");
  ASSERT_EQ(rows.size(), 6u);
  int finished = 0;
  for (const auto& [name, row] : rows) {
    const bool started = fs::exists(dir / "out" / name);
    EXPECT_EQ(row.attempts, started ? "1" : "0") << name;
    if (!started) {
      EXPECT_EQ(row.meaning, "not started: the run was stopped") << name;
      continue;
    }
    // A register under way finished its command: its outcome and its whole file.
    ++finished;
    EXPECT_EQ(row.error, "0") << name;
    EXPECT_EQ(LinesOf(ReadFileBytes(dir / "out" / name / (name + ".txt"))).size(), 30u) << name;
  }
  EXPECT_GE(finished, 2);
  EXPECT_LT(finished, 6);
}

}  // namespace
