// Login against a scripted controller: which ports are probed, which servers count, what the
// tree, the overview list, the document and the status bar get.
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

// Ports at which the identification text was asked for, in order.
std::vector<uint16_t> IdentPorts(const fake::Plant& p) {
  std::vector<uint16_t> ports;
  for (const auto& r : p.Sent(axlink::kIdentGroup)) {
    if (r.offset == 0) ports.push_back(r.port);
  }
  return ports;
}

std::vector<std::string> AxisNames(const axlink::ServerNode& s) {
  std::vector<std::string> names;
  for (const auto& a : s.axes) names.push_back(a.name);
  return names;
}

TEST(LoginTest, Cv2ProbesOnlyActiveTasksInTaskOrderThenCv3) {
  Session s;
  s.plant.cv2[811] = {true, false, true, false};
  s.plant.cv3[855] = 12345;
  s.plant.cv3[856] = 0;  // a runtime that has not run a cycle yet
  s.plant.servers[812] = WithAxes({"Press ram"});
  s.plant.servers[813] = WithAxes({"not active"});
  s.plant.servers[814] = WithAxes({"Clamp left"});
  s.plant.servers[855] = WithAxes({"Feed"});
  s.plant.servers[856] = WithAxes({"idle runtime"});

  ASSERT_TRUE(s.Login());
  EXPECT_EQ(IdentPorts(s.plant), (std::vector<uint16_t>{812, 814, 855}));
  // Every handle that was handed out is released again.
  EXPECT_EQ(s.plant.Sent(axlink::kSymReleaseHandle).size(), 4u + 2u);
  ASSERT_EQ(s.lists.Servers().size(), 3u);
  EXPECT_EQ(s.lists.Servers()[0].caption, "Port 812: Valdor OxaServer");
  EXPECT_EQ(s.lists.Servers()[2].addr, (oxa::OxaAddr{s.plant.local, 855}));
}

TEST(LoginTest, IdentificationMustMatchExactly) {
  for (const char* ident :
       {"Valdor OxaServer2", "Valdor OxaServer ", "valdor OxaServer", "Valdor OxaServe", ""}) {
    Session s;
    s.plant.cv3[851] = 1;
    s.plant.servers[851] = WithAxes({"X"});
    s.plant.servers[851].ident = ident;
    EXPECT_FALSE(s.Login()) << ident;
    EXPECT_TRUE(s.lists.Servers().empty()) << ident;
    // Nothing beyond the identification is asked of a stranger.
    EXPECT_EQ(s.plant.Sent(axlink::kIdentGroup).size(), 1u) << ident;
  }
}

TEST(LoginTest, AxisNumbersStartAtTheReportedFirstOrAtOne) {
  struct Case {
    std::optional<uint16_t> first;
    std::vector<uint16_t> numbers;
  };
  for (const Case& c : {Case{std::nullopt, {1, 2, 3}}, Case{5, {5, 6, 7}}}) {
    Session s;
    s.plant.cv3[860] = 1;
    s.plant.servers[860] = WithAxes({"Lift", "Tilt", "Turn"});
    s.plant.servers[860].first = c.first;
    ASSERT_TRUE(s.Login());
    std::vector<uint16_t> numbers;
    for (const auto& a : s.lists.Servers()[0].axes) numbers.push_back(a.number);
    EXPECT_EQ(numbers, c.numbers);
    EXPECT_EQ(AxisNames(s.lists.Servers()[0]), (std::vector<std::string>{"Lift", "Tilt", "Turn"}));
    ASSERT_EQ(s.lists.Overview().size(), 3u);
    EXPECT_EQ(s.lists.Overview()[2].number, c.numbers[2]);
    EXPECT_EQ(s.lists.Overview()[2].addr.port, 860);
  }
}

TEST(LoginTest, ServerWithoutAxesIsListedAndCounts) {
  Session s;
  s.plant.cv3[851] = 1;
  s.plant.servers[851] = WithAxes({});
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_TRUE(s.lists.Servers()[0].axes.empty());
  EXPECT_EQ(s.status.connection, "ONLINE");
}

