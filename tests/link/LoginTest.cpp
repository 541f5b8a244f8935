// Login against a scripted controller, for what the emulator cannot be made to do: failing
// name reads, over-long texts, more axes than the overview holds, a machine that stops answering.
#include <gtest/gtest.h>

#include "FakePlant.h"
#include "link/Login.h"

namespace {

using fake::Server;
using fake::Session;
using model::RecordVersionTable;

Server WithAxes(std::vector<std::string> names, uint16_t major = 3, uint16_t minor = 0,
                uint16_t build = 35) {
  Server s;
  s.major = major;
  s.minor = minor;
  s.build = build;
  s.count = static_cast<uint16_t>(names.size());
  for (auto& n : names) s.names.emplace_back(std::move(n));
  return s;
}

std::vector<std::string> AxisNames(const axlink::ServerNode& s) {
  std::vector<std::string> names;
  for (const auto& a : s.axes) names.push_back(a.name);
  return names;
}

TEST(LoginTest, V20BuildsGetTheirTablesFilledIn) {
  struct Case {
    model::LibVersion lib;
    RecordVersionTable table;
  };
  const auto unread = axlink::kUnreadVersionTable;
  const Case cases[] = {
      {{2, 0, 4}, {0, 2, 3, -1, -1, 4, 0, 0, 4, -1, -1, -1, -1}},
      {{2, 0, 0}, {-1, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
      {{2, 0, 1}, {-1, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
      {{2, 0, 2}, {-1, 2, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
      {{2, 0, 3}, {-1, 2, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
      {{2, 0, 5}, unread},
      {{2, 1, 4}, unread},
      {{3, 0, 4}, unread},
  };
  for (const Case& c : cases) {
    RecordVersionTable t = unread;
    axlink::FillInLegacyVersions(c.lib, t);
    EXPECT_EQ(t, c.table) << c.lib.major << "." << c.lib.minor << "." << c.lib.build;
  }
  // Words the server did report are kept.
  RecordVersionTable t = unread;
  t[1] = 5;
  axlink::FillInLegacyVersions({2, 0, 4}, t);
  EXPECT_EQ(t[1], 5);
}

TEST(LoginTest, FailedNameReadGetsPlaceholderAndLastNameDecidesFound) {
  Session s;
  s.plant.cv3[851] = 1;
  s.plant.cv3[852] = 1;
  s.plant.servers[851] = WithAxes({"Press ram", "", "Clamp"});
  s.plant.servers[851].names[1] = std::nullopt;
  s.plant.servers[852] = WithAxes({"Feed", ""}, 2, 1, 0);
  s.plant.servers[852].names[1] = std::nullopt;

  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 2u);
  EXPECT_EQ(AxisNames(s.lists.Servers()[0]),
            (std::vector<std::string>{"Press ram", "Axis 2 (no name)", "Clamp"}));
  // The second server is listed, but its last name read failed: the first is the last found.
  EXPECT_EQ(AxisNames(s.lists.Servers()[1]),
            (std::vector<std::string>{"Feed", "Axis 2 (no name)"}));
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 35");
  EXPECT_EQ(s.lists.Servers()[1].versions, axlink::kUnreadVersionTable);
}

TEST(LoginTest, ControllerTextsAreBoundedAndTerminated) {
  Session s;
  s.plant.cv3[851] = 1;
  s.plant.servers[851] = WithAxes({std::string(300, 'N'), std::string("Ram\0junk", 8)});
  ASSERT_TRUE(s.Login());
  const auto& axes = s.lists.Servers()[0].axes;
  EXPECT_EQ(axes[0].name, std::string(255, 'N'));
  EXPECT_EQ(axes[1].name, "Ram");
}

TEST(LoginTest, AllAxesInTreeFirst256InOverview) {
  Session s;
  s.plant.cv3[851] = 1;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("Axis" + std::to_string(i));
  s.plant.servers[851] = WithAxes(names);
  ASSERT_TRUE(s.Login());
  EXPECT_EQ(s.lists.Servers()[0].axes.size(), 300u);
  EXPECT_EQ(s.lists.Servers()[0].axes.back().item, 10300);
  ASSERT_EQ(s.lists.Overview().size(), 256u);
  EXPECT_EQ(s.lists.Overview().back().name, "Axis255");
}

TEST(LoginTest, AxisNumbersNeverWrapPast65535) {
  Session s;
  s.plant.cv3[851] = 1;
  s.plant.servers[851] = WithAxes({"a", "b", "c"});
  s.plant.servers[851].first = 65534;
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers()[0].axes.size(), 2u);
  EXPECT_EQ(s.lists.Servers()[0].axes[1].number, 65535);
}

TEST(LoginTest, UnreachableMachineCostsOneRequest) {
  for (int32_t code : {oxa::kErrTimeout, oxa::kErrNoResponse, oxa::kErrTargetMachineNotFound}) {
    Session s;
    s.plant.everyRequestFails = code;
    EXPECT_FALSE(s.Login());
    EXPECT_EQ(s.plant.log.size(), 1u) << code;
    EXPECT_EQ(s.status.connection, "OFFLINE");
  }
}

TEST(LoginTest, NewLoginStartsFromAFullLogout) {
  Session s;
  s.plant.cv3[851] = 1;
  s.plant.servers[851] = WithAxes({"A", "B"});
  ASSERT_TRUE(s.Login());
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_EQ(s.lists.Servers()[0].item, 1);
  EXPECT_EQ(s.lists.Servers()[0].axes[0].item, 10001);
  EXPECT_EQ(s.lists.Overview().size(), 2u);
  EXPECT_EQ(s.doc.resets, 2);

  // Without an open port the texts stay, the lists and the document are still reset.
  axlink::LoginEnv env;
  env.oxa = &s.plant;
  env.lists = &s.lists;
  env.document = &s.doc;
  env.status = &s.status;
  const size_t sent = s.plant.log.size();
  EXPECT_FALSE(axlink::Login(env));
  EXPECT_EQ(s.plant.log.size(), sent);
  EXPECT_EQ(s.status.connection, "ONLINE");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> OFFLINE");
  EXPECT_TRUE(s.lists.Servers().empty());
}

TEST(AxisListTest, FindsAxesByItemUnderTheirOwnServer) {
  axlink::AxisList l;
  const oxa::OxaAddr a{{}, 851}, b{{}, 852};
  const int s1 = l.AddServer("one", a, {});
  const int s2 = l.AddServer("two", b, {});
  EXPECT_EQ(l.AddAxis(s1, "Ram", 1, {}), 10001);
  EXPECT_EQ(l.AddAxis(s2, "Ram", 1, {}), 10002);
  EXPECT_EQ(l.AddAxis(99, "lost", 1, {}), 0);
  const axlink::ServerNode* server = nullptr;
  ASSERT_NE(l.FindAxis(10002, &server), nullptr);
  EXPECT_EQ(server->addr, b);
  EXPECT_EQ(l.FindAxis(s1), nullptr);
  EXPECT_EQ(l.FindAxis(10003), nullptr);
}

}  // namespace
