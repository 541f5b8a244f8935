// axtune-cli journals what its axis commands send, unless told --no-journal, and prints the
// journal with axtune-cli journal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "common/CliRun.h"
#include "common/TempDir.h"

namespace {

const std::string kDemo = AXTUNE_SIM_CONFIGS "/demo.json";

// XDG_DATA_HOME pointed at a directory of the test's own while it runs.
class JournalHome {
 public:
  JournalHome() : old_(std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "") {
    ::setenv("XDG_DATA_HOME", dir_.Path().c_str(), 1);
  }
  ~JournalHome() {
    if (old_.empty()) {
      ::unsetenv("XDG_DATA_HOME");
    } else {
      ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
    }
  }
  std::string JournalDir() const { return dir_.Path() + "/axtune/journal"; }

 private:
  journaltest::TempDir dir_;
  std::string old_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(JournalCliTest, NoJournalWritesNothing) {
  JournalHome home;
  const auto r = testcli::RunCli({"--no-journal", "--sim-config", kDemo, "set", "--port", "851",
                                  "--axis", "1", "--no", "1900", "--value", "77"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_FALSE(std::filesystem::exists(home.JournalDir()));
}

TEST(JournalCliTest, CommandsAreJournaledAndPrintedByFilter) {
  JournalHome home;
  const std::vector<std::vector<std::string>> runs{
      {"set", "--port", "851", "--axis", "1", "--no", "1900", "--value", "77"},
      {"home", "--port", "851", "--axis", "2"},
      {"set", "--port", "851", "--axis", "1", "--no", "9999", "--value", "1"},  // refused
  };
  for (auto args : runs) {
    args.insert(args.begin(), {"--sim-config", kDemo});
    testcli::RunCli(args);
  }
  struct Case {
    std::vector<std::string> args;
    size_t lines;
    int code;
  };
  for (const Case& c : std::vector<Case>{{{"journal"}, 3, 0},
                                         {{"journal", "--axis", "1"}, 2, 0},
                                         {{"journal", "--axis", "1", "--csv"}, 3, 0},
                                         {{"journal", "--since", "2999-01-01"}, 0, 0},
                                         {{"journal", "--since", "yesterday"}, 0, 4},
                                         {{"journal", "--controller", "1.2.3"}, 0, 4}}) {
    const auto r = testcli::RunCli(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(Lines(r.out).size(), c.lines) << r.out;
  }

  const auto r = testcli::RunCli({"journal", "--axis", "1"});
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  const auto first = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(first["op"], "WriteParamNoReal");
  EXPECT_EQ(first["route"], "Local");
  EXPECT_EQ(first["axisName"], "Clamp left");
  EXPECT_EQ(first["changes"][0]["name"], "JogFast");
  EXPECT_EQ(first["changes"][0]["value"], 77.0);
  EXPECT_EQ(first["result"], 0);
  EXPECT_EQ(nlohmann::json::parse(lines[1])["result"], 0x703);
}

}  // namespace
