// What an integrator meets first, run on the built programs: the options of
// the first argument (help, version, explain, models, ports), the error
// documents against the error table, the log kept within LogMaxMB and the
// outcome as JSON.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "app/activity_table.h"
#include "app/command_help.h"
#include "app/command_line.h"
#include "app/error_explanation.h"
#include "base/ciphered_log_line.h"
#include "base/error_table.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"
#include "model/model_list.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const fs::path SourceDir = MERV_SOURCE_DIR;

class IntegratorOptions : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(config_ / "Kelmora");
    fs::copy_file(MERVMODUL_EXE, exe_);
  }

  ProcessResult Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment = {}) {
    environment["XDG_CONFIG_HOME"] = config_.path().string();
    return RunProcess(exe_, arguments, environment, work_.path());
  }

  void WriteSettings(const std::string& text) { WriteFileBytes(config_ / "Kelmora" / "VOR-Manager.ini", text); }

  TempDir folder_;
  TempDir work_;
  TempDir config_;
  fs::path exe_ = folder_ / "mervmodul";
};

// The part of a document from `start` up to the next `end` (or its end).
std::string Section(const std::string& text, const std::string& start, const std::string& end) {
  const auto from = text.find(start);
  if (from == std::string::npos) return {};
  const auto to = text.find(end, from + start.size());
  return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// The values of base/error_numbers.h: every number a failure can carry.
std::vector<int> DeclaredErrorNumbers() {
  const std::string header = ReadFileBytes(SourceDir / "base" / "error_numbers.h");
  const std::regex value(R"(=\s*(\d+),)");
  std::vector<int> numbers;
  for (std::sregex_iterator it(header.begin(), header.end(), value), end; it != end; ++it) {
    numbers.push_back(std::stoi((*it)[1]));
  }
  return numbers;
}

TEST_F(IntegratorOptions, EveryErrorNumberIsExplainedEverywhere) {
  const auto numbers = DeclaredErrorNumbers();
  ASSERT_GT(numbers.size(), 50u);
  for (const int number : numbers) EXPECT_NE(FindErrorEntry(number), nullptr) << number << " has no row";
  for (const TErrorEntry& row : ErrorTable()) {
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), row.Number), numbers.end()) << row.Number << " is no number";
  }

  // The documents are made from the table; a difference leaves the expected
  // text in the build folder to be copied over the document.
  const std::string document = ReadFileBytes(SourceDir / "docs" / "errors.md");
  if (document != ErrorDocument()) WriteFileBytes("errors.md.expected", ErrorDocument());
  EXPECT_EQ(document, ErrorDocument()) << "docs/errors.md differs from the error table: see errors.md.expected";
  const std::string manPage = ReadFileBytes(SourceDir / "man" / "mervmodul.1");
  const std::string section = Section(manPage, ".SH ERRORS\n", "\n.SH ");
  if (section + "\n" != ErrorManSection()) WriteFileBytes("mervmodul.1.errors.expected", ErrorManSection());
  EXPECT_EQ(section + "\n", ErrorManSection()) << "man/mervmodul.1 ERRORS differs: see mervmodul.1.errors.expected";

  for (const TErrorEntry& row : ErrorTable()) {
    const std::string number = std::to_string(row.Number);
    EXPECT_NE(document.find("| " + number + " | "), std::string::npos) << number;
    const auto explained = Run({"--explain", number});
    EXPECT_EQ(explained.exitStatus, 0) << number;
    EXPECT_EQ(explained.standardOutput, ExplanationText(row.Number)) << number;
    EXPECT_TRUE(explained.standardOutput.starts_with("Error " + number + ": ")) << number;
  }
  EXPECT_FALSE(fs::exists(folder_ / "error.dat"));
}

