// The parts of mervfleet that need no process: the CSV of its files, the
// register lines, the command line, the registers file and the rows of the
// results.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/mervfleet/csv_fields.h"
#include "tools/mervfleet/fleet_options.h"
#include "tools/mervfleet/fleet_results.h"
#include "tools/mervfleet/progress_line.h"
#include "tools/mervfleet/register_line.h"
#include "tools/mervfleet/registers_file.h"

namespace {

using Fields = std::vector<std::string>;

TEST(FleetCsv, SplitsQuotedAndPlainFieldsAndWritesThemBack) {
  struct Case {
    std::string line;
    Fields fields;
  };
  const std::vector<Case> cases = {
      {"a,b,c", {"a", "b", "c"}},
      {"", {""}},
      {"a,,", {"a", "", ""}},
      {"\"x,y\",z", {"x,y", "z"}},
      {"\"say \"\"hi\"\"\",", {"say \"hi\"", ""}},
      {"\"\"", {""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCsvLine(c.line), c.fields) << c.line;
    EXPECT_EQ(SplitCsvLine(CsvLine(c.fields)), c.fields) << c.line;
  }
  EXPECT_THROW(SplitCsvLine("\"open,b"), std::invalid_argument);
  EXPECT_THROW(SplitCsvLine("\"a\"b,c"), std::invalid_argument);
  EXPECT_EQ(CsvField("line\nbreak"), "\"line\nbreak\"");
}

TEST(FleetRegisterLine, GivesTheModuleParametersAndTheKeyOfTheLine) {
  struct Case {
    std::string text;
    Fields parameters;
    std::string key;
  };
  const std::vector<Case> cases = {
      {"tcp:127.0.0.1:4001", {"/IPADDR=127.0.0.1", "/IPPORT=4001"}, "tcp:127.0.0.1:4001"},
      {"tcp:shop-7.example:65535", {"/IPADDR=shop-7.example", "/IPPORT=65535"}, "tcp:shop-7.example:65535"},
      {"com:3", {"/COM=3", "/BR=19200"}, "com:3"},
      {"com:3:5", {"/COM=3", "/BR=5"}, "com:3"},
      {"com:255:9600", {"/COM=255", "/BR=9600"}, "com:255"},
      {"modem:3:0,5551234", {"/COM=3", "/BR=19200", "/MODEM"}, "com:3"},
  };
  for (const auto& c : cases) {
    const auto line = TRegisterLine::Parse(c.text);
    EXPECT_EQ(line.ModuleParameters(), c.parameters) << c.text;
    EXPECT_EQ(line.ExclusiveKey(), c.key) << c.text;
    EXPECT_EQ(line.Text(), c.text);
  }
  EXPECT_EQ(TRegisterLine::Parse("modem:3:0,5551234").DialParameters(),
            (Fields{"/COM=3", "/BR=19200", "/DIALTONE=0,5551234"}));
  for (const std::string bad :
       {"", "tcp:host", "tcp:host:0", "tcp:host:65536", "tcp::4001", "tcp:a/b:4001", "tcp: host:4001", "com:0",
        "com:256", "com:1:x", "com:1:2:3", "udp:1:2", "modem:1", "modem:0:555", "modem:1:a/b", "TCP:127.0.0.1:4001"}) {
    EXPECT_THROW(TRegisterLine::Parse(bad), std::invalid_argument) << bad;
  }
}

TEST(FleetOptions, ReadsTheOptionsAndTheCommandAfterTheDashes) {
  const auto options =
      ParseFleetOptions({"--registers", "r.csv", "--jobs", "8", "--retries", "0", "--pause", "1", "--limit", "60",
                         "--out", "o", "--copy-module", "--", "R03", "/FILE={name}-plu.txt", "/TO=2000"});
  EXPECT_EQ(options.RegistersFile, "r.csv");
  EXPECT_EQ(options.Jobs, 8);
  EXPECT_EQ(options.Retries, 0);
  EXPECT_EQ(options.PauseSeconds, 1);
  EXPECT_EQ(options.LimitSeconds, 60);
  EXPECT_EQ(options.OutFolder, "o");
  EXPECT_TRUE(options.CopyModule);
  EXPECT_EQ(options.Activity, "R03");
  EXPECT_EQ(ModuleArguments(options, "shop7", {"/IPPORT=1", "/ECR=465"}),
            (Fields{"R03", "/FILE=shop7-plu.txt", "/TO=2000", "/IPPORT=1", "/ECR=465"}));

  const auto defaults = ParseFleetOptions({"--registers", "r.csv", "--", "R70", "/FILE={name}{name}.txt"});
  EXPECT_EQ(defaults.Jobs, 32);
  EXPECT_EQ(defaults.Retries, 2);
  EXPECT_EQ(defaults.OutFolder, ".");
  EXPECT_FALSE(defaults.CopyModule);
  EXPECT_EQ(ModuleArguments(defaults, "a", {}), (Fields{"R70", "/FILE=aa.txt"}));
}

TEST(FleetOptions, RefusesWhatCannotBeRun) {
  const std::vector<Fields> refused = {
      {"--", "R03"},                                         // no registers file
      {"--registers", "r.csv"},                              // no command
      {"--registers", "r.csv", "--"},                        // no activity
      {"--registers", "r.csv", "--", "/FILE=x"},             // a parameter is no activity
      {"--registers", "r.csv", "--jobs", "0", "--", "R03"},  // no job
      {"--registers", "r.csv", "--jobs", "x", "--", "R03"},
      {"--registers", "r.csv", "--retries", "-1", "--", "R03"},
      {"--registers", "r.csv", "--jobs"},                     // value missing
      {"--registers", "r.csv", "--fast", "--", "R03"},        // unknown option
      {"--registers", "r.csv", "--", "R03", "/IPPORT=4001"},  // the file gives the line
      {"--registers", "r.csv", "--", "R03", "/ECR=465"},      // and the model
      {"--registers", "r.csv", "--", "R03", "/MODEMX"},
      {"--registers", "r.csv", "--", "DOSMODE", "/x"},
      {"--registers", "r.csv", "--", "MODEMDIAL"},
  };
  for (const auto& arguments : refused) {
    std::string shown;
    for (const auto& argument : arguments) shown += argument + " ";
    EXPECT_THROW(ParseFleetOptions(arguments), std::invalid_argument) << shown;
  }
  EXPECT_TRUE(ParseFleetOptions({"--help"}).Help);
  EXPECT_TRUE(ParseFleetOptions({"--version", "--fast"}).Version) << "answered whatever follows";
  EXPECT_THROW(ParseFleetOptions({"--copy-module=yes", "--registers", "r.csv", "--", "R03"}), std::invalid_argument);
}

TEST(FleetOptions, TakesAValueJoinedWithAnEqualsSign) {
  const auto options = ParseFleetOptions({"--registers=r.csv", "--jobs=8", "--out=a=b", "--", "R03", "--x=y"});
  EXPECT_EQ(options.RegistersFile, "r.csv");
  EXPECT_EQ(options.Jobs, 8);
  EXPECT_EQ(options.OutFolder, "a=b");
  EXPECT_EQ(options.Activity, "R03");
  EXPECT_EQ(options.Parameters, Fields{"--x=y"}) << "the command is taken as it is";
}

std::string WrittenRegisters(const TempDir& dir, const std::string& text) {
  WriteFileBytes(dir / "registers.csv", text);
  return (dir / "registers.csv").string();
}

TEST(FleetRegistersFile, ReadsRegistersByTheHeaderAndSkipsBlankLines) {
  TempDir dir;
  const auto path = WrittenRegisters(dir,
                                     "\xEF\xBB\xBFhost,model,line,name,folder\r\n"
                                     "a,465,tcp:127.0.0.1:4001,shop-1,\r\n"
                                     "\r\n"
                                     "b,579E,com:2,shop_2,\"lines,2\"\n"
                                     "c,465,com:3:4,s3.x,\n");
  TRegistersFile registers(path, "out");
  const auto first = registers.Next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Name, "shop-1");
  EXPECT_EQ(first->Model, "465");
  EXPECT_EQ(first->Line.Text(), "tcp:127.0.0.1:4001");
  EXPECT_EQ(first->Folder, WithPlatformSeparators("out/shop-1"));
  EXPECT_EQ(first->FileLine, 2);
  const auto second = registers.Next();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->Folder, "lines,2");
  EXPECT_EQ(second->FileLine, 4);
  EXPECT_EQ(registers.CountRest(), 1);
  EXPECT_FALSE(registers.Next());
}

