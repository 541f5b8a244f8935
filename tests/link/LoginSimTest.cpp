// Login against the emulated controller in the same process (OxaDirect), checked through the
// emulator's own request log.
#include <gtest/gtest.h>

#include <functional>

#include "FakePlant.h"
#include "common/FakeOxa.h"
#include "link/Login.h"
#include "link/LoginJob.h"
#include "link/Routes.h"
#include "oxa/OxaDirect.h"
#include "sim/Plant.h"

namespace {

using model::RecordVersionTable;

const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

struct SimSession {
  sim::Plant plant{kNetId};
  oxa::OxaDirect direct;
  axlink::AxisList lists;
  fake::Doc doc;
  axlink::FrameStatus status;

  SimSession() { direct.Register(kNetId, plant.Ctrl()); }

  void Cv2(uint16_t port, std::array<bool, 4> tasks) {
    std::string error;
    ASSERT_TRUE(plant.AddCv2Runtime(port, tasks, error)) << error;
  }
  void Cv3(uint16_t port, uint32_t cycles = 1000) {
    std::string error;
    ASSERT_TRUE(plant.AddCv3Runtime(port, cycles, error)) << error;
  }
  void Server(sim::AxisServerConfig c) {
    std::string error;
    ASSERT_TRUE(plant.AddServer(std::move(c), error)) << error;
  }

  bool Login() {
    axlink::LoginEnv env;
    env.oxa = &direct;
    env.portHandle = direct.OxaPortOpen();
    env.target = kNetId;
    env.lists = &lists;
    env.document = &doc;
    env.status = &status;
    return axlink::Login(env);
  }