TEST_F(IntegratorOptions, ExplainWithoutANumberReadsTheOutcomeBesideTheProgram) {
  const auto none = Run({"--explain"});
  EXPECT_EQ(none.exitStatus, 1);
  EXPECT_NE(none.standardError.find("error.dat"), std::string::npos);

  EXPECT_EQ(Run({"R03", "/COM=1"}).exitStatus, 0);  // no speed: error 3
  const auto explained = Run({"--explain"});
  EXPECT_EQ(explained.exitStatus, 0);
  EXPECT_NE(explained.standardOutput.find(ExplanationText(3)), std::string::npos) << explained.standardOutput;
  EXPECT_EQ(ReadFileBytes(folder_ / "error.dat"), " 3\r\n3.02F\r\n") << "explaining leaves the outcome alone";

  const struct {
    std::vector<std::string> arguments;
    const char* said;
  } wrong[] = {{{"--explain", "abc"}, "not 'abc'"},       {{"--explain", "15"}, "not one this program writes"},
               {{"--explain", "1", "2"}, "at most one"},  {{"--explain=abc"}, "not 'abc'"},
               {{"--explain=1", "2"}, "at most one"},     {{"--version=2"}, "--version takes no value"},
               {{"--bogus"}, "unknown option '--bogus'"}, {{"-x", "/COM=1"}, "unknown option '-x'"}};
  for (const auto& [arguments, said] : wrong) {
    const auto run = Run(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments[0];
    EXPECT_EQ(run.standardOutput, "") << arguments[0];
    EXPECT_NE(run.standardError.find(said), std::string::npos) << run.standardError;
  }
}

TEST_F(IntegratorOptions, HelpListsEveryActivityParameterSpeedAndModel) {
  const auto help = Run({"--help"});
  ASSERT_EQ(help.exitStatus, 0);
  const std::string& text = help.standardOutput;
  EXPECT_EQ(help.standardError, "");
  for (const TActivity& row : Activities()) {
    EXPECT_NE(text.find("  " + ActivityForm(row.Word) + " "), std::string::npos) << row.Word;
    EXPECT_FALSE(ActivityDescription(row.Word).empty()) << row.Word << " has no description";
  }
  for (const char* word : {"Rnn", "Wnn", "Ann", "Nhh", "V03", "PCSR[.from.count]", "DOSMODE"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }
  for (const TCommandParameter& row : ParameterTable()) {
    EXPECT_NE(text.find("  /" + std::string(row.Key)), std::string::npos) << row.Key;
    EXPECT_FALSE(row.Meaning.empty()) << row.Key;
  }
  for (const TBaudRateCode& code : BaudRateCodes()) {
    EXPECT_NE(text.find(std::to_string(code.Code) + "=" + std::to_string(code.BitsPerSecond)), std::string::npos);
  }
  for (const TModel& model : Models) {
    if (model.Code.empty()) continue;
    EXPECT_NE(text.find("  " + std::string(model.Code) + " "), std::string::npos) << model.Name;
  }
  EXPECT_NE(text.find("/TO=ms"), std::string::npos);
  EXPECT_NE(text.find("milliseconds"), std::string::npos);
  EXPECT_NE(text.find("(default 4000)"), std::string::npos);
}

TEST_F(IntegratorOptions, InformationOptionsComeFirstAndWriteNoOutcome) {
  const struct {
    std::vector<std::string> arguments;
    const char* start;
  } cases[] = {{{"-h"}, "Usage: mervmodul"},
               {{"--help"}, "Usage: mervmodul"},
               {{"--help", "/COM=1", "/BR=2"}, "Usage: mervmodul"},
               {{"-h", "R03"}, "Usage: mervmodul"},
               {{"--version"}, "mervmodul " MERV_VERSION_TEXT "\n"},
               {{"--version", "R03"}, "mervmodul " MERV_VERSION_TEXT "\n"},
               {{"--list-models"}, "ECR 39T /ECR=39\n"}};
  for (const auto& [arguments, start] : cases) {
    const auto run = Run(arguments);
    EXPECT_EQ(run.exitStatus, 0) << arguments[0];
    EXPECT_TRUE(run.standardOutput.starts_with(start)) << run.standardOutput.substr(0, 200);
    EXPECT_FALSE(fs::exists(folder_ / "error.dat")) << arguments[0];
  }
  // A command that merely mentions an option stays a command.
  EXPECT_EQ(Run({"R03", "--help"}).exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "error.dat"), " 2\r\n3.02F\r\n");
}

TEST_F(IntegratorOptions, ModelListGivesCodesAndTables) {
  const auto run = Run({"--list-models"});
  ASSERT_EQ(run.exitStatus, 0);
  const std::string& text = run.standardOutput;
  const std::string ecr465 = Section(text, "ECR 465T/465TF /ECR=465\n", "\nECR ");
  ASSERT_FALSE(ecr465.empty()) << text.substr(0, 400);
  EXPECT_TRUE(std::regex_search(ecr465, std::regex("\n    03 \\S"))) << ecr465;
  EXPECT_TRUE(std::regex_search(ecr465, std::regex("\n    70 \\S"))) << ecr465;
  EXPECT_NE(text.find("CM-840/842 (no /ECR= code"), std::string::npos);
}

TEST_F(IntegratorOptions, PortsListsConfiguredTerminalsAndStableLinks) {
  TempDir root;
  fs::create_directories(root / "dev/serial/by-id");
  for (const char* name : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM3", "tty0"}) WriteFileBytes(root / "dev" / name, "");
  fs::create_directories(root / "sys/class/tty/ttyS0");
  fs::create_directories(root / "sys/class/tty/ttyS1");
  WriteFileBytes(root / "sys/class/tty/ttyS0/type", "4\n");  // a 16550A
  WriteFileBytes(root / "sys/class/tty/ttyS1/type", "0\n");  // no port behind the node
  const fs::path byId = root / "dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0";
  fs::create_symlink("../../ttyUSB0", byId);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string pty = ptsname(master);
  WriteSettings("[Ports]\nCOM3=" + byId.string() + "\nCOM7=" + pty + "\nCOM8=/nonexistent/tty\n");

  const auto run = Run({"--ports"}, {{"MERV_DEVICE_ROOT", root.path().string()}});
  close(master);
  ASSERT_EQ(run.exitStatus, 0);
  const std::string& text = run.standardOutput;
  const std::string dev = (root / "dev").string();
  const std::string expectedLines[] = {
      "COM1     " + dev + "/ttyS0\n",   "COM3     " + byId.string() + " -> " + dev + "/ttyUSB0\n",
      "COM3     " + dev + "/ttyUSB0\n", "-        " + dev + "/ttyACM3\n",
      "COM7     " + pty + "\n",
  };
  for (const auto& line : expectedLines) EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  EXPECT_EQ(text.find("ttyS1"), std::string::npos) << text;
  EXPECT_EQ(text.find("tty0"), std::string::npos) << text;
  EXPECT_EQ(text.find("nonexistent"), std::string::npos) << text;
  EXPECT_NE(text.find("dialout"), std::string::npos);
}

// Enciphered log lines as the module writes them, `count` of them.
std::string CipheredLines(std::size_t count) {
  TTextCipher cipher(TextCipherKey);
  std::string lines;
  for (std::size_t i = 0; i < count; ++i) {
    lines += EncipherLogLine("01/02/26 10:00:00 filler line " + std::to_string(i), cipher) + "\r\n";
  }
  return lines;
}

TEST_F(IntegratorOptions, LogMaxMBRenamesTheLogAtTheStartOfACommand) {
  WriteSettings("[Ver2]\nLogSouborSifra=1\nLogMaxMB=1\n");
  std::string old = CipheredLines(1);
  const std::size_t perLine = old.size();
  old = CipheredLines((1024 * 1024) / perLine + 10);  // just over 1 MB
  WriteFileBytes(folder_ / "KL.log", old);

  EXPECT_EQ(Run({"R03", "/COM=1"}).exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "KL.log.1"), old) << "the whole old log kept, nothing of the new command";
  const auto firstCommand = fs::file_size(folder_ / "KL.log");
  EXPECT_GT(firstCommand, 0u);
  EXPECT_LT(firstCommand, 64u * 1024);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Run({"R03", "/COM=1"}).exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "KL.log.1"), old) << "under the limit: no second renaming";
  EXPECT_FALSE(fs::exists(folder_ / "KL.log.2"));
  EXPECT_GT(fs::file_size(folder_ / "KL.log"), firstCommand);

  const auto shown = RunProcess(KLLOG_EXE, {(folder_ / "KL.log").string()});
  EXPECT_EQ(shown.exitStatus, 0) << shown.standardError;
  const auto filler = shown.standardOutput.find("filler line 0\n");
  const auto command = shown.standardOutput.find("Cinnost \"R03\"");
  ASSERT_NE(filler, std::string::npos);
  ASSERT_NE(command, std::string::npos);
  EXPECT_LT(filler, command) << "the older file first";
}