TEST(FleetRegistersFile, NamesTheLineOfEveryFault) {
  struct Case {
    std::string text;
    std::string where;
  };
  const std::vector<Case> cases = {
      {"", ":0: "},
      {"name,line\nx,tcp:h:1\n", ":1: "},        // no model column
      {"name,line,model\nx,tcp:h:1\n", ":2: "},  // a field short
      {"name,line,model\nok,tcp:h:1,465\n.hidden,tcp:h:2,465\n", ":3: "},
      {"name,line,model\nok,tcp:h:1,465\na/b,tcp:h:2,465\n", ":3: "},
      {"name,line,model\nok,tcp:h:1,465\n\nx,tcp:h:2,999\n", ":4: "},
      {"name,line,model\nx,tcp:h:1:2,465\n", ":2: "},
      {"name,line,model\n\"x,tcp:h:1,465\n", ":2: "},
      {"name,line,model\n" + std::string(70, 'n') + ",tcp:h:1,465\n", ":2: "},
      {"name,line,model\nshop1,tcp:h:1,465\nshop2,tcp:h:2,465\n\nshop1,tcp:h:3,465\n",
       ":5: register name \"shop1\" on lines 2 and 5"},
      {"name,line,model\nShop,tcp:h:1,465\nSHOP,com:1,465\n", ":3: register name \"SHOP\" on lines 2 and 3"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const auto path = WrittenRegisters(dir, c.text);
    try {
      TRegistersFile(path, "out").CountRest();
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::invalid_argument& failure) {
      EXPECT_NE(std::string(failure.what()).find(path + c.where), std::string::npos) << failure.what();
    }
  }
  TempDir dir;
  EXPECT_THROW(TRegistersFile((dir / "missing.csv").string(), "out"), std::invalid_argument);
  EXPECT_THROW(TRegistersFile(dir.path().string(), "out"), std::invalid_argument);
}

TEST(FleetResults, WritesOneRowPerRegisterInBothFilesOnlyWhenCommitted) {
  TempDir dir;
  TRegisterOutcome done{"a", "tcp:h:1", 0, "ok", 1, 2.5, {"a.txt"}};
  TRegisterOutcome failed{"b,\"q\"",
                          "com:1",
                          4,
                          "pokladna bez odpov\xC4\x9B"
                          "di",
                          3,
                          12.345,
                          {}};
  TRegisterOutcome notStarted{"c", "com:2", std::nullopt, "not started: the run was stopped", 0, 0, {}};
  {
    TFleetResults results(dir.path().string());
    for (const auto& outcome : {done, failed, notStarted}) results.Add(outcome);
    EXPECT_FALSE(std::filesystem::exists(dir / "results.csv"));
    results.Commit();
  }
  EXPECT_EQ(ReadFileBytes(dir / "results.csv"),
            "name,line,error,meaning,attempts,seconds,files\n"
            "a,tcp:h:1,0,ok,1,2.50,a.txt\n"
            "\"b,\"\"q\"\"\",com:1,4,pokladna bez odpov\xC4\x9B"
            "di,3,12.35,\n"
            "c,com:2,,not started: the run was stopped,0,0.00,\n");
  EXPECT_EQ(ReadFileBytes(dir / "results.json"),
            "[\n"
            "{\"name\":\"a\",\"line\":\"tcp:h:1\",\"error\":0,\"meaning\":\"ok\",\"attempts\":1,\"seconds\":2.50,"
            "\"files\":[\"a.txt\"]},\n"
            "{\"name\":\"b,\\\"q\\\"\",\"line\":\"com:1\",\"error\":4,\"meaning\":\"pokladna bez odpov\xC4\x9B"
            "di\","
            "\"attempts\":3,\"seconds\":12.35,\"files\":[]},\n"
            "{\"name\":\"c\",\"line\":\"com:2\",\"error\":null,\"meaning\":\"not started: the run was stopped\","
            "\"attempts\":0,\"seconds\":0.00,\"files\":[]}\n"
            "]\n");
}

TEST(FleetResults, AnEmptyRunIsAnEmptyTable) {
  TempDir dir;
  TFleetResults results(dir.path().string());
  results.Commit();
  EXPECT_EQ(ReadFileBytes(dir / "results.csv"), "name,line,error,meaning,attempts,seconds,files\n");
  EXPECT_EQ(ReadFileBytes(dir / "results.json"), "[]\n");
}

TEST(FleetProgress, EstimatesTheTimeLeftFromTheRegistersDone) {
  using std::chrono::seconds;
  EXPECT_EQ(ProgressText({0, 0, 3, 10}, seconds(5)), "0/10 done, 0 failed, 3 running");
  EXPECT_EQ(ProgressText({2, 1, 3, 10}, seconds(30)), "2/10 done, 1 failed, 3 running, about 2:00 left");
  EXPECT_EQ(ProgressText({1, 0, 1, 200}, seconds(20)), "1/200 done, 0 failed, 1 running, about 1:06:20 left");
  EXPECT_EQ(ProgressText({10, 0, 0, 10}, seconds(99)), "10/10 done, 0 failed, 0 running");
}

}  // namespace