  std::vector<sim::LoggedRequest> Sent(uint32_t group) {
    std::vector<sim::LoggedRequest> r;
    for (const auto& e : plant.Ctrl().Log().Entries()) {
      if (e.indexGroup == group) r.push_back(e);
    }
    return r;
  }
};

sim::AxisServerConfig Config(uint16_t port, model::LibVersion lib,
                             std::vector<std::string> axes = {"Press ram"}) {
  sim::AxisServerConfig c;
  c.port = port;
  c.lib = lib;
  c.axisNames = std::move(axes);
  return c;
}

TEST(LoginSimTest, Cv2TasksOneAndThreeProbeOnlyTheirPortsInOrder) {
  SimSession s;
  s.Cv2(821, {true, false, true, false});
  s.Server(Config(822, {2, 1, 6}));
  s.Server(Config(823, {2, 1, 6}));  // task 2 is not active: never asked
  ASSERT_TRUE(s.Login());
  std::vector<uint16_t> identPorts;
  for (const auto& r : s.Sent(axlink::kIdentGroup)) {
    if (r.indexOffset == 0) identPorts.push_back(r.port);
  }
  EXPECT_EQ(identPorts, (std::vector<uint16_t>{822, 824}));
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_EQ(s.lists.Servers()[0].caption, "Port 822: Valdor OxaServer");
  // Every symbol handle the runtime handed out was released again.
  EXPECT_EQ(s.Sent(axlink::kSymReleaseHandle).size(), 4u);
}

TEST(LoginSimTest, IdentificationMustMatchExactly) {
  for (const char* ident :
       {"Valdor OxaServer V3", "Valdor OxaServer ", "valdor OxaServer", "Valdor OxaServe", ""}) {
    SimSession s;
    s.Cv3(851);
    auto c = Config(851, {3, 0, 35});
    c.ident = ident;
    s.Server(c);
    EXPECT_FALSE(s.Login()) << ident;
    EXPECT_TRUE(s.lists.Servers().empty()) << ident;
    // Nothing beyond the identification is asked of a stranger.
    EXPECT_EQ(s.Sent(axlink::kIdentGroup).size(), 1u) << ident;
  }
}

TEST(LoginSimTest, NoFirstAxisNumberGivesAxesOneToCount) {
  SimSession s;
  s.Cv3(851);
  s.Server(Config(851, {3, 0, 21}, {"Transfer lift", "Transfer feed", "Stacker"}));
  ASSERT_TRUE(s.Login());
  const auto& axes = s.lists.Servers()[0].axes;
  ASSERT_EQ(axes.size(), 3u);
  EXPECT_EQ(axes[0].number, 1);
  EXPECT_EQ(axes[2].number, 3);
  EXPECT_EQ(axes[2].name, "Stacker");
  EXPECT_EQ(s.lists.Overview()[1].name, "Transfer feed");
}

TEST(LoginSimTest, ServerWithoutAxesIsListedAndCounts) {
  SimSession s;
  s.Cv3(862);
  s.Server(Config(862, {3, 0, 30}, {}));
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_TRUE(s.lists.Servers()[0].axes.empty());
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 30");
}

TEST(LoginSimTest, LastServerFoundGivesTableAndVersionTextCv3AfterCv2) {
  SimSession s;
  s.Cv3(851);
  s.Cv2(801, {true, false, false, false});
  auto cv3 = Config(851, {3, 0, 35}, {"Clamp left", "Clamp right"});
  cv3.recordVersions = {40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
  s.Server(cv3);
  auto cv2 = Config(802, {2, 2, 1});
  cv2.recordVersions = {3, 7, 9, 2, 1, 4, 1, 1, 4, std::nullopt, std::nullopt, 1, 1};
  s.Server(cv2);

  ASSERT_TRUE(s.Login());
  EXPECT_EQ(s.status.connection, "ONLINE");
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 35");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> Local");
  EXPECT_EQ(s.doc.versions.lib, (model::LibVersion{3, 0, 35}));
  const RecordVersionTable cv3Table{40, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
  EXPECT_EQ(s.doc.versions.table, cv3Table);
  // Each server keeps its own version and table, so its axes are read in its own layouts.
  ASSERT_EQ(s.lists.Servers().size(), 2u);
  EXPECT_EQ(s.lists.Servers()[0].addr.port, 802);
  EXPECT_EQ(s.lists.Servers()[0].lib, (model::LibVersion{2, 2, 1}));
  EXPECT_EQ(s.lists.Servers()[0].versions,
            (RecordVersionTable{3, 7, 9, 2, 1, 4, 1, 1, 4, -1, -1, 1, 1}));
  EXPECT_EQ(s.lists.Servers()[1].versions, cv3Table);
}

TEST(LoginSimTest, WordsFourElevenTwelveAreSkippedBeforeV22) {
  for (const model::LibVersion lib : {model::LibVersion{2, 1, 6}, model::LibVersion{2, 2, 0}}) {
    SimSession s;
    s.Cv3(851);
    auto c = Config(851, lib);
    c.recordVersions = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    s.Server(c);
    ASSERT_TRUE(s.Login());
    const bool v22 = lib.minor == 2;
    EXPECT_EQ(s.Sent(axlink::kVersionTableGroup).size(), v22 ? 13u : 10u);
    const int16_t w4 = v22 ? 5 : 0, w11 = v22 ? 12 : 0, w12 = v22 ? 13 : 0;
    EXPECT_EQ(s.doc.versions.table,
              (RecordVersionTable{1, 2, 3, 4, w4, 6, 7, 8, 9, 10, 11, w11, w12}));
  }
}

TEST(LoginSimTest, V20Build4WithoutTableAnswersGetsTheLegacyLayouts) {
  SimSession s;
  s.Cv2(831, {false, true, false, false});
  s.Server(Config(833, {2, 0, 4}));
  ASSERT_TRUE(s.Login());
  EXPECT_EQ(s.doc.versions.table, (RecordVersionTable{0, 2, 3, 1, 0, 4, 0, 0, 4, -1, -1, 0, 0}));
  EXPECT_EQ(s.status.versionText, "V 2.0 Build 4");
}

TEST(LoginSimTest, NothingFoundStaysOffline) {
  SimSession s;
  s.Cv2(801, {true, true, true, true});  // runtimes without any axis server
  s.Cv3(851);
  s.status.connection = "ONLINE";
  EXPECT_FALSE(s.Login());
  EXPECT_EQ(s.status.connection, "OFFLINE");
  EXPECT_EQ(s.status.versionText, "V --.--- Build ----");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> OFFLINE");
  EXPECT_TRUE(s.lists.Servers().empty());
}

TEST(LoginSimTest, FailedNameReadGetsPlaceholderAndLastNameDecidesFound) {
  SimSession s;
  s.Cv3(851);
  s.Cv3(852);
  s.Server(Config(851, {3, 0, 35}, {"Press ram", "Ejector", "Clamp"}));
  s.Server(Config(852, {3, 0, 21}, {"Feed", "Lift"}));
  for (const uint16_t port : std::array<uint16_t, 2>{851, 852}) {
    s.plant.Ctrl().Faults().Add({port, axlink::kAxisNameGroup + 2, std::nullopt,
                                 sim::Fault::Kind::Error, oxa::kErrNotReady, 0});
  }
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 2u);
  const auto& first = s.lists.Servers()[0].axes;
  EXPECT_EQ(first[1].name, "Axis 2 (no name)");  // never the text of the axis before
  EXPECT_EQ(first[2].name, "Clamp");
  EXPECT_EQ(s.lists.Overview()[1].name, "Axis 2 (no name)");
  // The second server is listed, but its last name read failed: the first is the last found.
  EXPECT_EQ(s.lists.Servers()[1].axes[1].name, "Axis 2 (no name)");
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 35");
  EXPECT_EQ(s.lists.Servers()[1].versions, axlink::kUnreadVersionTable);
}

TEST(LoginSimTest, PortThatDoesNotAnswerIsSkippedAndTheProbesGoOn) {
  SimSession s;
  s.Cv2(801, {true, false, false, false});
  s.Server(Config(802, {2, 1, 6}));
  s.Cv3(851);
  s.Server(Config(851, {3, 0, 35}, {"A"}));
  // One probe that times out skips its candidate only (two in a row give the target up, see
  // HungController... below).
  s.plant.Ctrl().Faults().Add({802, axlink::kIdentGroup, 0, sim::Fault::Kind::Drop, 0, 0});
  EXPECT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_EQ(s.lists.Servers()[0].addr.port, 851);
  EXPECT_EQ(s.status.versionText, "V 3.0 Build 35");
}

TEST(LoginSimTest, NewLoginStartsFromAFullLogout) {
  SimSession s;
  s.Cv3(851);
  s.Server(Config(851, {3, 0, 35}, {"A", "B"}));
  ASSERT_TRUE(s.Login());
  ASSERT_TRUE(s.Login());
  ASSERT_EQ(s.lists.Servers().size(), 1u);
  EXPECT_EQ(s.lists.Servers()[0].item, 1);
  EXPECT_EQ(s.lists.Servers()[0].axes[0].item, 10001);
  EXPECT_EQ(s.lists.Overview().size(), 2u);
  EXPECT_EQ(s.doc.resets, 2);

  // Without an open port nothing is sent; the texts stay, lists and document are reset.
  const axlink::LoginEnv closed{&s.direct, 0,      kNetId,   "Axtune -> Local",
                                &s.lists,  &s.doc, &s.status};
  const uint64_t sent = s.plant.Ctrl().Log().Total();
  EXPECT_FALSE(axlink::Login(closed));
  EXPECT_EQ(s.plant.Ctrl().Log().Total(), sent);
  EXPECT_EQ(s.status.connection, "ONLINE");
  EXPECT_EQ(s.status.windowTitle, "Axtune -> OFFLINE");
  EXPECT_TRUE(s.lists.Servers().empty());
  EXPECT_EQ(s.doc.versions.table, axlink::kUnreadVersionTable);
}

TEST(LoginSimTest, DemoPlantRequestCountIsWhatTheScanImplies) {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  ASSERT_TRUE(plant) << error;
  oxa::OxaDirect direct;
  direct.Register(kNetId, plant->Ctrl());
  axlink::AxisList lists;
  fake::Doc doc;
  axlink::FrameStatus status;
  axlink::LoginEnv env{&direct, direct.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc,
                       &status};
  ASSERT_TRUE(axlink::Login(env));

  // The plant: a CV2 runtime at 801 with tasks 1 and 3 active and a V2.1 server with two axes
  // at 802; CV3 runtimes at 851 (V3.0.35, four axes) and 852 (V3.0.21, three axes from 5).
  const uint64_t symbol = 3;             // handle, value, release
  const uint64_t cv2 = 4 * symbol        // runtime 801, all four tasks answer
                       + 3 * 4           // 811, 821, 831: the handle request fails
                       + (6 + 2)         // server 802: ident, 4 words, first axis, 2 names
                       + 1;              // task 3's port 804 has no server
  const uint64_t cv3 = 2 * symbol + 18   // 851 and 852 run, 853 to 870 do not
                       + (6 + 4)         // server 851
                       + (6 + 3);        // server 852
  const uint64_t tables = 10 + 13 + 13;  // V2.1 skips three words
  EXPECT_EQ(plant->Ctrl().Log().Total(), cv2 + cv3 + tables);

  ASSERT_EQ(lists.Servers().size(), 3u);
  EXPECT_EQ(lists.Servers()[2].axes.front().number, 5);
  EXPECT_EQ(status.versionText, "V 3.0 Build 21");
}

std::unique_ptr<sim::Plant> DemoPlant() {
  std::string error;
  auto plant = sim::LoadPlantFile(AXTUNE_SIM_CONFIGS "/demo.json", kNetId,
                                  sim::DefaultServerFeatures(), error);
  EXPECT_TRUE(plant) << error;
  return plant;
}

// Records every progress report and cancels before the probe of `cancelAt`.
struct Progress final : axlink::ILoginProgress {
  uint16_t cancelAt = 0;
  std::vector<axlink::LoginProgress> seen;
  bool Continue(const axlink::LoginProgress& p) override {
    seen.push_back(p);
    return p.port != cancelAt;
  }
};

TEST(LoginSimTest, CancelEndsTheScanBeforeTheNextProbeAndKeepsWhatWasFound) {
  auto plant = DemoPlant();
  oxa::OxaDirect direct;
  direct.Register(kNetId, plant->Ctrl());
  axlink::AxisList lists;
  fake::Doc doc;
  axlink::FrameStatus status;
  Progress progress;
  progress.cancelAt = 852;
  axlink::LoginEnv env{&direct, direct.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc,
                       &status};
  env.progress = &progress;
  ASSERT_TRUE(axlink::Login(env));

  for (const auto& e : plant->Ctrl().Log().Entries()) EXPECT_LT(e.port, 852) << e.indexGroup;
  ASSERT_EQ(lists.Servers().size(), 2u);
  EXPECT_EQ(lists.Servers()[1].addr.port, 851);
  EXPECT_EQ(status.versionText, "V 3.0 Build 35");
  EXPECT_EQ(doc.versions.lib, (model::LibVersion{3, 0, 35}));

  // 16 task probes, then 851 and the cancelled 852: each told once, in order, with the servers
  // found before it.
  ASSERT_EQ(progress.seen.size(), 18u);
  for (size_t i = 0; i < progress.seen.size(); ++i) {
    EXPECT_EQ(progress.seen[i].done, i);
    EXPECT_EQ(progress.seen[i].total, axlink::kLoginProbes);
  }
  EXPECT_EQ(progress.seen[5].port, 811);
  EXPECT_EQ(progress.seen[5].task, 2);
  EXPECT_EQ(progress.seen[16].servers, 1u);
  EXPECT_EQ(progress.seen[17].servers, 2u);
  EXPECT_EQ(axlink::kLoginProbes, 36u);
}

// A controller that takes every request and answers none, as a hung one does, until it is let
// go; then the emulated plant answers. Each timeout would cost the login's 1000 ms.
class HungOxa final : public fakeoxa::ScriptBase {
 public:
  explicit HungOxa(oxa::IOxa& inner) : inner_(inner) {}
  int32_t OxaSyncReadReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                         void* d) override {
    return hung ? TimedOut() : inner_.OxaSyncReadReq(a, g, o, n, d);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t n,
                          const void* d) override {
    return hung ? TimedOut() : inner_.OxaSyncWriteReq(a, g, o, n, d);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* a, uint32_t g, uint32_t o, uint32_t rn, void* rd,
                              uint32_t wn, const void* wd) override {
    return hung ? TimedOut() : inner_.OxaSyncReadWriteReq(a, g, o, rn, rd, wn, wd);
  }
  bool hung = true;
  int timeouts = 0;

