// The conventions every axtune-cli subcommand keeps, run in-process against the demo plant:
// bad input gives its documented exit code and one stderr line, values are checked as the
// window checks them and a refused one is sent nowhere, a refused jog is a failure, and a
// signal during a jog stops the axis.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/CliRun.h"
#include "common/TempDir.h"
#include "tools/cli/Cli.h"

namespace {

const std::string kDemo = AXTUNE_SIM_CONFIGS "/demo.json";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A journal and a route file of the test's own while it runs.
class CliConventionsTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string routes = dir_.Path() + "/routes.conf";
    std::ofstream(routes) << "";
    setenv("OXA_ROUTES", routes.c_str(), 1);
    setenv("XDG_DATA_HOME", dir_.Path().c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_DATA_HOME"); }

  // The journal's entries, one JSON object each, oldest first.
  std::vector<nlohmann::json> Journal() const {
    std::vector<nlohmann::json> entries;
    for (const std::string& line : Lines(testcli::RunCli({"journal"}).out)) {
      entries.push_back(nlohmann::json::parse(line));
    }
    return entries;
  }

  std::string WriteConfig(const std::string& name, const nlohmann::json& faults) const {
    std::ifstream in(kDemo);
    nlohmann::json config = nlohmann::json::parse(in);
    config["faults"] = faults;
    const std::string path = dir_.Path() + "/" + name;
    std::ofstream(path) << config.dump();
    return path;
  }

  journaltest::TempDir dir_;
};

TEST_F(CliConventionsTest, BadInputGivesItsExitCodeAndOneStderrLine) {
  const std::string empty = dir_.Path() + "/empty.json";
  std::ofstream(empty)
      << R"({"runtimes": [{"generation": "CV2", "port": 801, "activeTasks": [1]}]})";
  const std::string badDir = dir_.Path() + "/no/such/dir/x.csv";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string says;  // part of the stderr line
  };
  const std::vector<Case> cases{
      // Usage errors, CLI11's own included.
      {{"movee", "--port", "851"}, 4, "did you mean \"move\"?"},
      {{"frobnicate"}, 4, "unknown command \"frobnicate\""},
      {{"move", "--port", "851", "--axis", "1", "--position", "250"}, 4, "--velocity"},
      {{"watch", "--port", "x", "--axis", "1"}, 4, "--port"},
      {{"read", "--port", "851", "--axis", "1", "--page", "1"}, 4, "--page"},
      {{"read", "--port", "851", "--axis", "1", "--page", "9"}, 4, "--page"},
      {{"jog", "--port", "851", "--axis", "1", "--direction", "up"}, 4, "--direction"},
      {{"journal", "--since", "yesterday"}, 4, "is not a date"},
      {{"record", "--port", "851", "--axis", "1", "--csv", badDir}, 4, "cannot write " + badDir},
      // Values the window's checks refuse: field, limits, nothing sent.
      {{"set", "--port", "851", "--axis", "1", "--no", "1700", "--value", "2000"},
       2,
       "LagKp (1700): 2000 is outside its limits 0 to 1000"},
      {{"set", "--port", "851", "--axis", "1", "--no", "1700", "--value", "nan"},
       2,
       "LagKp (1700)"},
      {{"set", "--port", "851", "--axis", "1", "--no", "1700", "--value", "-1e9"}, 2, "\"-1e9\""},
      {{"set", "--port", "851", "--axis", "1", "--no", "1700", "--value", "inf", "--force"},
       2,
       "\"inf\""},
      {{"set", "--port", "851", "--axis", "1", "--no", "1200", "--value", "0.95"},
       2,
       "0 to 0.9"},  // a percent box's limits, as the fraction sent
      {{"set", "--port", "851", "--axis", "1", "--no", "3150", "--value", "20"}, 2, "odd"},
      {{"set", "--port", "851", "--axis", "1", "--no", "1113", "--value", "300", "--byte"},
       2,
       "0 to 1"},
      {{"set", "--port", "851", "--axis", "1", "--no", "9999", "--value", "300", "--byte",
        "--force"},
       2,
       "0 to 255"},
      {{"move", "--port", "851", "--axis", "1", "--position", "nan", "--velocity", "100"},
       2,
       "--position"},
      {{"move", "--port", "851", "--axis", "1", "--position", "250", "--velocity", "inf"},
       2,
       "--velocity"},
      {{"move", "--port", "851", "--axis", "1", "--position", "250", "--velocity", "0"},
       2,
       "above 0"},
      {{"setpos", "--port", "851", "--axis", "1", "--position", "-inf"}, 2, "--position"},
      {{"loglevel", "--port", "851", "--axis", "1", "--level", "4"}, 2, "0 to 3"},
      {{"record", "--port", "851", "--axis", "1", "--move-to", "nan", "--velocity", "5"},
       2,
       "--move-to"},
      // Nothing found.
      {{"home", "--port", "851", "--axis", "9"}, 3, "no axis 9 on an axis server at Oxa port 851"},
      {{"read", "--port", "851", "--axis", "9"}, 3, "no axis 9"},
      {{"save", "--port", "860", "--axis", "1"}, 3, "Oxa port 860"},
      {{"discover", "--target", "Nowhere"}, 3, "no route named \"Nowhere\""},
      {{"discover", "--target", "9.9.9.9.1.1"}, 3, "OFFLINE: the emulated plant answers only"},
      {{"discover", "--sim-config", empty}, 3, "OFFLINE: no axis server answered"},
      {{"dump", dir_.Path() + "/none.dat"}, 4, "cannot open the parameter file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "--sim-config") == args.end() && args[0] != "journal" &&
        args[0] != "dump") {
      args.insert(args.begin(), {"--sim-config", kDemo});
    }
    const testcli::CliRun r = testcli::RunCli(args);
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    EXPECT_EQ(r.code, c.code) << r.err;
    const auto lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("axtune-cli: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.says), std::string::npos) << lines[0];
    // Stdout carries JSON or nothing, and a failed command's JSON says so.
    if (!r.out.empty()) {
      ASSERT_FALSE(r.json.is_discarded()) << r.out;
      if (r.json.contains("ok")) {
        EXPECT_EQ(r.json["ok"], false);
      }
    }
  }
  EXPECT_FALSE(std::filesystem::exists(badDir));
  // Nothing of what was refused went out.
  EXPECT_TRUE(Journal().empty());

  // --force sends a value beyond the window's limits.
  const testcli::CliRun forced =
      testcli::RunCli({"--sim-config", kDemo, "set", "--port", "851", "--axis", "1", "--no", "1700",
                       "--value", "2000", "--force"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_EQ(forced.json["ok"], true);
  EXPECT_TRUE(forced.err.empty()) << forced.err;
  const auto journal = Journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0]["changes"][0]["value"], 2000.0);
}

TEST_F(CliConventionsTest, ARefusedJogIsAFailedCommand) {
  const std::string config =
      WriteConfig("refuse.json", nlohmann::json::array({{{"port", 851},
                                                         {"indexGroup", "0x80004201"},
                                                         {"indexOffset", 33},
                                                         {"error", "0x4356"}}}));
  const testcli::CliRun r =
      testcli::RunCli({"--sim-config", config, "jog", "--port", "851", "--axis", "1", "--direction",
                       "pos", "--duration", "500"});
  EXPECT_EQ(r.code, cli::kExitFailed);
  EXPECT_EQ(r.json["ok"], false);
  EXPECT_EQ(r.json["result"], 0x4356);
  EXPECT_EQ(r.json["error"]["codeHex"], "0x4356");
  EXPECT_EQ(r.json["error"]["indexGroup"], 0x80004201u);
  EXPECT_EQ(r.json["error"]["indexOffset"], 33);
  EXPECT_EQ(Lines(r.err),
            std::vector<std::string>{"axtune-cli: OXA Write( nIdxG=0x80004201, nIdxO=0x00000021, "
                                     "nErr=17238(0x4356) ): Cannot start, control enable is "
                                     "missing"});
  // Only the refused jog went out: nothing was running that a stop would end.
  const auto journal = Journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0]["op"], "Move");
  EXPECT_EQ(journal[0]["result"], 0x4356);
}