TEST(LoginTest, LastServerGivesDocumentTableAndStatusEachServerKeepsItsOwn) {
  Session s;
  s.plant.cv2[801] = {true, false, false, false};
  s.plant.cv3[870] = 7;
  s.plant.servers[802] = WithAxes({"Press ram"}, 2, 1, 3);
  s.plant.servers[802].table = {{0, 3}, {1, 7}, {2, 9}, {3, 1}};
  s.plant.servers[870] = WithAxes({"Feed"}, 3, 0, 35);
  for (uint32_t o : {0u, 1u, 2u, 3u, 4u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u}) {
    s.plant.servers[870].table[o] = static_cast<int16_t>(o + 100);
  }
  s.plant.servers[870].table.erase(20u);  // a word that is not answered stays -1

  ASSERT_TRUE(s.Login());
  const RecordVersionTable v3{100, 101, 102, 103, 104, 116, 117, 118, 119, -1, 121, 122, 123};
  EXPECT_EQ(s.doc.versions.table, v3);
  EXPECT_EQ(s.doc.versions.lib, (model::LibVersion{3, 0, 35}));
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 35");
  EXPECT_EQ(s.status.connection, "ONLINE");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> Local");
  ASSERT_EQ(s.lists.Servers().size(), 2u);
  EXPECT_EQ(s.lists.Servers()[0].versions,
            (RecordVersionTable{3, 7, 9, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0}));
  EXPECT_EQ(s.lists.Servers()[0].lib, (model::LibVersion{2, 1, 3}));
  EXPECT_EQ(s.lists.Servers()[1].versions, v3);
}

TEST(LoginTest, WordsFourElevenTwelveAreReadFromV22On) {
  struct Case {
    uint16_t major, minor;
    bool read;
  };
  for (const Case& c : {Case{2, 1, false}, Case{2, 2, true}, Case{3, 0, true}}) {
    Session s;
    s.plant.cv3[851] = 1;
    s.plant.servers[851] = WithAxes({"A"}, c.major, c.minor, 9);
    std::vector<uint32_t> offsets;
    ASSERT_TRUE(s.Login());
    for (const auto& r : s.plant.Sent(axlink::kVersionTableGroup)) offsets.push_back(r.offset);
    const std::vector<uint32_t> all{0, 1, 2, 3, 4, 16, 17, 18, 19, 20, 21, 22, 23};
    const std::vector<uint32_t> older{0, 1, 2, 3, 16, 17, 18, 19, 20, 21};
    EXPECT_EQ(offsets, c.read ? all : older) << c.major << "." << c.minor;
    // Nothing answered: word 3 defaults to 1, word 4 to 0; 11 and 12 are 0 without a read
    // and -1 when their read failed.
    const int16_t w1112 = c.read ? -1 : 0;
    EXPECT_EQ(s.doc.versions.table,
              (RecordVersionTable{-1, -1, -1, 1, 0, -1, -1, -1, -1, -1, -1, w1112, w1112}));
  }
}

TEST(LoginTest, V20BuildsGetTheirTablesFilledIn) {
  struct Case {
    uint16_t build;
    RecordVersionTable table;
  };
  const Case cases[] = {
      {4, {0, 2, 3, 1, 0, 4, 0, 0, 4, -1, -1, 0, 0}},
      {0, {-1, 0, 0, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0}},
      {1, {-1, 1, 0, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0}},
      {3, {-1, 2, 3, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0}},
      {5, {-1, -1, -1, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0}},
  };
  for (const Case& c : cases) {
    Session s;
    s.plant.cv2[821] = {false, false, false, true};
    s.plant.servers[825] = WithAxes({"Old axis"}, 2, 0, c.build);
    ASSERT_TRUE(s.Login());
    EXPECT_EQ(s.doc.versions.table, c.table) << "build " << c.build;
    EXPECT_EQ(s.lists.Servers()[0].versions, c.table) << "build " << c.build;
  }
  // Words the server did report are kept.
  model::RecordVersionTable t = axlink::kUnreadVersionTable;
  t[1] = 5;
  axlink::FillInLegacyVersions({2, 0, 4}, t);
  EXPECT_EQ(t[1], 5);
  EXPECT_EQ(t[0], 0);
}

TEST(LoginTest, NothingFoundStaysOffline) {
  Session s;
  s.plant.cv3[851] = 1;  // a runtime without an axis server
  s.status.connection = "ONLINE";
  EXPECT_FALSE(s.Login());
  EXPECT_EQ(s.status.connection, "OFFLINE");
  EXPECT_EQ(s.status.versionText, "V --.--- Build ----");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> OFFLINE");
  EXPECT_TRUE(s.plant.Sent(axlink::kVersionTableGroup).empty());
  EXPECT_EQ(s.doc.versions.table, axlink::kUnreadVersionTable);
  EXPECT_EQ(s.plant.timeout, 1000);
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
