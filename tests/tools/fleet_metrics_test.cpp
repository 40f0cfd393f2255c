// The metrics file of mervfleet --metrics: the series a run leaves, what a
// later run keeps of them, and the labels it refuses.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "test_support.h"
#include "tools/mervfleet/fleet_metrics.h"
#include "tools/mervfleet/fleet_options.h"
#include "tools/mervfleet/metric_series.h"

namespace {

TEST(FleetMetrics, CountsRunsInARowAndKeepsTheLastSuccess) {
  TMetricSeries metrics;
  metrics.Record("praha-01", "W03", 0, 1000.5, 2);
  metrics.Record("praha-01", "w03", 9, 2000, 1);
  metrics.Record("praha-01", "W03", 60, 3000, 1);
  metrics.Record("praha-01", "W03", std::nullopt, 4000, 0.25);
  const auto& series = metrics.Series().at({"praha-01", "W03"});
  EXPECT_EQ(series.ConsecutiveFailures, 3);
  EXPECT_EQ(series.LastSuccess, 1000.5);
  EXPECT_EQ(series.LastRun, 4000);
  EXPECT_EQ(series.LastOutcome, -1);
  EXPECT_EQ(series.Duration, 0.25);
  EXPECT_EQ(series.Runs, (std::array<double, 5>{1, 1, 1, 0, 1}));
  metrics.Record("praha-01", "W03", 22, 5000, 1);
  EXPECT_EQ(metrics.Series().at({"praha-01", "W03"}).Runs[3], 1) << "a refused file is a failure of its own class";
  metrics.Record("praha-01", "W03", 0, 6000, 1);
  EXPECT_EQ(metrics.Series().at({"praha-01", "W03"}).ConsecutiveFailures, 0);
}

TEST(FleetMetrics, WritesEveryFamilyAndReadsItsOwnTextBack) {
  TMetricSeries metrics;
  metrics.Record("b.2", "PCSR.16.32", 5, 1796888734.331, 1.5);
  metrics.Record("a_1", "R70", 0, 17, 3);
  const std::string text = metrics.Text();
  EXPECT_NE(text.find("# TYPE merv_runs_total counter\n"), std::string::npos);
  EXPECT_NE(text.find("merv_runs_total{register=\"b.2\",activity=\"PCSR\",class=\"line\"} 1\n"), std::string::npos);
  EXPECT_NE(text.find("merv_last_run_timestamp_seconds{register=\"b.2\",activity=\"PCSR\"} 1796888734.331\n"),
            std::string::npos);
  EXPECT_LT(text.find("register=\"a_1\""), text.find("register=\"b.2\"")) << "in the order of the registers";
  const std::string foreign =
      "node_load1 3\nmerv_runs_total{register=\"x\",activity=\"R03\",class=\"bogus\"} 1\n"
      "merv_last_outcome{register=\"a b\",activity=\"R03\"} 1\n"
      "merv_last_outcome{register=\"y\",activity=\"R03\",extra=\"1\"} 1\n";
  EXPECT_EQ(TMetricSeries::Parse(text + foreign).Text(), text);
}

TEST(FleetMetrics, RefusesLabelsOutsideTheBoundedSet) {
  TMetricSeries metrics;
  EXPECT_THROW(metrics.Record("b,\"q\"", "R03", 0, 1, 1), std::invalid_argument);
  EXPECT_THROW(metrics.Record(std::string(65, 'a'), "R03", 0, 1, 1), std::invalid_argument);
  EXPECT_THROW(ActivityLabel("R03 x"), std::invalid_argument);
  EXPECT_EQ(ActivityLabel("exportz74"), "EXPORTZ74");
  EXPECT_THROW(ActivityLabel("R-3"), std::invalid_argument);
  EXPECT_THROW(ParseFleetOptions({"--registers", "r.csv", "--metrics=", "--", "R03"}), std::invalid_argument);
  EXPECT_EQ(ParseFleetOptions({"--registers", "r.csv", "--metrics", "m.prom", "--", "R03"}).MetricsFile, "m.prom");
}

TEST(FleetMetrics, AddsARunToTheFileOfTheEarlierOnes) {
  TempDir dir;
  const std::string path = (dir / "merv.prom").string();
  for (int run = 0; run < 2; ++run) {
    TFleetMetrics metrics(path, "STS");
    metrics.Add(TRegisterOutcome{"shop01", "tcp:h:1", 0, "ok", 1, 0.5, {}});
    metrics.Add(TRegisterOutcome{"shop20", "tcp:h:2", 9, "refused", 3, 10, {}});
    metrics.Commit();
  }
  const TMetricSeries written = TMetricSeries::Parse(ReadFileBytes(dir / "merv.prom"));
  EXPECT_EQ(written.Series().at({"shop01", "STS"}).Runs[0], 2);
  EXPECT_EQ(written.Series().at({"shop20", "STS"}).ConsecutiveFailures, 2);
  EXPECT_EQ(written.Series().at({"shop20", "STS"}).LastSuccess, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "merv.prom.lock"));
}

}  // namespace
