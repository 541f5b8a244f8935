// Login against a scripted controller, for what the emulator cannot be made to send: texts
// without terminator, more axes than the overview holds, axis numbers at the end of the range.
#include <gtest/gtest.h>

#include "FakePlant.h"
#include "link/Login.h"

namespace {

using fake::Session;
using model::RecordVersionTable;

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

TEST(LoginTest, ControllerTextsAreBoundedAndTerminated) {
  Session s;
  s.plant.count = 2;
  s.plant.name = [](uint32_t n) {
    return n == 1 ? std::string(300, 'N') : std::string("Ram\0junk", 8);
  };
  ASSERT_TRUE(s.Login());
  const auto& axes = s.lists.Servers()[0].axes;
  EXPECT_EQ(axes[0].name, std::string(255, 'N'));
  EXPECT_EQ(axes[1].name, "Ram");
}

TEST(LoginTest, AllAxesInTreeFirst256InOverview) {
  Session s;
  s.plant.count = 300;
  s.plant.name = [](uint32_t n) { return "Axis" + std::to_string(n); };
  ASSERT_TRUE(s.Login());
  EXPECT_EQ(s.lists.Servers()[0].axes.size(), 300u);
  EXPECT_EQ(s.lists.Servers()[0].axes.back().item, 10300);
  ASSERT_EQ(s.lists.Overview().size(), 256u);
  EXPECT_EQ(s.lists.Overview().back().name, "Axis256");
}

TEST(LoginTest, AxisNumbersNeverWrapPast65535) {
  Session s;
  s.plant.count = 3;
  s.plant.first = 65534;
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers()[0].axes.size(), 2u);
  EXPECT_EQ(s.lists.Servers()[0].axes[1].number, 65535);
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
