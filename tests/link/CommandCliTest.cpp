// axtune-cli watch and the axis commands, run in-process against the demo plant, with faults
// from the plant configuration.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/CliRun.h"
#include "tools/cli/Cli.h"

namespace {

// A run whose stdout is one JSON value per line.
struct CliRun {
  int code = 0;
  std::vector<nlohmann::json> lines;
  std::string err;
};

CliRun Cli(const std::string& config, std::vector<std::string> args) {
  args.insert(args.begin(), {"--sim-config", config});
  const testcli::CliRun run = testcli::RunCli(std::move(args));
  CliRun r{run.code, {}, run.err};
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) {
    r.lines.push_back(nlohmann::json::parse(line, nullptr, false));
  }
  return r;
}

// The demo plant with extra faults, in a file that lives as long as the object.
class FaultyDemo {
 public:
  explicit FaultyDemo(const nlohmann::json& faults) {
    std::ifstream in(AXTUNE_SIM_CONFIGS "/demo.json");
    nlohmann::json config = nlohmann::json::parse(in);
    config["faults"] = faults;
    static int counter = 0;
    path_ =
        std::filesystem::temp_directory_path() /
        ("axtune-cmdcli-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".json");
    std::ofstream(path_) << config.dump();
  }
  ~FaultyDemo() { std::filesystem::remove(path_); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

const std::string kDemo = AXTUNE_SIM_CONFIGS "/demo.json";

TEST(CommandCliTest, WatchPrintsOneLinePerRefreshAndStopsAtTheFirstFailedRead) {
  CliRun r =
      Cli(kDemo, {"watch", "--port", "851", "--axis", "1", "--count", "3", "--interval", "1"});
  EXPECT_EQ(r.code, 0);
  ASSERT_EQ(r.lines.size(), 3u);
  for (const auto& line : r.lines) {
    ASSERT_TRUE(line.contains("RuntimeRecord")) << line;
    EXPECT_TRUE(line["RuntimeRecord"]["ActualPos"].is_number());
    EXPECT_TRUE(line["RuntimeRecord"]["stepName"].is_string());
    EXPECT_FALSE(line.contains("error"));
  }

  FaultyDemo faulty(nlohmann::json::array(
      {{{"port", 852}, {"indexGroup", "0x8000F005"}, {"indexOffset", 1}, {"error", "0x745"}}}));
  r = Cli(faulty.Path(),
          {"watch", "--port", "852", "--axis", "5", "--count", "5", "--interval", "1"});
  EXPECT_EQ(r.code, 2);
  ASSERT_EQ(r.lines.size(), 1u);
  // The failed line carries the error, not the record's stale values; stderr the report's fields.
  EXPECT_FALSE(r.lines[0].contains("RuntimeRecord"));
  EXPECT_EQ(r.lines[0]["error"]["code"], 0x745);
  const std::string& report = r.err;
  EXPECT_NE(report.find("nIdxG=0x8000F005, nIdxO=0x00000001, nErr=1861(0x745)"), std::string::npos)
      << report;
  EXPECT_NE(report.find("The OXA communication has been stopped!"), std::string::npos);
}

TEST(CommandCliTest, CommandsPrintTheOxaResultAndExitByIt) {
  CliRun r = Cli(kDemo, {"stop", "--port", "851", "--axis", "2"});
  EXPECT_EQ(r.code, 0);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["command"], "stop");
  EXPECT_EQ(r.lines[0]["result"], 0);

  FaultyDemo faulty(nlohmann::json::array(
      {{{"port", 851}, {"indexGroup", "0x80004201"}, {"indexOffset", 33}, {"error", "0x4356"}}}));
  r = Cli(faulty.Path(),
          {"move", "--port", "851", "--axis", "1", "--position", "250", "--velocity", "100"});
  EXPECT_EQ(r.code, 2);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0]["result"], 0x4356);
  EXPECT_EQ(r.lines[0]["ok"], false);
  EXPECT_NE(r.lines[0]["error"].value("text", "").find("Cannot start, control enable is missing"),
            std::string::npos);

  r = Cli(kDemo, {"home", "--port", "851", "--axis", "9"});
  EXPECT_EQ(r.code, 3);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_TRUE(r.lines[0]["result"].is_null());
}

}  // namespace