// A jog, a move that waits, and a recording's move, each ended by a signal after 0.2 s: the axis
// stands within its stop ramp, and the journal holds the move and the stop with their results.
TEST_F(CliConventionsTest, ASignalStopsTheAxisWithinItsStopRamp) {
  const auto params = testcli::RunCli({"--sim-config", kDemo, "read", "--port", "851", "--axis",
                                       "1", "--records", "param,runtime"})
                          .json;
  const double jog = params["ParamRecord"]["JogSlow"].get<double>();
  const double deceleration = params["ParamRecord"]["Deceleration"].get<double>();
  const double start = params["RuntimeRecord"]["ActualPos"].get<double>();
  ASSERT_GT(jog, 0);
  ASSERT_GT(deceleration, 0);
  const std::string csv = dir_.Path() + "/record.csv";

  struct Case {
    int signal;
    const char* name;
    std::vector<std::string> args;
    int mode;         // of the move journaled
    double velocity;  // the highest the move reaches
  };
  const Case cases[] = {
      {SIGINT,
       "SIGINT",
       {"jog", "--port", "851", "--axis", "1", "--direction", "pos", "--duration", "5000"},
       3,
       jog},
      {SIGTERM,
       "SIGTERM",
       {"move", "--port", "851", "--axis", "1", "--position", "100", "--velocity", "50", "--wait"},
       1,
       50},
      {SIGHUP,
       "SIGHUP",
       {"record", "--port", "851", "--axis", "1", "--rate", "100", "--csv", csv, "--move-to", "100",
        "--velocity", "50"},
       1,
       50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::filesystem::remove_all(dir_.Path() + "/axtune");
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"--sim-config", kDemo});
    // The recording starts its move after 0.2 s of samples.
    const double at = c.args[0] == "record" ? 0.4 : 0.2;
    bool raised = false;
    const testcli::CliRun r = testcli::RunCliWaiting(args, [&](double waited) {
      if (waited >= at && !raised) {
        raised = true;
        std::raise(c.signal);
      }
    });
    EXPECT_EQ(r.code, cli::kExitInterrupted) << r.err;
    EXPECT_EQ(r.json["ok"], false);
    EXPECT_EQ(r.json["interrupted"], c.name);
    const auto& stop = c.args[0] == "record" ? r.json["move"] : r.json;
    EXPECT_EQ(stop["stopResult"], 0);
    EXPECT_TRUE(stop["standing"].get<bool>());
    // At most 0.25 s at the move's velocity, then no further than its stop ramp takes it.
    const double travel = stop["ActualPos"].get<double>() - start;
    EXPECT_GT(travel, 0.0);
    EXPECT_LE(travel, c.velocity * 0.25 + c.velocity * c.velocity / (2 * deceleration) + 0.01);
    ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("interrupted by"), std::string::npos) << r.err;

    const auto journal = Journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0]["op"], "Move");
    EXPECT_EQ(journal[0]["args"]["mode"], c.mode);
    EXPECT_EQ(journal[0]["result"], 0);
    EXPECT_EQ(journal[1]["op"], "StopAxis");
    EXPECT_EQ(journal[1]["result"], 0);
  }
  // The recording wrote the samples it had taken.
  std::ifstream in(csv);
  const auto rows = Lines(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_GE(rows.size(), 40u);
}

}  // namespace
