// axtune-cli read against the demo plant in this process: every access method, the JSON of the
// record, and the exit codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/CliRun.h"
#include "tools/cli/Cli.h"

namespace {

using ReadRun = testcli::CliRun;

ReadRun Read(std::vector<std::string> args,
             const std::string& config = AXTUNE_SIM_CONFIGS "/demo.json") {
  args.insert(args.begin(), {"--sim-config", config, "read"});
  return testcli::RunCli(std::move(args));
}

class CliReadTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string routes = testing::TempDir() + "cli_read_routes.conf";
    std::ofstream(routes) << "";
    setenv("OXA_ROUTES", routes.c_str(), 1);
  }
};

TEST_F(CliReadTest, ReadsEveryServerOfTheDemoPlant) {
  // V3.0.35 by batch, V3.0.21 one number at a time, V2.1.6 as block of layout 7.
  struct Case {
    const char* port;
    const char* axis;
    int build;
    double referenceVelo;  // of the demo's "Clamp left", "Transfer lift" and "Ejector"
  };
  for (const Case c :
       {Case{"851", "1", 35, 285}, Case{"852", "5", 21, 260}, Case{"802", "2", 6, 300}}) {
    SCOPED_TRACE(c.port);
    const ReadRun r = Read({"--port", c.port, "--axis", c.axis});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(r.json["result"], 0);
    EXPECT_EQ(r.json["lib"]["build"], c.build);
    EXPECT_EQ(r.json["RecordVersionTable"].size(), 13u);
    const auto& p = r.json["ParamRecord"];
    EXPECT_EQ(p.size(), 95u);
    EXPECT_EQ(p["ReferenceVelo"], c.referenceVelo);
    EXPECT_EQ(p["EncoderWeighting"], 0.001);  // doubles exact
    EXPECT_EQ(p["SoftEndMaxEnabled"], true);
    EXPECT_EQ(p["FileName"], std::string("port") + c.port + "-axis" + c.axis + ".dat");
    EXPECT_EQ(p["AuxData"].size(), 20u);
  }
  // Layout 7 carries no areas: a block read sets them to 0.
  EXPECT_EQ(Read({"--port", "802", "--axis", "1"}).json["ParamRecord"]["AreaA"], 0.0);
}

TEST_F(CliReadTest, ErrorsAndExitCodes) {
  // A layout without a block on an old server: -1, the message of string 20071, exit 2.
  const std::string path = testing::TempDir() + "cli_read_layout2.json";
  std::ofstream(path) << R"({"runtimes": [{"generation": "CV3", "port": 851, "cycleCount": 5}],
    "servers": [{"port": 851, "lib": "2.1.6", "axes": [{"name": "Ram",
      "params": {"FileName": "Stößel.dat"}}],
      "recordVersions": [2, 4, 2, 1, null, 4, 1, 1, 4, null, null, null, null]}]})";
  ReadRun r = Read({"--port", "851", "--axis", "1"}, path);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.json["result"], -1);
  EXPECT_NE(r.err.find("doesn't support the library version"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nIdxG=0x8000F001"), std::string::npos) << r.err;

  // No such axis: exit 3 and no JSON.
  r = Read({"--port", "851", "--axis", "9"});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(r.json.is_discarded());
  // One page only: its fields, none of the pages not read.
  r = Read({"--port", "851", "--axis", "2", "--page", "4"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.json["ParamRecord"]["AreaB"], 0.6);
  EXPECT_FALSE(r.json["ParamRecord"].contains("EncoderType"));
}

}  // namespace