 private:
  int32_t TimedOut() {
    ++timeouts;
    return oxa::kErrTimeout;
  }
  oxa::IOxa& inner_;
};

// Both logins, the one discover runs and the window's LoginJob, give a hung controller two
// timeouts (2 s), go through every probe and end offline; the next login finds it again.
TEST(LoginSimTest, HungControllerCostsTwoTimeoutsAndTheNextLoginAsksAgain) {
  const auto direct = [](const axlink::LoginEnv& env, axlink::ILoginProgress* progress) {
    axlink::LoginEnv withProgress = env;
    withProgress.progress = progress;
    return axlink::Login(withProgress);
  };
  const auto job = [](const axlink::LoginEnv& env, axlink::ILoginProgress* progress) {
    axlink::LoginJob j(*env.oxa, env.portHandle, env.target, env.targetTitle);
    j.Run(progress);
    return j.Apply(env);
  };
  const std::vector<
      std::pair<const char*, std::function<bool(const axlink::LoginEnv&, axlink::ILoginProgress*)>>>
      paths{{"discover", direct}, {"window", job}};
  for (const auto& [name, login] : paths) {
    auto plant = DemoPlant();
    oxa::OxaDirect inner;
    inner.Register(kNetId, plant->Ctrl());
    HungOxa hung(inner);
    axlink::AxisList lists;
    fake::Doc doc;
    axlink::FrameStatus status;
    const axlink::LoginEnv env{&hung,  inner.OxaPortOpen(), kNetId, "Axtune -> Local", &lists, &doc,
                               &status};
    Progress progress;
    EXPECT_FALSE(login(env, &progress)) << name;
    EXPECT_EQ(hung.timeouts, 2) << name;
    EXPECT_EQ(progress.seen.size(), axlink::kLoginProbes) << name;
    EXPECT_EQ(status.connection, "OFFLINE") << name;

    hung.hung = false;
    EXPECT_TRUE(login(env, nullptr)) << name;
    EXPECT_EQ(lists.Servers().size(), 3u) << name;
    EXPECT_EQ(hung.timeouts, 2) << name;
  }
}