TEST_F(IntegratorOptions, WithoutALimitTheLogOnlyGrows) {
  WriteSettings("[Ver2]\nLogSouborSifra=1\nLogMaxMB=0\n");
  const std::string old = CipheredLines(5000);
  WriteFileBytes(folder_ / "KL.log", old);
  EXPECT_EQ(Run({"R03", "/COM=1"}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(folder_ / "KL.log.1"));
  EXPECT_TRUE(ReadFileBytes(folder_ / "KL.log").starts_with(old));
}

TEST_F(IntegratorOptions, JsonOutcomeBesideTheUnchangedErrorDat) {
  EXPECT_EQ(Run({"R03", "/COM=1", "/JSON", "/FILE=plu.txt"}).exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(folder_ / "error.dat"), " 3\r\n3.02F\r\n");
  const std::string json = ReadFileBytes(folder_ / "error.json");
  EXPECT_TRUE(std::regex_match(json, std::regex(R"(\{"error": 3, "text": "nedefinována přenosová rychlost", )"
                                                R"("activity": "R03", "rows": 0, "file": ".*plu\.txt", )"
                                                R"("started": "\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", )"
                                                R"("milliseconds": \d+\}\n)")))
      << json;

  EXPECT_EQ(Run({"R03", "/COM=1"}).exitStatus, 0);
  EXPECT_FALSE(fs::exists(folder_ / "error.json")) << "a command without /JSON leaves none of an earlier one";
}

TEST_F(IntegratorOptions, JsonOutcomeOfAPathThatIsNotUtf8IsStillJson) {
  EXPECT_EQ(Run({"R03", "/COM=1", "/JSON", "/FILE=cen\xEDk\xE9.txt"}).exitStatus, 0);
  const std::string json = ReadFileBytes(folder_ / "error.json");
  EXPECT_NE(json.find("cen\xEF\xBF\xBDk\xEF\xBF\xBD.txt\", \"started\""), std::string::npos) << json;
  EXPECT_EQ(json.find_first_of("\xED\xE9"), std::string::npos) << "no byte of the path is copied as it is";
}

// A system's message comes as UTF-8 with the names in it: a line folder
// named in Czech stays readable in the text of error.json.
TEST_F(IntegratorOptions, JsonOutcomeKeepsAFolderNameInASystemsMessage) {
  const fs::path line = folder_ / "prodejna-\xC5\xBDi\xC5\xBEkov";
  fs::create_directories(line / "KL.log");
  WriteSettings("[Ver2]\nLogSouborSifra=1\n");
  EXPECT_EQ(Run({"R03", "/COM=1", "/JSON"}, {{"MERV_PROGRAM_DIR", line.string()}}).exitStatus, 0);
  const std::string json = ReadFileBytes(line / "error.json");
  EXPECT_NE(json.find("\"error\": 10, \"text\": \"log file " + (line / "KL.log").string() + ": "), std::string::npos)
      << json;
}

// "rows" counts the rows that crossed the line: the rows read, and of a
// write the rows the register accepted.
TEST_F(IntegratorOptions, JsonOutcomeCountsTheRowsThatCrossedTheLine) {
  struct Case {
    const char* name;
    const char* activity;
    const char* file;
    std::optional<std::vector<std::string>> registerOptions;  // none: the connection is refused
    int error;
    int rows;
  };
  const std::vector<Case> cases{
      {"full read", "R03", "/FILE=full.txt", std::vector<std::string>{}, 0, 25},
      {"full write", "W03", "/FILE=full.txt", std::vector<std::string>{}, 0, 25},
      {"read dropped after record 10", "R03", "/FILE=part.txt", std::vector<std::string>{"--drop-after", "10"}, 5, 10},
      {"write dropped at record 10", "W03", "/FILE=full.txt", std::vector<std::string>{"--drop-after", "10"}, 5, 9},
      {"write refused", "W03", "/FILE=full.txt", std::nullopt, 9, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<SimulatedRegister> simulated;
    std::string port = "/IPPORT=1";  // nothing listens there
    if (c.registerOptions) {
      std::vector<std::string> options{"--plu-count", "25"};
      options.insert(options.end(), c.registerOptions->begin(), c.registerOptions->end());
      port = "/IPPORT=" + std::to_string(simulated.emplace(options).Port());
    }
    EXPECT_EQ(Run({c.activity, "/IPADDR=127.0.0.1", port, "/ECR=465", c.file, "/JSON"}).exitStatus, 0);
    const std::string json = ReadFileBytes(folder_ / "error.json");
    std::smatch fields;
    ASSERT_TRUE(std::regex_search(json, fields, std::regex(R"(^\{"error": (\d+), .*"rows": (\d+), )"))) << json;
    EXPECT_EQ(std::stoi(fields[1]), c.error);
    EXPECT_EQ(std::stoi(fields[2]), c.rows);
  }
}

}  // namespace
