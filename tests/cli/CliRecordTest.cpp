// axtune-cli record in-process against the demo plant, which then runs on the recording's clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "common/CliRun.h"
#include "trend/TrendCsv.h"

namespace {

const std::string kDemo = AXTUNE_SIM_CONFIGS "/demo.json";

class CliRecordTest : public testing::Test {
 protected:
  void SetUp() override {
    routes_ = testing::TempDir() + "record_routes.conf";
    std::ofstream(routes_) << "";
    setenv("OXA_ROUTES", routes_.c_str(), 1);
  }
  std::string routes_;
};

TEST_F(CliRecordTest, AMoveIsRecordedUntilTheAxisIsInTargetAndItsFiguresPrinted) {
  struct Case {
    const char* port;
    const char* axis;
    double start;  // where the demo's "Clamp left" and "Transfer lift" stand
  };
  // A server read by batch and one read as StRtData blocks.
  for (const Case& c : {Case{"851", "1", 8}, Case{"852", "5", 50}}) {
    SCOPED_TRACE(c.port);
    const std::string csv = testing::TempDir() + "record_" + c.port + ".csv";
    const double to = c.start + 50;
    const testcli::CliRun r = testcli::RunCli(
        {"--sim-config", kDemo, "record", "--port", c.port, "--axis", c.axis, "--rate", "500",
         "--move-to", std::to_string(to), "--velocity", "200", "--csv", csv});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const auto& j = r.json;
    EXPECT_EQ(j["failedReads"], 0);
    const auto& move = j["move"];
    EXPECT_EQ(move["result"], 0);
    EXPECT_TRUE(move["inTarget"].get<bool>());
    EXPECT_TRUE(move["finalInTarget"].get<bool>());
    EXPECT_NEAR(move["finalPosition"].get<double>(), to, move["band"].get<double>());
    const auto& f = move["figures"];
    EXPECT_NEAR(f["start"].get<double>(), c.start, 0.01);
    EXPECT_EQ(f["target"], to);
    // 50 mm at 200 mm/s: the 10 % to 90 % of the way take about 0.2 s, and a little more as
    // the cylinder lags its setpoint.
    EXPECT_NEAR(f["riseTimeS"].get<double>(), 0.22, 0.06);
    EXPECT_LT(f["overshoot"].get<double>(), 1.0);
    EXPECT_TRUE(f["settlingTimeS"].is_number());
    EXPECT_NEAR(f["peakVelocity"].get<double>(), 200.0, 20.0);
    // 0.2 s before the move, the move, and a second in target, at the asked rate.
    const double seconds = j["tS"].get<double>();
    EXPECT_GT(seconds, 1.4);
    EXPECT_NEAR(j["samples"].get<double>(), seconds * 500, 2);

    std::ifstream in(csv, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<trend::CsvWarning> warnings;
    const auto table = trend::ReadCsv(text.str(), warnings);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->columns.size(), trend::kChannelCount);
    EXPECT_EQ(table->t.size(), j["samples"].get<size_t>());
    EXPECT_TRUE(warnings.empty());
  }
}

TEST_F(CliRecordTest, ARefusedMoveEndsTheRecordingWithItsCode) {
  const testcli::CliRun r =
      testcli::RunCli({"--sim-config", kDemo, "record", "--port", "851", "--axis", "1", "--move-to",
                       "300", "--velocity", "100000"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.json["move"]["result"], 0x4359);
  EXPECT_FALSE(r.json["move"].contains("figures"));
  EXPECT_EQ(r.json["ok"], false);
  EXPECT_EQ(r.json["error"]["codeHex"], "0x4359");
  EXPECT_NE(r.err.find("nErr=17241(0x4359)"), std::string::npos) << r.err;
}

}  // namespace