TEST(LoginSimTest, JobAppliedAfterwardsGivesWhatADirectLoginGives) {
  auto plant = DemoPlant();
  oxa::OxaDirect direct;
  direct.Register(kNetId, plant->Ctrl());
  const long port = direct.OxaPortOpen();

  axlink::AxisList lists;
  fake::Doc doc;
  axlink::FrameStatus status;
  ASSERT_TRUE(axlink::Login({&direct, port, kNetId, "Axtune -> Local", &lists, &doc, &status}));

  axlink::LoginJob job(direct, port, kNetId, "Axtune -> Local");
  job.Run(nullptr);
  axlink::AxisList jobLists;
  fake::Doc jobDoc;
  axlink::FrameStatus jobStatus;
  jobLists.AddServer("stale", {}, {});
  ASSERT_TRUE(job.Apply({&direct, port, kNetId, "", &jobLists, &jobDoc, &jobStatus}));

  ASSERT_EQ(jobLists.Servers().size(), lists.Servers().size());
  for (size_t i = 0; i < lists.Servers().size(); ++i) {
    const axlink::ServerNode& a = lists.Servers()[i];
    const axlink::ServerNode& b = jobLists.Servers()[i];
    EXPECT_EQ(b.caption, a.caption);
    EXPECT_EQ(b.item, a.item);
    EXPECT_EQ(b.versions, a.versions);
    ASSERT_EQ(b.axes.size(), a.axes.size());
    for (size_t k = 0; k < a.axes.size(); ++k) {
      EXPECT_EQ(b.axes[k].name, a.axes[k].name);
      EXPECT_EQ(b.axes[k].item, a.axes[k].item);
    }
  }
  EXPECT_EQ(jobLists.Overview().size(), lists.Overview().size());
  EXPECT_EQ(jobDoc.versions.lib, doc.versions.lib);
  EXPECT_EQ(jobDoc.versions.table, doc.versions.table);
  EXPECT_EQ(jobDoc.resets, 1);
  EXPECT_EQ(jobStatus.versionText, status.versionText);
  EXPECT_EQ(jobStatus.windowTitle, status.windowTitle);
}

TEST(LoginSimTest, RouterListsLocalAndAtMost49Routes) {
  for (size_t count : {60u, 0u}) {
    oxa::RouteTable table;
    for (size_t i = 0; i < count; ++i) {
      table.routes.push_back({"Line" + std::to_string(i),
                              {{10, 1, 0, static_cast<uint8_t>(i), 1, 1}},
                              "127.0.0.1",
                              26801});
    }
    oxa::OxaDirect direct(table);
    direct.OxaPortOpen();
    const auto entries = axlink::ReadTargetEntries(direct);
    if (count == 0) {
      EXPECT_TRUE(entries.empty());
      continue;
    }
    ASSERT_EQ(entries.size(), 50u);
    EXPECT_EQ(entries[0].name, "Local");
    EXPECT_EQ(entries[0].netId, table.local.netId);
    EXPECT_EQ(entries[49].name, "Line48");
    EXPECT_EQ(axlink::ChooseTarget(entries, 49)->addressText, "10.1.0.48.1.1");
  }
}

}  // namespace
