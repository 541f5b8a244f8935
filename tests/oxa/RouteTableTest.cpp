#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "oxa/RouteTable.h"

namespace oxa {
namespace {

TEST(RouteTable, ParsesLocalRoutesCommentsAndBlankLines) {
  const std::string text =
      "# routes of the test bench\n"
      "\n"
      "local 192.168.0.10.1.1 10.0.0.5:4000   # the PC itself\r\n"
      "route  Press_1\t5.16.33.2.1.1  press1.lan:26801\n"
      "   \t  \n"
      "route Lift 5.16.33.3.1.1 [::1]:26802";
  const RouteTable t = ParseRouteTable(text);
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_EQ(t.local.netId, (NetId{{192, 168, 0, 10, 1, 1}}));
  EXPECT_EQ(t.local.host, "10.0.0.5");
  EXPECT_EQ(t.local.tcpPort, 4000);
  ASSERT_EQ(t.routes.size(), 2u);
  EXPECT_EQ(t.routes[0].name, "Press_1");
  EXPECT_EQ(t.routes[0].netId, (NetId{{5, 16, 33, 2, 1, 1}}));
  EXPECT_EQ(t.routes[0].host, "press1.lan");
  EXPECT_EQ(t.routes[0].tcpPort, 26801);
  EXPECT_EQ(t.routes[1].name, "Lift");
  EXPECT_EQ(t.routes[1].host, "::1");
  EXPECT_EQ(t.routes[1].tcpPort, 26802);
  EXPECT_EQ(t.Find(NetId{{5, 16, 33, 3, 1, 1}}), &t.routes[1]);
  EXPECT_EQ(t.Find(t.local.netId), &t.local);
  EXPECT_EQ(t.Find(NetId{{1, 2, 3, 4, 5, 6}}), nullptr);
}

TEST(RouteTable, MalformedLinesAreSkippedWithOneWarningEach) {
  const std::string name35(35, 'n');
  const std::string name36(36, 'n');
  const char* bad[] = {
      "rout A 1.2.3.4.5.6 h:1",        "route A 1.2.3.4.5.6",
      "route A 1.2.3.4.5.6 h:1 extra", "route A 1.2.3.4.5 h:1",
      "route A 1.2.3.4.5.256 h:1",     "route A 1.2.3.4.5.6 h",
      "route A 1.2.3.4.5.6 h:0",       "route A 1.2.3.4.5.6 h:65536",
      "route A 1.2.3.4.5.6 h:12x",     "route A 1.2.3.4.5.6 :26801",
      "route A 1.2.3.4.5.6 ::1:26801", "local 1.2.3.4.5.6",
      "local 9.9.9.9.9.9 h:1",  // a second local line
  };
  std::string text = "local 1.1.1.1.1.1 127.0.0.1:1000\n";
  for (const char* line : bad) text += std::string(line) + "\n";
  text += "route " + name36 + " 1.2.3.4.5.7 h:1\n";
  text += "route " + name35 + " 1.2.3.4.5.8 h:2\n";
  const RouteTable t = ParseRouteTable(text, "bench.conf");
  EXPECT_EQ(t.warnings.size(), std::size(bad) + 1);
  ASSERT_FALSE(t.warnings.empty());
  EXPECT_EQ(t.warnings.front().line, 2u);
  EXPECT_EQ(ToString(t.warnings.front()),
            "bench.conf: line 2: unknown keyword 'rout', line skipped");
  EXPECT_EQ(t.local.netId, (NetId{{1, 1, 1, 1, 1, 1}}));
  ASSERT_EQ(t.routes.size(), 1u);
  EXPECT_EQ(t.routes[0].name, name35);
}

TEST(RouteTable, RoutesBeyondTheLimitAreSkipped) {
  std::string text;
  for (size_t i = 0; i < kMaxRoutes + 3; ++i) {
    text += "route r" + std::to_string(i) + " 10.0." + std::to_string(i / 256) + "." +
            std::to_string(i % 256) + ".1.1 h:1\n";
  }
  const RouteTable t = ParseRouteTable(text);
  EXPECT_EQ(t.routes.size(), kMaxRoutes);
  EXPECT_EQ(t.warnings.size(), 3u);
}

TEST(RouteTable, HostPortParsing) {
  const struct {
    const char* text;
    bool anyPort;
    const char* host;  // null: refused
    uint16_t port;
  } cases[] = {
      {"127.0.0.1:26801", false, "127.0.0.1", 26801},
      {"[::1]:26802", false, "::1", 26802},
      {"press1.lan:1", false, "press1.lan", 1},
      {"127.0.0.1:0", true, "127.0.0.1", 0},
      {"127.0.0.1:0", false, nullptr, 0},
      {"[::1]:65536", true, nullptr, 0},
      {"::1:26801", true, nullptr, 0},
      {":26801", true, nullptr, 0},
      {"[]:26801", true, nullptr, 0},
      {"host:", true, nullptr, 0},
      {"host", true, nullptr, 0},
      {"ho st:1", true, nullptr, 0},
  };
  for (const auto& c : cases) {
    std::string why;
    const auto hp = ParseHostPort(c.text, why, c.anyPort);
    if (c.host == nullptr) {
      EXPECT_FALSE(hp) << c.text;
      EXPECT_FALSE(why.empty()) << c.text;
      continue;
    }
    ASSERT_TRUE(hp) << c.text << ": " << why;
    EXPECT_EQ(hp->host, c.host);
    EXPECT_EQ(hp->port, c.port);
  }
}

class RouteFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("oxa-routes-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ / "oxa");
    for (const char* v : {"OXA_ROUTES", "XDG_CONFIG_HOME", "HOME"}) {
      const char* old = std::getenv(v);
      saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& file, const std::string& text) {
    const auto path = dir_ / file;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  std::filesystem::path dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RouteFileTest, EnvironmentChoosesTheFile) {
  const std::string explicitFile = Write("explicit.conf", "route A 1.2.3.4.5.6 h:1\n");
  Write("oxa/routes.conf", "route B 1.2.3.4.5.7 h:1\n");
  setenv("HOME", "/nonexistent-home", 1);
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  setenv("OXA_ROUTES", explicitFile.c_str(), 1);
  EXPECT_EQ(RouteFilePath(), explicitFile);
  ASSERT_EQ(LoadRouteTable().routes.size(), 1u);
  EXPECT_EQ(LoadRouteTable().routes[0].name, "A");

  unsetenv("OXA_ROUTES");
  EXPECT_EQ(RouteFilePath(), (dir_ / "oxa/routes.conf").string());
  ASSERT_EQ(LoadRouteTable().routes.size(), 1u);
  EXPECT_EQ(LoadRouteTable().routes[0].name, "B");

  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RouteFilePath(), "/nonexistent-home/.config/oxa/routes.conf");
  const RouteTable fallback = LoadRouteTable();
  EXPECT_TRUE(fallback.routes.empty());
  EXPECT_EQ(fallback.local.netId, (NetId{{127, 0, 0, 1, 1, 1}}));
  EXPECT_EQ(fallback.local.host, "127.0.0.1");
  EXPECT_EQ(fallback.local.tcpPort, 26801);
}

TEST_F(RouteFileTest, WarningsComeWithTheTableNamingFileAndLine) {
  const std::string path = Write("warn.conf", "route A 1.2.3.4.5.6 h:1\n\x1b[2J 1 2\n");
  const RouteTable t = LoadRouteTable(path, true);
  EXPECT_EQ(t.routes.size(), 1u);
  ASSERT_EQ(t.warnings.size(), 1u);
  EXPECT_EQ(t.warnings[0].file, path);
  EXPECT_EQ(t.warnings[0].line, 2u);
  // The file's bytes come back printable only: no terminal escape reaches a console.
  EXPECT_EQ(t.warnings[0].text, "unknown keyword '?[2J', line skipped");

  const RouteTable missing = LoadRouteTable((dir_ / "missing.conf").string(), true);
  ASSERT_EQ(missing.warnings.size(), 1u);
  EXPECT_EQ(missing.warnings[0].line, 0u);
  EXPECT_TRUE(LoadRouteTable((dir_ / "missing.conf").string(), false).warnings.empty());
}

TEST_F(RouteFileTest, UnreadableOrHugeFilesGiveTheDefaultTable) {
  EXPECT_TRUE(LoadRouteTable((dir_ / "missing.conf").string(), true).routes.empty());
  EXPECT_TRUE(LoadRouteTable(dir_.string(), true).routes.empty());  // a directory
  std::string huge;
  while (huge.size() <= (1u << 20)) huge += "route A 1.2.3.4.5.6 h:1\n";
  EXPECT_TRUE(LoadRouteTable(Write("huge.conf", huge), true).routes.empty());
  const char raw[] = "route A 1.2.3.4.5.6 h:1\n\0\xff\xfe garbage\n";
  const std::string binary(raw, sizeof raw - 1);
  EXPECT_EQ(LoadRouteTable(Write("binary.conf", binary), true).routes.size(), 1u);
}

}  // namespace
}  // namespace oxa
