// axtune-cli run in-process against an emulated plant: the JSON it prints and its exit codes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/CliRun.h"
#include "tools/cli/Cli.h"

namespace {

using testcli::CliRun;
constexpr auto Cli = testcli::RunCli;

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    // The emulator's NetId comes from the route file: the default local entry here.
    setenv("OXA_ROUTES", WriteFile("cli_routes.conf", "").c_str(), 1);
  }
};

TEST_F(CliTest, DiscoverPrintsThePlant) {
  const CliRun r = Cli({"discover", "--sim-config", AXTUNE_SIM_CONFIGS "/demo.json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["connection"], "ONLINE");
  EXPECT_EQ(j["versionText"], "V 3.0 Build 21");
  EXPECT_EQ(j["windowTitle"], "Axtune -> Local");
  EXPECT_EQ(j["RecordVersionTable"], (std::vector<int>{6, 9, 14, 3, 4, 5, 1, 2, 5, 0, 0, 1, 1}));
  ASSERT_EQ(j["servers"].size(), 3u);
  const auto& first = j["servers"][0];
  EXPECT_EQ(first["caption"], "Port 802: Valdor OxaServer");
  EXPECT_EQ(first["netId"], "127.0.0.1.1.1");
  EXPECT_EQ(first["port"], 802);
  EXPECT_EQ(first["lib"], (nlohmann::json{{"major", 2}, {"minor", 1}, {"build", 6}}));
  EXPECT_EQ(first["RecordVersionTable"],
            (std::vector<int>{2, 4, 7, 1, 0, 4, 1, 1, 4, -1, -1, 0, 0}));
  EXPECT_EQ(first["axes"][1], (nlohmann::json{{"name", "Ejector"}, {"number", 2}}));
  EXPECT_EQ(j["servers"][2]["axes"][0]["number"], 5);
}

TEST_F(CliTest, ControllerTextsBecomeUtf8AndNothingFoundExitsThree) {
  const std::string umlauts = WriteFile("cli_umlauts.json", R"({
    "runtimes": [{ "generation": "CV3", "port": 851, "cycleCount": 5 }],
    "servers": [{ "port": 851, "lib": "3.0.35", "axes": ["Stößel", "Presse ±5°"] }]
  })");
  CliRun r = Cli({"--sim-config", umlauts, "discover"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["servers"][0]["axes"][0]["name"], "Stößel");
  EXPECT_EQ(j["servers"][0]["axes"][1]["name"], "Presse ±5°");

  const std::string empty = WriteFile("cli_empty.json", R"({
    "runtimes": [{ "generation": "CV2", "port": 801, "activeTasks": [1] }]
  })");
  r = Cli({"discover", "--sim-config", empty});
  EXPECT_EQ(r.code, cli::kExitNothingFound);
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["connection"], "OFFLINE");
  EXPECT_EQ(j["versionText"], "V --.--- Build ----");
  EXPECT_EQ(j["windowTitle"], "Axtune -> OFFLINE");
  EXPECT_TRUE(j["servers"].empty());
}

TEST_F(CliTest, TargetsAreLocalARouteOrANetId) {
  setenv("OXA_ROUTES",
         WriteFile("cli_routes2.conf",
                   "route Presse_Süd 127.0.0.1.1.1 127.0.0.1:1\n"
                   "route Tower 9.9.9.9.1.1 127.0.0.1:1\n")
             .c_str(),
         1);
  const std::string demo = AXTUNE_SIM_CONFIGS "/demo.json";
  CliRun r = Cli({"routes", "--sim-config", demo});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out)["entries"];
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0]["name"], "Local");
  EXPECT_EQ(j[1]["title"], "Axtune -> Presse_Süd");
  EXPECT_EQ(j[2]["netId"], "9.9.9.9.1.1");

  r = Cli({"discover", "--sim-config", demo, "--target", "Presse_Süd"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(nlohmann::json::parse(r.out)["windowTitle"], "Axtune -> Presse_Süd");
  // The route's system has no axis server here: offline, with the route's NetId as target.
  r = Cli({"discover", "--sim-config", demo, "--target", "Tower"});
  EXPECT_EQ(r.code, cli::kExitNothingFound);
  EXPECT_EQ(nlohmann::json::parse(r.out)["target"], "9.9.9.9.1.1");
  r = Cli({"discover", "--sim-config", demo, "--target", "Nowhere"});
  EXPECT_EQ(r.code, cli::kExitNothingFound);
  EXPECT_NE(r.err.find("Nowhere"), std::string::npos);
}

// A controller that takes connections and answers nothing: the kernel accepts them into the
// listener's queue, which nobody serves. The client drops its connection at every timeout and
// connects anew for the next request, so the queue counts the requests that timed out.
TEST_F(CliTest, DiscoverGivesAHungControllerTwoTimeouts) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), len), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
  ASSERT_EQ(::listen(listener, 64), 0);
  const std::string routes = "local 127.0.0.1.1.1 127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  setenv("OXA_ROUTES", WriteFile("cli_hung.conf", routes + "\n").c_str(), 1);

  const CliRun r = Cli({"discover"});
  EXPECT_EQ(r.code, cli::kExitNothingFound) << r.err;
  int connections = 0;
  for (int c; (c = ::accept(listener, nullptr, nullptr)) >= 0; ++connections) ::close(c);
  ::close(listener);
  EXPECT_EQ(connections, 2);  // two timeouts of 1000 ms
}

TEST_F(CliTest, RouteFileWarningsGoToStderrOnly) {
  const std::string routes = WriteFile("cli_routes3.conf",
                                       "route Tower 9.9.9.9.1.1 127.0.0.1:1\n"
                                       "route Broken 9.9.9.8.1.1 127.0.0.1:0\n");
  setenv("OXA_ROUTES", routes.c_str(), 1);
  const CliRun r = Cli({"routes", "--sim-config", AXTUNE_SIM_CONFIGS "/demo.json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "oxa: " + routes + ": line 2: TCP port must be 1..65535, line skipped\n");
  EXPECT_EQ(nlohmann::json::parse(r.out)["entries"].size(), 2u);
}

TEST(CliTextTest, RouteNamesKeepUtf8AndFallBackToLatin1) {
  EXPECT_EQ(cli::Latin1ToUtf8("Stra\xDF"
                              "e"),
            "Straße");
  EXPECT_EQ(cli::ToUtf8("Straße"), "Straße");
  EXPECT_EQ(cli::ToUtf8("Stra\xC3"), "Stra\xC3\x83");  // cut inside a character
}

}  // namespace
